#!/usr/bin/env python3
"""Speaks to `quorlen-config lsp` over a pipe as an editor does, and checks
each thing the server offers: the session's life, framing, text sync,
positions, diagnostics, hover, completion, code actions and the outline.

    lsp_session.py [--big] [--jobs=N] SOURCE_DIR TOOL [EMULATOR...]

Each case starts a server of its own.  --big also sends a 50 MB document;
--jobs=N runs N cases at a time.
Exits 0 when every case passed, 1 otherwise."""
import json
import os
import queue
import subprocess
import sys
import threading
import time

TIMEOUT = float(os.environ.get("QUORLEN_LSP_TIMEOUT", "120"))
URI = "file:///work/camera.cfg"


def frame(body):
    return b"Content-Length: %d\r\n\r\n" % len(body) + body


class Server:
    running = []

    def __init__(self, command):
        self.proc = subprocess.Popen(command + ["lsp"], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL)
        self.inbox = queue.Queue()
        self.notes = []
        self.next_id = 0
        Server.running.append(self)
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        out = self.proc.stdout
        while True:
            headers = {}
            while True:
                line = out.readline()
                if not line:
                    self.inbox.put(None)
                    return
                line = line.rstrip(b"\r\n")
                if not line:
                    break
                name, _, value = line.partition(b":")
                headers[name.strip().lower()] = value.strip()
            body = out.read(int(headers[b"content-length"]))
            self.inbox.put(json.loads(body))

    def send_raw(self, data):
        self.proc.stdin.write(data)
        self.proc.stdin.flush()

    def send(self, message):
        self.send_raw(frame(json.dumps(message).encode()))

    def notify(self, method, params=None):
        self.send({"jsonrpc": "2.0", "method": method, "params": params or {}})

    def receive(self):
        message = self.inbox.get(timeout=TIMEOUT)
        if message is None:
            raise AssertionError("the server closed its output")
        check(message.get("jsonrpc") == "2.0", "jsonrpc 2.0", message)
        return message

    def answer(self, id_):
        """The response to id_; notifications on the way are kept."""
        while True:
            message = self.receive()
            if "method" in message:
                self.notes.append(message)
            elif message.get("id") == id_:
                return message

    def call(self, method, params=None):
        self.next_id += 1
        self.send({"jsonrpc": "2.0", "id": self.next_id, "method": method,
                   "params": params if params is not None else {}})
        return self.answer(self.next_id)

    def result(self, method, params=None):
        reply = self.call(method, params)
        check("error" not in reply, method + " answers", reply)
        return reply["result"]

    def diagnostics(self, uri=URI):
        """The next diagnostics published for uri."""
        while True:
            for i, note in enumerate(self.notes):
                if (note["method"] == "textDocument/publishDiagnostics"
                        and note["params"]["uri"] == uri):
                    del self.notes[i]
                    return note["params"]
            message = self.receive()
            if "method" in message:
                self.notes.append(message)

    def initialize(self, capabilities=None):
        reply = self.result("initialize", {"processId": None, "rootUri": None,
                                           "capabilities": capabilities or {}})
        self.notify("initialized")
        return reply

    def open(self, text, uri=URI, version=1):
        self.notify("textDocument/didOpen", {"textDocument": {
            "uri": uri, "languageId": "quorlen", "version": version,
            "text": text}})

    def change(self, changes, version, uri=URI):
        self.notify("textDocument/didChange", {
            "textDocument": {"uri": uri, "version": version},
            "contentChanges": changes})

    def end(self, shutdown=True):
        """Ends the session, and checks its exit status (which a wrapper
        such as valgrind sets apart when it found errors)."""
        if shutdown:
            check(self.result("shutdown") is None, "shutdown answers null")
        self.notify("exit")
        status = self.status()
        check(status == (0 if shutdown else 1), "exit status %d" % status)
        return status

    def status(self):
        self.proc.stdin.close()
        return self.proc.wait(timeout=TIMEOUT)

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


class Failure(Exception):
    pass


def check(condition, what, detail=None):
    if not condition:
        raise Failure(what + ("" if detail is None else ": " +
                              json.dumps(detail)[:2000]))


def at(line, character):
    return {"line": line, "character": character}


def span(line, start, end, end_line=None):
    return {"start": at(line, start),
            "end": at(line if end_line is None else end_line, end)}


def doc(uri=URI):
    return {"textDocument": {"uri": uri}}


def hover_text(server, line, character=0):
    result = server.result("textDocument/hover",
                           dict(doc(), position=at(line, character)))
    return None if result is None else result["contents"]["value"]


