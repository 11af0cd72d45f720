#!/usr/bin/env python3
"""Fails when a folder of the tool includes from a folder above it.

The tool's folders are libraries stacked one way: each may include its own
headers and those of the folders below it, never one above or beside it.
Usage: layout_check.py TOOL_DIR
"""
import pathlib
import re
import sys

# Lowest first; folders on one row are side by side and see neither.
LAYERS = [["input"], ["record"], ["lint"], ["edit", "diff"], ["lsp"], ["commands"], [""]]
RANK = {name: rank for rank, row in enumerate(LAYERS) for name in row}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def folder_of(path):
    """The top folder of a path below the tool's folder; "" for the top."""
    parts = pathlib.PurePosixPath(path).parts
    return parts[0] if len(parts) > 1 else ""


def main():
    top = pathlib.Path(sys.argv[1])
    faults = []
    seen = 0
    for source in sorted(top.rglob("*")):
        if source.suffix not in (".cpp", ".h"):
            continue
        here = folder_of(source.relative_to(top).as_posix())
        if here not in RANK:
            faults.append(f"{source}: folder '{here}' has no place in the layers")
            continue
        for name in INCLUDE.findall(source.read_text(encoding="utf-8")):
            if not (top / name).is_file():
                continue  # the core's headers and the C library's
            seen += 1
            there = folder_of(name)
            if there == here:
                continue
            if there not in RANK or RANK[there] >= RANK[here]:
                faults.append(f"{source}: includes \"{name}\" from a folder "
                              f"{'beside' if RANK.get(there) == RANK[here] else 'above'} it")
    for fault in faults:
        print(fault)
    if seen == 0:
        print("no include of the tool's own headers found: wrong folder?")
        return 1
    print(f"{seen} includes checked, {len(faults)} against the layers")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
