-- The Neovim configuration of docs/editors.md, with the server's command
-- taken from QUORLEN_LSP_CMD (the build's tool, under an emulator for a
-- cross build);
-- then quorlen_check() opens QUORLEN_FILE, waits for the diagnostics and
-- writes them, one a line ("line:column code message"), to QUORLEN_OUT.
local cmd = vim.fn.json_decode(os.getenv("QUORLEN_LSP_CMD"))

vim.api.nvim_create_autocmd({ "BufRead", "BufNewFile" }, {
  pattern = "*/camera/*.cfg",
  command = "set filetype=quorlencfg",
})
if vim.lsp.start then -- 0.8 and later
  vim.api.nvim_create_autocmd("FileType", {
    pattern = "quorlencfg",
    callback = function(args)
      vim.lsp.start({ name = "quorlen-config", cmd = cmd,
                      root_dir = vim.fs.dirname(args.file) })
    end,
  })
else -- 0.7
  local client
  vim.api.nvim_create_autocmd("FileType", {
    pattern = "quorlencfg",
    callback = function(args)
      if client == nil or vim.lsp.get_client_by_id(client) == nil then
        client = vim.lsp.start_client({ name = "quorlen-config", cmd = cmd })
      end
      vim.lsp.buf_attach_client(args.buf, client)
    end,
  })
end

local function check()
  vim.cmd("edit " .. vim.fn.fnameescape(os.getenv("QUORLEN_FILE")))
  local buf = vim.api.nvim_get_current_buf()
  assert(vim.bo.filetype == "quorlencfg", "filetype " .. vim.bo.filetype)
  vim.wait(90000, function() return #vim.diagnostic.get(buf) > 0 end, 50)
  local lines = {}
  for _, d in ipairs(vim.diagnostic.get(buf)) do
    local code = d.code
    if code == nil and d.user_data and d.user_data.lsp then
      code = d.user_data.lsp.code
    end
    table.insert(lines, string.format("%d:%d %s %s", d.lnum + 1, d.col + 1,
                                      tostring(code), d.message))
  end
  vim.fn.writefile(lines, os.getenv("QUORLEN_OUT"))
end

function quorlen_check()
  local ok, err = pcall(check)
  if not ok then
    io.stderr:write(tostring(err) .. "\n")
    vim.cmd("cquit 1")
  end
  vim.cmd("qall!")
end