def apply_edits(text, edits):
    """Applies TextEdits with UTF-16 positions, as an editor would."""
    lines = text.split("\n")

    def offset(p):
        before = "\n".join(lines[:p["line"]]) + ("\n" if p["line"] else "")
        units = lines[p["line"]].encode("utf-16-le")[:2 * p["character"]]
        return len(before) + len(units.decode("utf-16-le"))
    for e in sorted(edits, key=lambda e: offset(e["range"]["start"]),
                    reverse=True):
        a, b = offset(e["range"]["start"]), offset(e["range"]["end"])
        text = text[:a] + e["newText"] + text[b:]
    return text


def codes(diagnostics):
    return sorted((d["range"]["start"]["line"], d["code"])
                  for d in diagnostics["diagnostics"])


# ---- the cases -------------------------------------------------------------

def lifecycle(tool, source):
    """Requests before initialize, twice initialize, unknown methods,
    shutdown and exit, and the exit status."""
    s = Server(tool)
    reply = s.call("textDocument/hover", dict(doc(), position=at(0, 0)))
    check(reply["error"]["code"] == -32002, "not initialized", reply)
    s.notify("textDocument/didOpen", {"textDocument": {
        "uri": URI, "languageId": "x", "version": 1, "text": "[a\n"}})
    caps = s.initialize()["capabilities"]
    check(caps["positionEncoding"] == "utf-16", "UTF-16 by default", caps)
    check(caps["textDocumentSync"]["change"] == 2, "incremental sync", caps)
    for name in ("hoverProvider", "completionProvider", "codeActionProvider",
                 "documentSymbolProvider", "foldingRangeProvider",
                 "inlayHintProvider"):
        check(name in caps, name, caps)
    # The didOpen before initialize was dropped: nothing is open.
    check(s.call("textDocument/hover",
                 dict(doc(), position=at(0, 0)))["result"] is None,
          "a notification before initialize is dropped")
    check(s.call("initialize", {"capabilities": {}})["error"]["code"]
          == -32600, "a second initialize is refused")
    check(s.call("no/such/method")["error"]["code"] == -32601,
          "MethodNotFound")
    check(s.call("$/no/such")["error"]["code"] == -32601, "$/ request")
    s.notify("no/such/notification")
    s.notify("$/cancelRequest", {"id": 1})
    check(s.result("shutdown") is None, "shutdown")
    check(s.call("textDocument/hover", dict(doc(), position=at(0, 0)))
          ["error"]["code"] == -32600, "a request after shutdown")
    s.notify("exit")
    check(s.status() == 0, "exit after shutdown ends with 0")
    s = Server(tool)
    s.initialize()
    check(s.end(shutdown=False) == 1, "exit without shutdown ends with 1")
    s = Server(tool)
    s.initialize()
    check(s.status() == 1, "the input's end without exit ends with 1")


def framing(tool, source):
    """Malformed headers and bodies, binary junk: answered or passed over,
    and the session goes on."""
    s = Server(tool)
    s.initialize()
    s.send_raw(b"\r\n\r\nX-Junk: 1\r\n\r\n")                # no Content-Length
    s.send_raw(b"Content-Length: ten\r\n\r\n")
    s.send_raw(frame(b"{not json"))
    reply = s.receive()
    check(reply["id"] is None and reply["error"]["code"] == -32700,
          "ParseError with a null id", reply)
    s.send_raw(frame(b"[1, 2]"))
    check(s.receive()["error"]["code"] == -32600, "a batch is refused")
    s.send_raw(frame(b'{"jsonrpc": "2.0", "id": [1], "method": "x"}'))
    check(s.receive()["error"]["code"] == -32600, "an array id is refused")
    s.send_raw(bytes(range(256)) * 64 + b"\r\n")             # binary junk
    s.send_raw(b"content-length: 2\r\nContent-Type: application/"
               b"vscode-jsonrpc; charset=utf-8\r\n\r\n{}")
    check(s.receive()["error"]["code"] == -32600, "{} has no method")
    s.send_raw(frame(b'{"jsonrpc":"2.0","id":7,"result":null}'))  # a reply
    check(s.call("no/such")["error"]["code"] == -32601,
          "still answering after junk")
    # Notifications for a document never opened, and requests on it.
    s.change([{"text": "x"}], 2, uri="file:///never.cfg")
    s.notify("textDocument/didClose", doc("file:///never.cfg"))
    check(s.call("textDocument/hover", {"textDocument": {
        "uri": "file:///never.cfg"}, "position": at(0, 0)})["result"]
        is None, "hover on an unopened document is null")
    s.open("[a]\n")
    reply = s.call("textDocument/hover", {"textDocument": {"uri": URI}})
    check(reply.get("error", {}).get("code") == -32602, "InvalidParams", reply)
    check(s.end() == 0, "the session ends cleanly")


