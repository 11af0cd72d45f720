#!/usr/bin/env python3
"""Latency of quorlen-config lsp as an editor sees it: the time from sending
a message down the pipe to reading the server's answer.

    bench/lsp_latency.py [--quick] [--bindings] TOOL [SOURCE_DIR]

- diagnostics: a 10,000-line document is opened, then changed one line at a
  time; each change is timed until its diagnostics arrive (the goal: within
  100 ms);
- inlay hints on that document, for a screen of 60 lines and for the whole
  of it (the goal: within 50 ms), and its folding ranges and semantic tokens;
- hover and completion on examples/camera.cfg, every line (the goal: within
  10 ms).

--bindings names examples/bindings in the bindings.folder setting and makes
the document a qcam-vga file, so that the binding's select matches and every
register entry is checked against it.

The times include the client's own JSON work, so they are an upper bound of
the server's.  Nothing is judged here: the figures are printed."""
import json
import os
import statistics
import subprocess
import sys
import time


class Server:
    def __init__(self, tool):
        self.proc = subprocess.Popen([tool, "lsp"], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE)
        self.next_id = 0

    def send(self, message):
        body = json.dumps(message).encode()
        self.proc.stdin.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)
        self.proc.stdin.flush()

    def receive(self):
        length = 0
        while True:
            line = self.proc.stdout.readline().strip()
            if not line:
                break
            if line.lower().startswith(b"content-length:"):
                length = int(line.split(b":")[1])
        return json.loads(self.proc.stdout.read(length))

    def call(self, method, params):
        self.next_id += 1
        self.send({"jsonrpc": "2.0", "id": self.next_id, "method": method,
                   "params": params})
        while True:
            message = self.receive()
            if message.get("id") == self.next_id:
                return message

    def notify(self, method, params):
        self.send({"jsonrpc": "2.0", "method": method, "params": params})

    def published(self, version):
        while True:
            message = self.receive()
            if (message.get("method") == "textDocument/publishDiagnostics"
                    and message["params"].get("version") == version):
                return message["params"]["diagnostics"]

    def close(self):
        self.call("shutdown", None)
        self.notify("exit", None)
        self.proc.wait()


def document(lines, camera_type=None):
    """A camera file of the given length: camera keys, controls, and board
    and register lists, with a finding every few hundred lines."""
    out = ["[camera parameter]", "CFG_MODE = 1", "SIZE = 640, 480",
           "BIT_WIDTH = 10", "I2C_ADDR = 0x36"]
    if camera_type:
        out.insert(1, "TYPE = " + camera_type)
    n = 0
    while len(out) < lines:
        out.append("[control parameter]")
        out += ["CTRL_NAME = control_%d" % n, "MIN_VALUE = 0",
                "MAX_VALUE = 255", "STEP = 1", "DEF = 16"]
        out.append("[register parameter]")
        for i in range(200):
            out.append("REG = 0x%04X, 0x%02X" % (0x3000 + i, i % 256)
                       if i != 100 else "REG = 0x3000, 0x0x1")
        n += 1
    return "\n".join(out[:lines]) + "\n"


def figures(name, times, note=""):
    times = sorted(t * 1000 for t in times)
    print("  %-34s median %7.2f ms   p90 %7.2f ms   max %7.2f ms   (%d%s)" % (
        name, statistics.median(times), times[int(len(times) * 0.9)],
        times[-1], len(times), note))


def main(argv):
    quick = "--quick" in argv
    with_bindings = "--bindings" in argv
    argv = [a for a in argv if a not in ("--quick", "--bindings")]
    tool = argv[1]
    source = argv[2] if len(argv) > 2 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..")
    uri = "file:///bench.cfg"
    text = document(10_000, "qcam-vga-raw10" if with_bindings else None)
    settings = {"bindings": {"folder": os.path.join(
        source, "examples", "bindings")}} if with_bindings else {}

    s = Server(tool)
    s.call("initialize", {"capabilities": {"textDocument": {
        "semanticTokens": {"requests": {"full": True}}}},
        "initializationOptions": settings})
    started = time.perf_counter()
    s.notify("textDocument/didOpen", {"textDocument": {
        "uri": uri, "languageId": "quorlen", "version": 1, "text": text}})
    found = s.published(1)
    opened = time.perf_counter() - started
    print("10,000 lines (%d bytes, %d diagnostics)" % (len(text), len(found)))
    print("  %-34s %7.2f ms" % ("open to diagnostics", opened * 1000))
    if with_bindings:
        lenses = s.call("textDocument/codeLens", {
            "textDocument": {"uri": uri}})["result"]
        print("  " + (lenses[0]["command"]["title"] if lenses
                      else "no binding applies"))
    changes = []
    for version in range(2, 12 if quick else 102):
        line = 5000 + version % 7
        started = time.perf_counter()
        s.notify("textDocument/didChange", {
            "textDocument": {"uri": uri, "version": version},
            "contentChanges": [{"range": {
                "start": {"line": line, "character": 0},
                "end": {"line": line, "character": 3}},
                "text": "REG" if version % 2 else "reg"}]})
        s.published(version)
        changes.append(time.perf_counter() - started)
    figures("change to diagnostics", changes)
    requests = [
        ("inlay hints, 60 lines", "textDocument/inlayHint", 4000, 4060),
        ("inlay hints, all 10,000 lines", "textDocument/inlayHint", 0, 10_000),
        ("folding ranges", "textDocument/foldingRange", 0, 0),
        ("semantic tokens", "textDocument/semanticTokens/full", 0, 0)]
    for name, method, first, last in requests:
        times = []
        for _ in range(3 if quick else 20):
            params = {"textDocument": {"uri": uri}, "range": {
                "start": {"line": first, "character": 0},
                "end": {"line": last, "character": 0}}}
            started = time.perf_counter()
            reply = s.call(method, params)
            times.append(time.perf_counter() - started)
            assert "error" not in reply, reply
        result = reply["result"]
        count = len(result["data"]) // 5 if "data" in result else len(result)
        figures(name, times, ", %d in the last answer" % count)
    s.close()

    camera = open(os.path.join(source, "examples", "camera.cfg"),
                  encoding="utf-8").read()
    s = Server(tool)
    s.call("initialize", {"capabilities": {}})
    s.notify("textDocument/didOpen", {"textDocument": {
        "uri": uri, "languageId": "quorlen", "version": 1, "text": camera}})
    s.published(1)
    lines = camera.count("\n")
    rounds = 1 if quick else 5
    for method in ("textDocument/hover", "textDocument/completion"):
        times = []
        answered = 0
        for _ in range(rounds):
            for line in range(lines):
                params = {"textDocument": {"uri": uri},
                          "position": {"line": line, "character": 2}}
                started = time.perf_counter()
                reply = s.call(method, params)
                times.append(time.perf_counter() - started)
                assert "error" not in reply, reply
                result = reply["result"]
                answered += bool(result and (result.get("items") or
                                             result.get("contents")))
        figures(method.split("/")[1] + " on examples/camera.cfg", times,
                ", %d with something to show" % answered)
    s.close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
