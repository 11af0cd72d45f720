#!/usr/bin/env python3
"""Checks that the section names and keys the editor files list (the Vim
syntax file, and the VS Code grammar where it is there) are the tool's
own: the language server's completion offers the section names after '['
and each family's keys at a line's start, from the tables the library
stores through.

    editor_tables.py SOURCE_DIR TOOL [EMULATOR...]"""
import json
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from lsp_session import Server, at, doc  # noqa: E402

# A section of each family, and the line of the sample where its keys are
# completed.
FAMILIES = {"camera": "camera parameter", "control": "control parameter",
            "register": "register parameter"}


def from_server(tool):
    families = list(FAMILIES.items())
    text = "".join("[%s]\n\n" % name for _, name in families) + "["
    s = Server(tool)
    s.initialize()
    s.open(text)

    def labels(line, character):
        result = s.result("textDocument/completion",
                          dict(doc(), position=at(line, character)))
        return sorted(item["label"] for item in result["items"])
    keys = {family: labels(2 * i + 1, 0)
            for i, (family, _) in enumerate(families)}
    sections = labels(2 * len(families), 1)
    s.end()
    return sections, keys


def alternatives(pattern):
    """The names of a Vim alternation \\%(A\\|B\\)."""
    return sorted(pattern.split("\\|"))


def from_vim(path):
    text = open(path, encoding="utf-8").read()
    keys = {}
    for family in FAMILIES:
        m = re.search(r"quorlencfg%sKey\n\s*\\ /\\%%\(\^\\s\*\\\)\\@<=\\%%\((.*?)\\\)\\ze"
                      % family.capitalize(), text)
        keys[family] = alternatives(m.group(1)) if m else []
    sections = []
    for m in re.finditer(r"start=/\^\\s\*\\\[(.*?)\\\]\\\[\\@!/", text):
        # Joined groups are written '||' or '][': one joiner, back to '||'.
        body = m.group(1).replace("\\%(||\\|\\]\\[\\)", "||")
        if body.startswith("\\%("):
            body = body[3:-2]
        sections += alternatives(body)
    return sorted(sections), keys


def from_textmate(path):
    repository = json.load(open(path, encoding="utf-8"))["repository"]
    keys = {}
    for family in FAMILIES:
        m = re.search(r"\(([A-Z0-9_|]+)\)", repository[family + "-pair"]["begin"])
        keys[family] = sorted(m.group(1).split("|")) if m else []
    joiner = "(?:\\|\\||\\]\\[)"
    sections = []
    for family in FAMILIES:
        begin = repository[family + "-section"]["begin"]
        m = re.match(r"\^\[ \\t\]\*\+\(\\\[\)\((.*?)\)\(\\\]\)", begin)
        if m:
            # The joiner stands for '||' once the alternatives are split.
            sections += [name.replace("\0", "||") for name in
                         m.group(1).replace(joiner, "\0").split("|")]
    return sorted(sections), keys


def main(argv):
    source, tool = argv[1], [a for a in argv[3:] if a] + [argv[2]]
    sections, keys = from_server(tool)
    checked = {"editors/vim/syntax/quorlencfg.vim": from_vim,
               "editors/vscode/syntaxes/quorlencfg.tmLanguage.json":
                   from_textmate}
    failed = 0
    for name, read in checked.items():
        path = os.path.join(source, name)
        got_sections, got_keys = read(path)
        if got_sections != sections:
            failed += 1
            print("%s: section names %s, the tool's %s"
                  % (name, got_sections, sections))
        for family, expected in keys.items():
            if got_keys.get(family) != expected:
                failed += 1
                print("%s: %s keys %s, the tool's %s"
                      % (name, family, got_keys.get(family), expected))
        print("%s: %d section names, %s keys checked" % (
            name, len(sections),
            json.dumps({f: len(k) for f, k in keys.items()})))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