def diagnostics(tool, source):
    """The lint's findings, with ranges, levels, source and related
    information, exactly as `lint` reports them."""
    path = os.path.join(source, "examples", "typos.cfg")
    text = open(path, encoding="utf-8").read()
    lint = subprocess.run(tool + ["lint", "--format=json", "--severity=info",
                                  path], capture_output=True, check=False)
    expected = sorted((f["line"] - 1, f["column"] - 1, f["code"])
                      for f in json.loads(lint.stdout)["findings"])
    s = Server(tool)
    s.initialize()
    s.open(text, version=3)
    published = s.diagnostics()
    check(published["version"] == 3, "the version published", published)
    got = sorted((d["range"]["start"]["line"],
                  d["range"]["start"]["character"], d["code"])
                 for d in published["diagnostics"])
    check(got == expected, "the same findings as lint", [got, expected])
    by_code = {}
    for d in published["diagnostics"]:
        by_code.setdefault(d["code"], d)
    q305 = [d for d in published["diagnostics"] if d["code"] == "Q305"][0]
    check(q305["range"] == span(7, 12, 15) and q305["severity"] == 2
          and q305["source"] == "quorlen-config"
          and "holds 44" in q305["message"], "BIT_WIDTH = 300", q305)
    q101 = by_code["Q101"]
    check(q101["range"] == span(1, 0, 19)
          and "did you mean '[camera parameter]'?" in q101["message"],
          "an unknown section and its suggestion", q101)
    related = by_code["Q901"]["relatedInformation"][0]
    check(related["location"]["uri"] == URI
          and related["location"]["range"]["start"]["line"] == 11,
          "'first set at line 12' points there", by_code["Q901"])
    s.open("[camera parameter]\n======CODE_BLOCK_START======\nx\n",
           uri="file:///block.cfg")
    (q004,) = [d for d in s.diagnostics("file:///block.cfg")["diagnostics"]
               if d["code"] == "Q004"]
    check(q004["severity"] == 1 and q004["relatedInformation"][0]["location"]
          ["range"]["start"]["line"] == 1,
          "an error, and where the block opens", q004)
    s.notify("textDocument/didClose", doc("file:///block.cfg"))
    check(s.diagnostics("file:///block.cfg")["diagnostics"] == [],
          "closing clears the diagnostics")
    check(s.end() == 0, "clean end")


def text_sync(tool, source):
    """Incremental changes, several in one notification, and a whole text."""
    text = "[camera parameter]\nBIT_WIDTH = 300\nI2C_ADR = 1\n"
    s = Server(tool)
    s.initialize()
    s.open(text)
    check(codes(s.diagnostics()) == [(1, "Q305"), (2, "Q201")], "opened")
    s.change([{"range": span(1, 14, 15), "text": ""},        # 300 -> 30
              {"range": span(2, 6, 6), "text": "D"}], 2)      # I2C_ADDR
    after = s.diagnostics()
    check(after["version"] == 2 and codes(after) == [], "mended", after)
    check("bit_width = 30" in hover_text(s, 1), "the text is 30 now")
    s.change([{"range": span(0, 0, 0, 3), "text": "[x]\nA = 1\n"}], 3)
    check(codes(s.diagnostics()) == [(0, "Q101")], "replaced across lines")
    s.change([{"text": "[camera parameter]\nCFG_MODE = 1x\n"}], 4)
    check(codes(s.diagnostics()) == [(1, "Q301")], "a whole new text")
    check(s.end() == 0, "clean end")


def positions(tool, source):
    """UTF-16 by default, UTF-8 when offered; characters beyond the BMP,
    CR LF and lone CR line ends, and bytes that are not UTF-8."""
    line = "TYPE = a\u00e9\U0001F600;x"        # ';' after 2 + 1 + 2 units
    text = "[camera parameter]\r\n" + line + "\r\n"
    for offered, column in ((None, 11), (["utf-16"], 11),
                            (["utf-8", "utf-16"], 14)):
        s = Server(tool)
        caps = {"general": {"positionEncodings": offered}} if offered else {}
        got = s.initialize(caps)["capabilities"]["positionEncoding"]
        check(got == ("utf-8" if column == 14 else "utf-16"), "chosen", got)
        s.open(text)
        (q502,) = s.diagnostics()["diagnostics"]
        # The lint marks the ';' and the rest of the value it stays in.
        check(q502["range"] == span(1, column, column + 2),
              "the ';' in " + got, q502)
        # An edit placed by the same units lands on the ';'.
        s.change([{"range": span(1, column, column + 1), "text": " ;"}], 2)
        check(codes(s.diagnostics()) == [], got + " edit", text)
        s.end()
    # Raw bytes that are not UTF-8 count one unit each and come back as
    # they were: the lint reads the bytes, not replacements.  A lone CR ends
    # an editor's line but not the library's.
    s = Server(tool)
    s.initialize()
    body = json.dumps({"jsonrpc": "2.0", "method": "textDocument/didOpen",
                       "params": {"textDocument": {
                           "uri": URI, "languageId": "q", "version": 1,
                           "text": "[camera parameter]\nTYPE = @;\n"}}})
    s.send_raw(frame(body.encode().replace(b"@", b"\xe9\xff")))
    (q502,) = s.diagnostics()["diagnostics"]
    check(q502["range"] == span(1, 9, 10), "after two stray bytes", q502)
    check("type = '\\xe9\\xff;'" in hover_text(s, 1), "the bytes as they are")
    s.open("[camera parameter]\rTYPE = x\n", uri="file:///cr.cfg")
    (q104,) = s.diagnostics("file:///cr.cfg")["diagnostics"]
    check(q104["code"] == "Q104" and q104["range"] == span(1, 0, 8),
          "the header's line goes on past a lone CR", q104)
    check(s.end() == 0, "clean end")


