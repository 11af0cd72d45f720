#!/usr/bin/env python3
"""Runs the repository's pre-commit hooks as a team would: a scratch git
repository whose .pre-commit-config.yaml names this tree's hooks, the tool
of the build tree on the PATH, and commits through `pre-commit install`'s
git hook.  A file with a finding fails the commit of it; the file mended
passes; a file not laid out fails once, laid out by the fmt hook, and its
laid-out text, added again, passes.  Offline: the hooks repository is a local clone, the hooks run a
system command.  Exits 77 (skipped) when pre-commit is not installed.
EMULATOR is empty or the emulator's command line joined with '|'.
Usage: precommit_check.py SOURCE_DIR TOOL EMULATOR
"""
import os
import shlex
import shutil
import subprocess
import sys
import tempfile

BAD = "[camera parameter]\nI2C_ADR = 0x36\n"
GOOD = "[camera parameter]\nI2C_ADDR = 0x36\n"
MESSY = "[camera parameter]\nI2C_ADDR=0x36   ; address\n"
LAID_OUT = "[camera parameter]\nI2C_ADDR = 0x36 ; address\n"


def git(folder, *args):
    return subprocess.run(["git", "-C", folder, *args], capture_output=True, text=True)


def main():
    if len(sys.argv) != 4:
        print(__doc__.strip().splitlines()[-1])
        return 2
    source, tool, emulator = sys.argv[1:]
    if shutil.which("pre-commit") is None:
        print("pre-commit is not installed: skipped")
        return 77
    faults = []
    with tempfile.TemporaryDirectory() as scratch:
        env = dict(os.environ, PRE_COMMIT_HOME=os.path.join(scratch, "cache"),
                   GIT_CONFIG_GLOBAL=os.devnull, GIT_CONFIG_NOSYSTEM="1",
                   GIT_AUTHOR_NAME="t", GIT_AUTHOR_EMAIL="t@example.org",
                   GIT_COMMITTER_NAME="t", GIT_COMMITTER_EMAIL="t@example.org")
        os.environ.update(env)
        # The tool as a command on the PATH, under its emulator if need be.
        bin_dir = os.path.join(scratch, "bin")
        os.mkdir(bin_dir)
        command = [p for p in emulator.split("|") if p] + [tool]
        with open(os.path.join(bin_dir, "quorlen-config"), "w") as wrapper:
            wrapper.write("#!/bin/sh\nexec " + shlex.join(command) + ' "$@"\n')
        os.chmod(os.path.join(bin_dir, "quorlen-config"), 0o755)
        os.environ["PATH"] = bin_dir + os.pathsep + os.environ["PATH"]

        manifest = os.path.join(source, ".pre-commit-hooks.yaml")
        done = subprocess.run(["pre-commit", "validate-manifest", manifest],
                              capture_output=True, text=True)
        if done.returncode != 0:
            faults.append(f"the manifest is refused: {done.stdout}{done.stderr}")
        # The hooks as a repository of their own, at a commit.
        hooks = os.path.join(scratch, "hooks")
        os.mkdir(hooks)
        shutil.copy(manifest, hooks)
        git(hooks, "init", "-q")
        git(hooks, "add", ".pre-commit-hooks.yaml")
        git(hooks, "commit", "-qm", "hooks")
        rev = git(hooks, "rev-parse", "HEAD").stdout.strip()

        project = os.path.join(scratch, "project")
        os.mkdir(project)
        git(project, "init", "-q")
        with open(os.path.join(project, ".pre-commit-config.yaml"), "w") as config:
            config.write(f"repos:\n- repo: {hooks}\n  rev: {rev}\n"
                         "  hooks:\n  - id: quorlen-config-lint\n"
                         "  - id: quorlen-config-fmt\n")
        git(project, "add", ".pre-commit-config.yaml")
        git(project, "commit", "-qm", "config", "--no-verify")
        done = subprocess.run(["pre-commit", "install"], cwd=project,
                              capture_output=True, text=True)
        if done.returncode != 0:
            faults.append(f"pre-commit install: {done.stdout}{done.stderr}")

        camera = os.path.join(project, "camera.cfg")
        for text, want in ((BAD, False), (GOOD, True)):
            with open(camera, "w") as out:
                out.write(text)
            git(project, "add", "camera.cfg")
            done = git(project, "commit", "-qm", "camera")
            if (done.returncode == 0) != want:
                faults.append(f"a commit of {text!r}: status {done.returncode}, "
                              f"{'passed' if done.returncode == 0 else 'failed'}:\n"
                              f"{done.stdout}{done.stderr}")
            elif not want and "Q201" not in done.stdout + done.stderr:
                faults.append(f"the failed commit does not name the finding:\n{done.stdout}")
        # The fmt hook lays the file out and fails the commit, as a hook
        # that changes a file does; the laid-out file then commits.
        with open(camera, "w") as out:
            out.write(MESSY)
        git(project, "add", "camera.cfg")
        done = git(project, "commit", "-qm", "layout")
        with open(camera) as laid:
            got = laid.read()
        if done.returncode == 0 or got != LAID_OUT:
            faults.append(f"a commit of {MESSY!r}: status {done.returncode}, "
                          f"the file now {got!r}:\n{done.stdout}{done.stderr}")
        git(project, "add", "camera.cfg")
        done = git(project, "commit", "-qm", "layout")
        if done.returncode != 0:
            faults.append(f"the laid-out file is refused:\n{done.stdout}{done.stderr}")
        log = git(project, "log", "--format=%s").stdout.split()
        if log != ["layout", "camera", "config"]:
            faults.append(f"commits made: {log}")
    for fault in faults:
        print(fault)
    print(f"pre-commit: a bad file refused, a mended one committed, a messy one "
          f"laid out: {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
