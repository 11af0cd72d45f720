#!/usr/bin/env python3
"""Fails when a folder of the tool includes from a folder above it, or
includes a header of the core besides the three it is offered.

The tool's folders are libraries stacked one way: each may include its own
headers and those of the folders below it, never one above or beside it.
Of the core it sees the public header, quorlen_core.h and the dump
routines' setup/dump.h, so that the rest may change without the tool.
Usage: layout_check.py TOOL_DIR SRC_DIR
"""
import pathlib
import re
import sys

# Lowest first; folders on one row are side by side and see neither.
LAYERS = [["input"], ["record"], ["binding"], ["lint"], ["edit", "diff", "fmt"], ["lsp"], ["commands"], [""]]
RANK = {name: rank for rank, row in enumerate(LAYERS) for name in row}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
# The core's headers a tool file may include; the public one lives in
# include/, the others in the core's folder.
CORE_OFFERED = {"quorlen_config_parser.h", "quorlen_core.h", "setup/dump.h"}


def folder_of(path):
    """The top folder of a path below the tool's folder; "" for the top."""
    parts = pathlib.PurePosixPath(path).parts
    return parts[0] if len(parts) > 1 else ""


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[-1])
        return 2
    top = pathlib.Path(sys.argv[1])
    core = pathlib.Path(sys.argv[2])
    if not (core / "quorlen_core.h").is_file():
        print(f"{core}: no quorlen_core.h: wrong folder?")
        return 1
    faults = []
    seen = 0
    core_seen = 0
    for source in sorted(top.rglob("*")):
        if source.suffix not in (".cpp", ".h"):
            continue
        here = folder_of(source.relative_to(top).as_posix())
        if here not in RANK:
            faults.append(f"{source}: folder '{here}' has no place in the layers")
            continue
        for name in INCLUDE.findall(source.read_text(encoding="utf-8")):
            if (core / name).is_file():
                core_seen += 1
                if name not in CORE_OFFERED:
                    faults.append(f"{source}: includes the core's \"{name}\"; "
                                  "the tool sees the core through quorlen_core.h")
                continue
            if not (top / name).is_file():
                continue  # the public header and the C library's
            seen += 1
            there = folder_of(name)
            if there == here:
                continue
            if there not in RANK or RANK[there] >= RANK[here]:
                faults.append(f"{source}: includes \"{name}\" from a folder "
                              f"{'beside' if RANK.get(there) == RANK[here] else 'above'} it")
    for fault in faults:
        print(fault)
    if seen == 0 or core_seen == 0:
        print("no include of the tool's own headers or of the core's found: "
              "wrong folder?")
        return 1
    print(f"{seen} includes checked, {core_seen} of the core's, "
          f"{len(faults)} against the layers")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