def hover(tool, source):
    """What the record holds for the line under the cursor."""
    text = open(os.path.join(source, "examples", "typos.cfg"),
                encoding="utf-8").read()
    s = Server(tool)
    s.initialize()
    s.open(text)
    rows = [  # line, expected in the text (None: no hover)
        (0, None),
        (3, None),
        (1, "unknown section 'camera parameters'"),
        (7, "bit_width = 44 (0x2C): the low 8 bits of 300"),
        (9, "i2c_addr = 54 (0x0036): the low 16 bits of 65590"),
        (10, "trans_lvl = 12: '12ab' is read as 12"),
        (6, "SIZE needs exactly two values but has 1"),
        (11, "line 13 sets it again: the record ends with cfg_mode = 3"),
        (17, "code 0x03000000"),
        (17, "appends 4 entries (entries[0] .. entries[3])"),
        (20, "entry_type 0x03000001"),
        (20, "16 values: 0x1, 0x2"),
        (20, "(18 written; the first 16 kept)"),
        (22, "0x7FFFFFFF"),
        (24, "code 0x04000000: appends control #1 (controls[0]), "
             "CTRL_NAME 'gain'"),
        (29, "unknown key 'DEFAULT'"),
        (37, "control #2 'gain': code block, lines 38 to 40: 1 line, "
             "17 bytes"),
        (38, "The code block at line 41 replaces it"),
    ]
    for line, expected in rows:
        got = hover_text(s, line, 2)
        if expected is None:
            check(got is None, "no hover on line %d" % line, got)
        else:
            check(got is not None and expected in got,
                  "hover on line %d" % line, [got, expected])
    check(s.end() == 0, "clean end")


def completion(tool, source):
    """Section names after '[', the family's keys at a line's start."""
    text = ("[camera parameter]\nBIT\n[register parameter]\n\n"
            "[control parameter]\n\n======CODE_BLOCK_START======\n\n"
            "======CODE_BLOCK_END======\n[")
    s = Server(tool)
    s.initialize()
    s.open(text)

    def labels(line, character):
        result = s.result("textDocument/completion",
                          dict(doc(), position=at(line, character)))
        return {item["label"]: item for item in result["items"]}
    sections = labels(9, 1)
    check(len(sections) == 9 and "board parameter||dev3||inf2" in sections,
          "section names", list(sections))
    edit = sections["camera parameter"]["textEdit"]
    check(edit == {"range": span(9, 1, 1), "newText": "camera parameter]"},
          "the name and its ']'", edit)
    camera = labels(1, 3)
    check("BIT_WIDTH" in camera and "REG" not in camera, "camera keys",
          list(camera))
    check(camera["BIT_WIDTH"]["documentation"] ==
          "bits a pixel, low 8 bits kept"
          and camera["BIT_WIDTH"]["textEdit"]["range"] == span(1, 0, 3),
          "the field table's line", camera["BIT_WIDTH"])
    check(sorted(labels(3, 0)) == ["DELAY", "REG", "VRCMD"], "register keys")
    check("CTRL_NAME" in labels(5, 0), "control keys")
    check(labels(7, 0) == {}, "nothing inside a code block")
    check(labels(4, 0) == {}, "no key in front of a header")
    check(s.end() == 0, "clean end")


