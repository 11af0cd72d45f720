#!/usr/bin/env python3
"""Checks lint's CI reports against what reads them, file by file.

sarif:  the published SARIF 2.1.0 JSON Schema (python3-jsonschema), and
        each result's rule, place and fixes against the lint's own JSON;
junit:  parsed by xml.etree: one test case a file, a failure a finding;
github: each line a workflow command whose properties and message are
        escaped as GitHub reads them, and mean what the JSON says;
gitlab: the Code Quality fields, and fingerprints that are unique and stay
        the same when lines are added above.
Every report of a file with terminal escapes, under a hostile name, holds
no control byte; --output-file writes what standard output would, with the
same status, and leaves the file as it was when an input is unreadable.
EMULATOR is empty or the emulator's command line joined with '|'.
Usage: report_check.py EMULATOR TOOL SCHEMA FILE...
"""
import json
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

import jsonschema

FAULTS = []


def fault(text):
    FAULTS.append(text)


def run(command, args, stdin=None):
    done = subprocess.run(command + args, input=stdin, capture_output=True)
    return done.returncode, done.stdout


def findings_of(command, files, stdin=None):
    status, out = run(command, ["lint", "--format=json", "--severity=info"] + files, stdin)
    return status, json.loads(out)["findings"]


def text_of(f):
    return f["message"] + ("; " + f["suggestion"] if f["suggestion"] else "")


def check_sarif(document, schema, findings):
    errors = sorted(jsonschema.Draft4Validator(schema).iter_errors(document), key=str)
    for e in errors[:5]:
        fault(f"sarif: schema: {e.message} at {list(e.absolute_path)}")
    run_ = document["runs"][0]
    rules = run_["tool"]["driver"]["rules"]
    for r in rules:
        if not r.get("help", {}).get("text") or not r.get("shortDescription", {}).get("text"):
            fault(f"sarif: rule {r['id']} lacks its description or help")
    results = run_["results"]
    if len(results) != len(findings):
        fault(f"sarif: {len(results)} results, the lint found {len(findings)}")
    for result, f in zip(results, findings):
        if rules[result["ruleIndex"]]["id"] != result["ruleId"] or result["ruleId"] != f["code"]:
            fault(f"sarif: result {result['ruleId']} points at the wrong rule")
        region = result["locations"][0]["physicalLocation"]["region"]
        if region["startLine"] != f["line"] or region["endLine"] != f["end_line"]:
            fault(f"sarif: {f['code']} at line {region['startLine']}, not {f['line']}")
        if result["message"]["text"] != text_of(f):
            fault(f"sarif: message of {f['code']} differs: {result['message']['text']}")
        if bool(result.get("fixes")) != bool(f["fix"]):
            fault(f"sarif: {f['code']} at line {f['line']}: fixes disagree with the JSON")


def check_junit(raw, files, findings, shown=lambda name: name):
    root = ET.fromstring(raw)
    cases = root.findall("./testsuite/testcase")
    if root.tag != "testsuites" or [c.get("name") for c in cases] != [shown(f) for f in files]:
        fault(f"junit: test cases {[c.get('name') for c in cases]}, not one for each of {files}")
    for case in cases:
        want = [f for f in findings if shown(f["file"]) == case.get("name")]
        failures = case.findall("failure")
        if [x.get("type") for x in failures] != [f["code"] for f in want]:
            fault(f"junit: {case.get('name')}: failures do not match the findings")
        for x, f in zip(failures, want):
            if text_of(f) not in x.get("message") or f"[{f['code']}]" not in x.text:
                fault(f"junit: {f['code']} at line {f['line']} says something else")
    suite = root.find("testsuite")
    if suite.get("tests") != str(len(files)) or suite.get("failures") != str(len(findings)):
        fault(f"junit: counts tests={suite.get('tests')} failures={suite.get('failures')}")


GITHUB = re.compile(r"::(error|warning|notice) file=([^,:]*),line=(\d+),col=(\d+),"
                    r"endColumn=(\d+),title=([^,:]*)::(.*)")


def unescape(text):
    bad = re.search(r"%(?!25|0D|0A|3A|2C)", text)
    if bad:
        fault(f"github: a bare '%' in {text!r}")
    for code, char in (("%0D", "\r"), ("%0A", "\n"), ("%3A", ":"), ("%2C", ","), ("%25", "%")):
        text = text.replace(code, char)
    return text


def check_github(raw, findings, shown=lambda name: name):
    lines = raw.decode("utf-8").split("\n")
    if lines[-1] != "":
        fault("github: the last line has no line end")
    lines = lines[:-1]
    if len(lines) != len(findings):
        fault(f"github: {len(lines)} lines, the lint found {len(findings)}")
    level = {"error": "error", "warning": "warning", "info": "notice"}
    for line, f in zip(lines, findings):
        m = GITHUB.fullmatch(line)
        if not m:
            fault(f"github: not a workflow command: {line!r}")
            continue
        command, name, row, col, end, title, message = m.groups()
        if "%3A" in message or "%2C" in message:
            fault(f"github: the message escapes what only properties escape: {message!r}")
        if (command, unescape(name), int(row), int(col), unescape(title), unescape(message)) != (
                level[f["level"]], shown(f["file"]), f["line"], f["column"], f["code"], text_of(f)):
            fault(f"github: {line!r} does not say what the JSON says")
        if int(end) < int(col) + 1:
            fault(f"github: endColumn {end} before col {col}")


