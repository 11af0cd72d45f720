#!/usr/bin/env python3
"""Opens tests/tool/editor_sample.cfg below a camera folder in headless
Neovim with the tool's Vim files (editors/vim) on the runtime path, and
checks the file type and the syntax group at known places.

    vim_syntax.py SOURCE_DIR

Exits 77 (a skipped test) when there is no nvim."""
import os
import shutil
import subprocess
import sys
import tempfile

SKIPPED = 77

# line, column (both from 1), the syntax group there.
ROWS = [
    (1, 1, "quorlencfgUnknownKey"),        # before any header: ignored
    (1, 3, "quorlencfgSep"),
    (1, 5, "quorlencfgNumber"),
    (2, 1, "quorlencfgHeader"),
    (2, 18, "quorlencfgHeader"),
    (2, 20, "quorlencfgAfterHeader"),      # text after ']' is ignored
    (3, 1, "quorlencfgComment"),
    (4, 1, "quorlencfgCameraKey"),
    (4, 9, "quorlencfgCameraKey"),
    (4, 11, "quorlencfgSep"),
    (4, 13, "quorlencfgNumber"),
    (4, 17, "quorlencfgInlineComment"),
    (5, 1, "quorlencfgUnknownKey"),        # I2C_ADR: a typo
    (5, 11, "quorlencfgHex"),
    (6, 3, "quorlencfgContinuation"),      # indented after a pair: a value
    (6, 11, "quorlencfgContinuation"),     # its ';' is kept, no comment
    (7, 1, "quorlencfgCameraKey"),
    (7, 9, "quorlencfgValue"),             # ';' with no blank before: text
    (7, 12, "quorlencfgInlineComment"),
    (8, 1, "quorlencfgHeader"),            # joined bracket groups
    (8, 32, "quorlencfgHeader"),
    (9, 1, "quorlencfgRegisterKey"),
    (9, 7, "quorlencfgHex"),
    (9, 13, "quorlencfgNumber"),
    (10, 5, "quorlencfgNumber"),           # a continuation's numbers
    (11, 1, "quorlencfgComment"),
    (12, 7, "quorlencfgNumber"),           # a sign before 0x: decimal 0
    (13, 1, "quorlencfgHeader"),
    (14, 3, "quorlencfgControlKey"),       # indented first pair: a pair
    (15, 1, "quorlencfgBlockMarker"),      # any letter case
    (16, 1, "quorlencfgRunBlock"),
    (16, 9, "quorlencfgRunBlock"),         # verbatim: no key in a block
    (17, 1, "quorlencfgBlockMarker"),
    (18, 1, "quorlencfgUnknownHeader"),
    (19, 1, "quorlencfgUnknownKey"),       # a camera key, in no camera
    (20, 1, "quorlencfgComment"),
    (21, 1, "quorlencfgHeader"),
    (21, 24, "quorlencfgAfterHeader"),
    (22, 1, "quorlencfgRegisterKey"),
    (22, 7, "quorlencfgSep"),
]

SCRIPT = r"""
local rows = vim.fn.json_decode(os.getenv("QUORLEN_ROWS"))
local out = {}
for _, path in ipairs({ os.getenv("QUORLEN_FILE"), os.getenv("QUORLEN_OTHER") }) do
  vim.cmd("edit " .. vim.fn.fnameescape(path))
  table.insert(out, "filetype " .. vim.bo.filetype)
end
vim.cmd("edit " .. vim.fn.fnameescape(os.getenv("QUORLEN_FILE")))
for _, r in ipairs(rows) do
  local id = vim.fn.synID(r[1], r[2], 1)
  table.insert(out, string.format("%d:%d %s", r[1], r[2],
                                  vim.fn.synIDattr(id, "name")))
end
table.insert(out, "commentstring " .. vim.bo.commentstring)
vim.fn.writefile(out, os.getenv("QUORLEN_OUT"))
vim.cmd("qall!")
"""


def main(argv):
    nvim = shutil.which("nvim")
    if nvim is None:
        print("no nvim: skipped")
        return SKIPPED
    source = argv[1]
    import json
    with tempfile.TemporaryDirectory() as home:
        os.mkdir(os.path.join(home, "camera"))
        sample = os.path.join(home, "camera", "sample.cfg")
        other = os.path.join(home, "other.cfg")  # not below a camera folder
        shutil.copyfile(os.path.join(source, "tests", "tool",
                                     "editor_sample.cfg"), sample)
        shutil.copyfile(sample, other)
        script = os.path.join(home, "check.lua")
        with open(script, "w", encoding="utf-8") as f:
            f.write(SCRIPT)
        out = os.path.join(home, "out.txt")
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home,
                   XDG_DATA_HOME=home, XDG_STATE_HOME=home,
                   XDG_CACHE_HOME=home, QUORLEN_FILE=sample,
                   QUORLEN_OTHER=other, QUORLEN_OUT=out,
                   QUORLEN_ROWS=json.dumps(ROWS))
        vimfiles = os.path.join(source, "editors", "vim")
        run = subprocess.run(
            [nvim, "--headless", "-n", "-i", "NONE", "-u", "NONE",
             "--cmd", "set rtp^=" + vimfiles.replace(",", "\\,"),
             "--cmd", "filetype plugin on", "--cmd", "syntax on",
             "-c", "luafile " + script],
            env=env, timeout=120, stdin=subprocess.DEVNULL,
            capture_output=True, check=False)
        if run.returncode != 0 or not os.path.exists(out):
            print("nvim failed (%d): %s" % (run.returncode,
                                            run.stderr.decode(errors="replace")))
            return 1
        got = open(out, encoding="utf-8").read().splitlines()
    expected = (["filetype quorlencfg", "filetype cfg"]
                + ["%d:%d %s" % row for row in ROWS]
                + ["commentstring ; %s"])
    failed = 0
    for want, have in zip(expected, got):
        if want != have:
            failed += 1
            print("expected %-40s got %s" % (want, have))
    if len(got) != len(expected):
        failed += 1
        print("expected %d answers, got %d" % (len(expected), len(got)))
    print("%d of %d rows as expected" % (len(expected) - failed, len(expected)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