def code_actions(tool, source):
    """The lint's own fix; a 'disable' comment that the lint honours, on one
    line or, before the first header, in the whole file; none inside a code
    block."""
    text = ("A = 1\n[camera parameter]\nI2C_ADR = 1\n"
            "; quorlen-config: disable=Q301\nBIT_WIDTH = 300x\n"
            "[control parameter]\nCTRL_NAME = c\nMAX_VALUE = 1\nSTEP = 1\n"
            "======CODE_BLOCK_START======\n[x]\n")
    s = Server(tool)
    s.initialize()
    s.open(text)
    before = codes(s.diagnostics())
    check(before == [(0, "Q202"), (2, "Q201"), (4, "Q305"), (10, "Q005")],
          "what there is to silence", before)

    def actions(line):
        return s.result("textDocument/codeAction", dict(
            doc(), range=span(line, 0, 0), context={"diagnostics": []}))
    # The lint's own fix: applied, its finding goes and none comes.
    fixes = [a for a in actions(2) if a.get("isPreferred")]
    check(len(fixes) == 1 and fixes[0]["title"] ==
          "Replace 'I2C_ADR' with 'I2C_ADDR'", "the lint's fix", actions(2))
    fixed = apply_edits(text, fixes[0]["edit"]["changes"][URI])
    check("\nI2C_ADDR = 1\n" in fixed, "the key renamed", fixed)
    s.change([{"text": fixed}], 2)
    after = codes(s.diagnostics())
    check(after == [c for c in before if c != (2, "Q201")],
          "the fixed finding gone, no new one", after)
    s.change([{"text": text}], 3)
    check(codes(s.diagnostics()) == before, "back as it was")
    version = 3
    # From the bottom up, so that the lines above keep their numbers.
    for line, title, code in (
            (4, "Disable Q305 on this line", "Q305"),
            (2, "Disable Q201 on this line", "Q201"),
            (0, "Disable Q202 in this file", "Q202")):
        found = [a for a in actions(line) if a["title"].startswith(title)]
        check(len(found) == 1 and found[0]["kind"] == "quickfix"
              and found[0]["diagnostics"][0]["code"] == code,
              title, actions(line))
        text = apply_edits(text, found[0]["edit"]["changes"][URI])
        version += 1
        s.change([{"text": text}], version)
        left = sorted(c for _, c in codes(s.diagnostics()))
        expected = sorted(c for _, c in before if c != code)
        check(left == expected, "silenced, and nothing else: " + title,
              [text, left])
        before = [(0, c) for c in left]
    check("disable=Q301,Q305" in text, "added to the comment above", text)
    block = [a["title"] for a in actions(text.count("\n") - 1)]
    check(not any(t.startswith("Disable") for t in block),
          "no comment into a code block", block)
    check(s.result("textDocument/codeAction", dict(
        doc(), range=span(2, 0, 0), context={"only": ["refactor"]})) == [],
        "only quick fixes")
    check(s.end() == 0, "clean end")


def symbols(tool, source):
    """Sections, and controls by CTRL_NAME, in both forms."""
    text = open(os.path.join(source, "examples", "camera.cfg"),
                encoding="utf-8").read()
    for hierarchical in (True, False):
        s = Server(tool)
        s.initialize({"textDocument": {"documentSymbol": {
            "hierarchicalDocumentSymbolSupport": hierarchical}}})
        s.open(text)
        got = s.result("textDocument/documentSymbol", doc())
        names = [x["name"] for x in got]
        check(names[:3] == ["[camera parameter]", "[board parameter]",
                            "[board parameter||dev2]"]
              and names[-3:] == ["exposure", "analogue_gain", "test_pattern"],
              "the outline", names)
        gain = got[-2]
        if hierarchical:
            check(gain["selectionRange"]["start"]["line"] == 101
                  and gain["range"]["start"]["line"] == 100
                  and gain["range"]["end"]["line"] >= 111,
                  "the control's section, its name selected", gain)
        else:
            check(gain["location"]["range"]["start"]["line"] == 100,
                  "where the control starts", gain)
        s.end()


def folding(tool, source):
    """Sections to their last line that is not blank, code blocks, and runs
    of comment lines; a long line's pieces fold nothing."""
    text = ("; one\n; two\n# three\n[camera parameter]\nTYPE = a\n\n"
            "[control parameter]\nCTRL_NAME = c\n======CODE_BLOCK_START======\n"
            "; code, no comment\n; still code\n======CODE_BLOCK_END======\n"
            "; lone\n\n[register parameter]\nREG = 1, " + "2" * 300 + "\n")
    s = Server(tool)
    s.initialize()
    s.open(text)
    got = sorted((r["startLine"], r["endLine"], r.get("kind"))
                 for r in s.result("textDocument/foldingRange", doc()))
    expected = sorted([
        (0, 2, "comment"),       # three comment lines in a row
        (3, 4, None),            # the camera section, less its blank line
        (6, 12, None),           # the control, its lone comment included
        (8, 11, "region"),       # the code block, whose ';' lines are code
        (14, 15, None),          # a long line is one line, in pieces
    ])
    check(got == expected, "the folds", [got, expected])
    check(s.end() == 0, "clean end")


