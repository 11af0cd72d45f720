#!/usr/bin/env python3
"""The JSON Schema that quorlen-config writes says exactly what json writes
and what format reads.

    schema_check.py EMULATOR TOOL SCHEMA FILE...

Each file's json document must satisfy the schema; documents changed so that
the schema refuses them must be refused by format too (exit status 2).
EMULATOR is empty or the emulator's command line joined with '|'."""
import copy
import json
import subprocess
import sys

import jsonschema


def run(command, data=None):
    return subprocess.run(command, input=data, capture_output=True)


def main():
    emulator = [part for part in sys.argv[1].split("|") if part]
    tool = emulator + [sys.argv[2]]
    schema = json.load(open(sys.argv[3]))
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    failures = 0
    first = None
    for path in sys.argv[4:]:
        out = run(tool + ["json", path])
        if out.returncode not in (0, 1):
            print(f"{path}: json exited with {out.returncode}")
            failures += 1
            continue
        document = json.loads(out.stdout)
        for error in validator.iter_errors(document):
            print(f"{path}: {error.json_path}: {error.message}")
            failures += 1
        if first is None and document["entries"] and document["controls"]:
            first = document

    # Each change makes a document that json never writes.
    changes = {
        "a missing field": lambda d: d["camera"].pop("height"),
        "an unknown field": lambda d: d["camera"].update(i2c_adr=1),
        "a wrong type": lambda d: d["camera"].update(width="640"),
        "a number beyond its field": lambda d: d["camera"].update(bit_width=256),
        "a name and a code that disagree":
            lambda d: d["entries"][0].update(section_code=1),
        "a type that is not the codes joined":
            lambda d: d["entries"][0].update(type=0),
        "seventeen values": lambda d: d["entries"][0].update(values=[1] * 17),
        "a lint report": lambda d: d.clear() or d.update(findings=[]),
    }
    for name, change in changes.items():
        document = copy.deepcopy(first)
        change(document)
        text = json.dumps(document).encode()
        if validator.is_valid(document):
            print(f"the schema takes {name}")
            failures += 1
        out = run(tool + ["format", "--from=json", "-"], text)
        if out.returncode != 2:
            print(f"format takes {name}: exit status {out.returncode}")
            failures += 1
    print(f"{len(sys.argv) - 4} documents checked, {len(changes)} refusals")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