def check_gitlab(document, findings):
    if not isinstance(document, list) or len(document) != len(findings):
        fault("gitlab: not a list of one issue a finding")
        return []
    for issue, f in zip(document, findings):
        loc = issue.get("location", {})
        if (issue.get("check_name"), issue.get("description"), loc.get("path"),
                loc.get("lines", {}).get("begin")) != (f["code"], text_of(f), f["file"], f["line"]):
            fault(f"gitlab: {issue} does not say what the JSON says")
        if issue.get("severity") not in ("info", "minor", "major", "critical", "blocker"):
            fault(f"gitlab: severity {issue.get('severity')}")
        if not re.fullmatch(r"[0-9a-f]{16}", issue.get("fingerprint", "")):
            fault(f"gitlab: fingerprint {issue.get('fingerprint')!r}")
    prints = [i["fingerprint"] for i in document]
    if len(set(prints)) != len(prints):
        fault("gitlab: two findings share a fingerprint")
    return prints


def controls(raw):
    return [b for b in raw if b < 0x20 and b not in (0x09, 0x0A) or b == 0x7F]


def main():
    if len(sys.argv) < 5:
        print(__doc__.strip().splitlines()[-1])
        return 2
    emulator, tool, schema_path = sys.argv[1:4]
    files = sys.argv[4:]
    command = [part for part in emulator.split("|") if part] + [tool]
    schema = json.load(open(schema_path, encoding="utf-8"))
    _, findings = findings_of(command, files)

    # Every form of the same files, against the JSON.
    reports = {}
    for form in ("sarif", "junit", "github", "gitlab"):
        status, out = run(command, ["lint", f"--format={form}", "--severity=info"] + files)
        if status != (1 if findings else 0):
            fault(f"{form}: exit status {status}")
        reports[form] = out
    check_sarif(json.loads(reports["sarif"]), schema, findings)
    check_junit(reports["junit"], files, findings)
    check_github(reports["github"], findings)
    check_gitlab(json.loads(reports["gitlab"]), findings)

    # Lines added above move no fingerprint.
    typos = open(files[0], "rb").read()
    before = run(command, ["lint", "--format=gitlab", "--stdin-filename=a.cfg", "-"], typos)[1]
    after = run(command, ["lint", "--format=gitlab", "--stdin-filename=a.cfg", "-"],
                b"; one\n\n; two\n" + typos)[1]
    if sorted(i["fingerprint"] for i in json.loads(before)) != sorted(
            i["fingerprint"] for i in json.loads(after)):
        fault("gitlab: lines added above changed a fingerprint")
    if not json.loads(before):
        fault(f"gitlab: {files[0]} has no findings to fingerprint")

    # A hostile file under a hostile name drives nothing and breaks nothing.
    hostile = b"[camera parameter]\nTYPE = a\x1b[31mred\x07;x\r\nI2C_ADR\x9b = 1,\x00\n\xff\xfe = 2\n"
    name = "evil,name:%0A\x1b]0;title\x07.cfg"
    # As the tool shows a name to a person; JSON keeps it, escaped its way.
    shown = {name: "evil,name:%0A\\x1b]0;title\\x07.cfg"}.get
    _, evil = findings_of(command, [f"--stdin-filename={name}", "-"], hostile)
    for form in ("sarif", "junit", "github", "gitlab"):
        status, out = run(command, ["lint", f"--format={form}", "--severity=info",
                                    f"--stdin-filename={name}", "-"], hostile)
        if controls(out) or status != 1:
            fault(f"{form}: hostile input: status {status}, control bytes {controls(out)[:4]}")
        if form == "sarif":
            check_sarif(json.loads(out), schema, evil)
        elif form == "junit":
            check_junit(out, [name], evil, shown)
        elif form == "github":
            check_github(out, evil, shown)
        else:
            check_gitlab(json.loads(out), evil)

    # --output-file: the same bytes and status; kept as it was on trouble.
    with tempfile.TemporaryDirectory() as folder:
        target = os.path.join(folder, "report.sarif")
        status, out = run(command, ["lint", "--format=sarif", "--severity=info",
                                    f"--output-file={target}"] + files)
        if status != 1 or out or open(target, "rb").read() != reports["sarif"]:
            fault(f"--output-file: status {status}, or not what standard output holds")
        status, _ = run(command, ["lint", "--format=sarif", f"--output-file={target}",
                                  files[0], os.path.join(folder, "missing.cfg")])
        if status != 2 or open(target, "rb").read() != reports["sarif"]:
            fault(f"--output-file with an unreadable input: status {status}, or the file changed")
        if sorted(os.listdir(folder)) != ["report.sarif"]:
            fault(f"--output-file left {os.listdir(folder)}")

    for f in FAULTS:
        print(f)
    print(f"{len(findings)} findings in {len(files)} files, in four forms: "
          f"{len(FAULTS)} faults")
    return 1 if FAULTS else 0


if __name__ == "__main__":
    sys.exit(main())