def diagnostic_extras(tool, source):
    """Each diagnostic links to its code's explanation; those on lines the
    library ignores are tagged unnecessary, no other."""
    text = ("A = 1\n[camera parameter]\nI2C_ADR = 1\nBIT_WIDTH = 300\n"
            "SIZE = 1\n[camera parameters]\n[register parameter]\n"
            "======CODE_BLOCK_START======\nx\n======CODE_BLOCK_END======\n")
    s = Server(tool)
    s.initialize()
    s.open(text)
    got = {d["code"]: d for d in s.diagnostics()["diagnostics"]}
    rows = [  # code, tagged unnecessary
        ("Q202", True),   # a pair before the first header
        ("Q201", True),   # an unknown key
        ("Q305", False),  # stored, if cut
        ("Q402", True),   # SIZE of one value changes nothing
        ("Q101", True),   # an unknown section
        ("Q701", True),   # a code block outside a control
    ]
    check(sorted(got) == sorted(code for code, _ in rows), "the codes",
          sorted(got))
    for code, unnecessary in rows:
        d = got[code]
        check(d.get("tags", []) == ([1] if unnecessary else []),
              code + " tags", d)
        href = d["codeDescription"]["href"]
        check(href.startswith("file:///") and
              href.endswith("/lint-codes.md#" + code.lower()), code + " link",
              d)
    # The page linked to is the page of codes, with a heading a code.
    page = open(os.path.join(source, "docs", "lint-codes.md"),
                encoding="utf-8").read()
    for code, _ in rows:
        check("\n### " + code + "\n" in page, code + " has its heading")
    check(s.end() == 0, "clean end")


def inlay_hints(tool, source):
    """At the end of a line, what the record holds where it differs from
    what the line says; nothing where it does not; none once switched off."""
    text = ("A = 1\n[camera parameter]\nBIT_WIDTH = 300\nBIT_WIDTH = 30\n"
            "I2C_ADDR = 0x10036\nTRANS_LVL = 12ab\nCFG_MODE = x\n"
            "TYPE = " + "t" * 60 + "\nTYPE = a;b\nI2C_ADR = 1\nSIZE = 1\n"
            "[register parameter]\nREG = 0x1FFFFFFFF, 1\n"
            "REG = 1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17\n"
            "[" + "s" * 60 + "]\n")
    rows = [  # line, the hint (None: none)
        (0, "\u21d2 ignored: before the first section header"),
        (1, None),
        (2, "\u21d2 44"),
        (3, None),                              # 30 is what it says
        (4, "\u21d2 0x0036"),                   # an address, in hex
        (5, "\u21d2 12"),
        (6, "\u21d2 0"),
        (7, "\u21d2 cut to 49 characters"),
        (8, "\u21d2 'a;b'"),
        (9, "\u21d2 ignored: unknown key"),
        (10, "\u21d2 ignored: SIZE needs exactly two values"),
        (12, "\u21d2 0x7FFFFFFF, 0x1"),
        (13, "\u21d2 the first 16 values kept"),
        (14, "\u21d2 ignored: unknown section"),
    ]
    lines = text.split("\n")
    for options, shown in ((None, True), ({"inlayHints": {"enabled": False}},
                                          False)):
        s = Server(tool)
        s.result("initialize", {"processId": None, "capabilities": {},
                                "initializationOptions": options})
        s.open(text)
        hints = s.result("textDocument/inlayHint",
                         dict(doc(), range=span(0, 0, 0, len(lines))))
        got = {h["position"]["line"]: h for h in hints}
        if not shown:
            check(hints == [], "switched off", hints)
            # ... and on again through the settings.
            s.notify("workspace/didChangeConfiguration", {"settings": {
                "quorlen-config": {"inlayHints": {"enabled": True}}}})
            hints = s.result("textDocument/inlayHint",
                             dict(doc(), range=span(0, 0, 0, len(lines))))
            got = {h["position"]["line"]: h for h in hints}
        for line, label in rows:
            if label is None:
                check(line not in got, "no hint on line %d" % line, got.get(line))
                continue
            h = got.get(line)
            check(h is not None and h["label"] == label and
                  h["position"]["character"] == len(lines[line]),
                  "the hint at the end of line %d" % line, [h, label])
        check(len(got) == sum(1 for _, l in rows if l), "no other hint",
              sorted(got))
        # Only the lines asked for.
        part = s.result("textDocument/inlayHint",
                        dict(doc(), range=span(2, 0, 0, 4)))
        check([h["position"]["line"] for h in part] == [2], "a range", part)
        s.end()


