-- Opens a file in Neovim, attaches quorlen-config lsp to it as a user's
-- configuration would, waits for the diagnostics and writes them, one a
-- line ("line:column code message"), to the file named in QUORLEN_OUT.
local function run()
  local cmd = vim.fn.json_decode(os.getenv("QUORLEN_LSP_CMD"))
  vim.cmd("edit " .. vim.fn.fnameescape(os.getenv("QUORLEN_FILE")))
  local buf = vim.api.nvim_get_current_buf()
  local config = { name = "quorlen-config", cmd = cmd,
                   root_dir = vim.fn.getcwd() }
  if vim.lsp.start then -- 0.8 and later
    vim.lsp.start(config, { bufnr = buf })
  else -- 0.7
    vim.lsp.buf_attach_client(buf, vim.lsp.start_client(config))
  end
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

local ok, err = pcall(run)
if not ok then
  io.stderr:write(tostring(err) .. "\n")
  vim.cmd("cquit 1")
end
vim.cmd("qall!")
