#!/usr/bin/env python3
"""Runs Neovim headless with the configuration of docs/editors.md on a copy
of examples/typos.cfg and checks that it received the lint's diagnostics.

    lsp_neovim.py SOURCE_DIR TOOL [EMULATOR...]

Exits 77 (a skipped test) when there is no nvim."""
import json
import os
import shutil
import subprocess
import sys
import tempfile

SKIPPED = 77


def main(argv):
    nvim = shutil.which("nvim")
    if nvim is None:
        print("no nvim: skipped")
        return SKIPPED
    source, tool = argv[1], [a for a in argv[3:] if a] + [argv[2]]
    path = os.path.join(source, "examples", "typos.cfg")
    lint = subprocess.run(tool + ["lint", "--format=json", "--severity=info",
                                  path], capture_output=True, check=False)
    expected = {"%d:%d %s" % (f["line"], f["column"], f["code"])
                for f in json.loads(lint.stdout)["findings"]}
    with tempfile.TemporaryDirectory() as home:
        out = os.path.join(home, "diagnostics.txt")
        # That configuration takes .cfg files below a camera folder.
        os.mkdir(os.path.join(home, "camera"))
        copy = os.path.join(home, "camera", "typos.cfg")
        shutil.copyfile(path, copy)
        env = dict(os.environ, QUORLEN_LSP_CMD=json.dumps(tool + ["lsp"]),
                   QUORLEN_FILE=copy, QUORLEN_OUT=out, HOME=home,
                   XDG_CONFIG_HOME=home, XDG_DATA_HOME=home,
                   XDG_STATE_HOME=home, XDG_CACHE_HOME=home)
        script = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                              "lsp_neovim.lua")
        run = subprocess.run([nvim, "--headless", "-n", "-i", "NONE", "-u",
                              script, "-c", "lua quorlen_check()"],
                             env=env, timeout=180,
                             stdin=subprocess.DEVNULL, capture_output=True,
                             check=False)
        if run.returncode != 0 or not os.path.exists(out):
            print("nvim failed (%d): %s" % (run.returncode,
                                            run.stderr.decode(errors="replace")))
            return 1
        got = open(out, encoding="utf-8").read().splitlines()
    version = subprocess.run([nvim, "--version"], capture_output=True,
                             check=False).stdout.decode().splitlines()[0]
    received = {" ".join(line.split(" ")[:2]) for line in got}
    print("%s received %d diagnostics" % (version, len(got)))
    for line in got:
        print("  " + line)
    if received != expected:
        print("expected the lint's findings:", sorted(expected - received),
              "missing;", sorted(received - expected), "unexpected")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