def semantic_tokens(tool, source):
    """Known and unknown keys and headers, to a client that asks; none
    offered to one that does not."""
    text = ("A = 1\n[camera parameter]\n  TYPE = x\nREG = 1\n    REG = 2\n"
            "[register parameter][dev3][inf2]\nREG = 1\n[x]\nTYPE = 1\n")
    s = Server(tool)
    caps = s.initialize()["capabilities"]
    check("semanticTokensProvider" not in caps, "not offered unasked", caps)
    s.end()
    s = Server(tool)
    caps = s.initialize({"textDocument": {"semanticTokens": {
        "requests": {"full": True}}}})["capabilities"]
    legend = caps["semanticTokensProvider"]["legend"]
    s.open(text)
    data = s.result("textDocument/semanticTokens/full", doc())["data"]
    tokens, line, start = [], 0, 0
    for i in range(0, len(data), 5):
        dl, ds, length, kind, mods = data[i:i + 5]
        line += dl
        start = start + ds if dl == 0 else ds
        tokens.append((line, start, length, legend["tokenTypes"][kind],
                       [m for b, m in enumerate(legend["tokenModifiers"])
                        if mods >> b & 1]))
    expected = [  # line, start, length, type, modifiers
        (0, 0, 1, "property", ["unknown"]),      # before any header
        (1, 0, 18, "namespace", []),
        (2, 2, 4, "property", []),               # an indented first pair
        (3, 0, 3, "property", ["unknown"]),      # REG is no camera key
        (5, 0, 32, "namespace", []),             # joined bracket groups
        (6, 0, 3, "property", []),
        (7, 0, 3, "namespace", ["unknown"]),
        (8, 0, 4, "property", ["unknown"]),      # in an unknown section
    ]                                            # line 4: a continuation
    check(tokens == expected, "the tokens", [tokens, expected])
    check(s.end() == 0, "clean end")


def big_document(tool, source):
    """A 50 MB document: diagnostics arrive (at most a thousand, and a note
    on the rest), and the server still answers."""
    block = "REG = 0x3000, 0x01\n" * 999 + "junk\n"
    text = "[register parameter]\n" + block * (50_000_000 // len(block))
    s = Server(tool)
    s.initialize()
    s.open(text)
    published = s.diagnostics()["diagnostics"]
    check(len(published) == 1001 and "more findings" in
          published[-1]["message"], "capped", published[-1])
    check("entries[999000]" in hover_text(s, 1_000_001), "hover far down")
    check(s.end() == 0, "clean end")


def formatting(tool, source):
    """The whole document laid out as fmt lays it out, comments kept; the
    editor's tab setting indents continuations; a text already laid out
    gets no edit."""
    rows = [
        # text, options, expected text (None: no edit)
        ("[camera parameter]\nCFG_MODE=1 ; mode\nTYPE   =  a\n",
         {"tabSize": 4, "insertSpaces": True},
         "[camera parameter]\nCFG_MODE = 1 ; mode\nTYPE = a\n"),
        ("[register parameter]\nREG = 1,\n 2\n",
         {"tabSize": 4, "insertSpaces": False},
         "[register parameter]\nREG = 1,\n\t2\n"),
        ("[camera parameter]\nCFG_MODE = 1\n", {"tabSize": 2,
                                                 "insertSpaces": True}, None),
    ]
    s = Server(tool)
    caps = s.initialize()["capabilities"]
    check(caps.get("documentFormattingProvider") is True, "offered", caps)
    for text, options, expected in rows:
        s.open(text)
        edits = s.result("textDocument/formatting",
                         dict(doc(), options=options))
        got = apply_edits(text, edits) if edits else None
        check(got == expected, "formatted", [text, got, expected])
    check(s.end() == 0, "clean end")


def bindings(tool, source):
    """The lint's bindings in the editor: one the document names beside it,
    one outside its folder, one that cannot be read, one in bindings.folder
    chosen by its select; their findings, values, limits and the lens."""
    import shutil
    import tempfile
    folder = tempfile.mkdtemp()
    try:
        shutil.copy(os.path.join(source, "examples", "bindings",
                                 "qcam-vga.yaml"), folder)
        with open(os.path.join(folder, "broken.yaml"), "w") as f:
            f.write("name: [unclosed\n")
        body = ("[camera parameter]\nTYPE = qcam-vga-raw10\nSIZE = 640, 480\n"
                "BIT_WIDTH = 10\nI2C_ADDR = 0x10\nI2C_MODE = 1\n")
        examples = os.path.join(source, "examples", "bindings")
        rows = [  # comment, settings, diagnostics wanted, lens wanted
            ("binding=qcam-vga.yaml", {}, [(5, "Q1001")], "qcam-vga"),
            ("binding=../qcam-vga.yaml", {}, [(0, "Q1006")], None),
            ("binding=../qcam-vga.yaml", {"bindings": {"allowOutside": True}},
             [(5, "Q1001")], "named in the file at line 1"),
            ("binding=broken.yaml", {}, [(0, None)], None),
            ("none", {"bindings": {"folder": examples}}, [(5, "Q1001")],
             "its select matches"),
        ]
        for comment, settings, wanted, lens in rows:
            s = Server(tool)
            s.result("initialize", {"processId": None, "rootUri": None,
                                    "capabilities": {},
                                    "initializationOptions": settings})
            uri = "file://" + folder + "/sub%20dir/cam.cfg"
            os.makedirs(os.path.join(folder, "sub dir"), exist_ok=True)
            if comment.startswith("binding=") and "../" not in comment:
                uri = "file://" + folder + "/cam.cfg"
            text = "; quorlen-config: %s\n" % comment + body
            s.open(text, uri=uri)
            found = s.diagnostics(uri)["diagnostics"]
            got = sorted((d["range"]["start"]["line"], d.get("code"))
                         for d in found)
            check(got == wanted, "binding diagnostics for " + comment,
                  [got, wanted])
            if wanted == [(0, None)]:
                message = found[0]["message"]
                check("broken.yaml" in message and "unclosed" not in message,
                      "the unread binding named, its text not", message)
            lenses = s.result("textDocument/codeLens", {
                "textDocument": {"uri": uri}})
            if lens is None:
                check(lenses == [], "no lens for " + comment, lenses)
                check(s.end() == 0, "clean end")
                continue
            check(len(lenses) == 1 and lenses[0]["range"]["start"] == at(0, 0)
                  and lens in lenses[0]["command"]["title"]
                  and "qcam-vga" in lenses[0]["command"]["title"],
                  "the lens names the binding", lenses)
            items = s.result("textDocument/completion", {
                "textDocument": {"uri": uri}, "position": at(5, 10)})["items"]
            check([(i["label"], i["documentation"], i["textEdit"]["newText"])
                   for i in items] ==
                  [("0x36", "an address this sensor answers at", " 0x36"),
                   ("0x37", "an address this sensor answers at", " 0x37")],
                  "the binding's values after I2C_ADDR =", items)
            hovers = [  # line, in the hover
                (5, "i2c_addr = 16 (0x0010)"),
                (5, "binding qcam-vga: an address this sensor answers at "
                    "(allowed: 0x36, 0x37)"),
                (6, "binding qcam-vga: an I2C mode of this sensor "
                    "(at most 1)"),
            ]
            for line, expected in hovers:
                result = s.result("textDocument/hover", {
                    "textDocument": {"uri": uri}, "position": at(line, 2)})
                check(result is not None
                      and expected in result["contents"]["value"],
                      "hover on line %d" % line, [result, expected])
            # A keystroke that mends the value clears the finding.
            s.change([{"range": span(5, 11, 15), "text": "0x36"}], 2, uri=uri)
            check(s.diagnostics(uri)["diagnostics"] == [],
                  "mended: no finding")
            check(s.end() == 0, "clean end")
    finally:
        shutil.rmtree(folder)


CASES = [lifecycle, framing, diagnostics, text_sync, positions, hover,
         completion, code_actions, symbols, folding, diagnostic_extras,
         inlay_hints, semantic_tokens, formatting, bindings]


def run_case(case, tool, source):
    """One case, with every server it started ended; its line of the
    report and whether it passed."""
    started = time.monotonic()
    try:
        case(tool, source)
        return True, "ok      %-14s %.1f s" % (case.__name__,
                                              time.monotonic() - started)
    except (Failure, queue.Empty, AssertionError, KeyError,
            ValueError) as e:
        return False, "FAILED  %-14s %s" % (case.__name__,
                                            str(e) or type(e).__name__)
    finally:
        for server in Server.running:
            server.kill()
        Server.running.clear()


def main(argv):
    big = "--big" in argv
    jobs = 1
    for a in argv:
        if a.startswith("--jobs="):
            jobs = int(a[len("--jobs="):])
    argv = [a for a in argv if a != "--big" and not a.startswith("--jobs=")]
    source, tool = argv[1], [a for a in argv[3:] if a] + [argv[2]]
    cases = CASES + ([big_document] if big else [])
    if jobs > 1:
        # Each case in a process of its own, so that one's servers are
        # never ended by another's; the report keeps the cases' order.
        import concurrent.futures
        import multiprocessing
        with concurrent.futures.ProcessPoolExecutor(
                jobs, mp_context=multiprocessing.get_context("fork")) as pool:
            results = pool.map(run_case, cases, [tool] * len(cases),
                               [source] * len(cases))
            outcomes = []
            for passed, line in results:
                print(line, flush=True)
                outcomes.append(passed)
    else:
        outcomes = []
        for case in cases:
            passed, line = run_case(case, tool, source)
            print(line, flush=True)
            outcomes.append(passed)
    return 0 if all(outcomes) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
