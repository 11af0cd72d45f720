// Runs the TextMate grammar with the engine VS Code uses (vscode-textmate on
// Oniguruma) over tests/tool/editor_sample.cfg and checks the scopes at
// known places, the same places tests/tool/vim_syntax.py checks in Neovim;
// then checks that no line can make it backtrack: every repetition in its
// regexes is possessive, and 199-character lines built to make a
// backtracking pattern explode are read.
//   node test/grammar_test.js [SOURCE_DIR]
"use strict";
const fs = require("fs");
const path = require("path");
const vsctm = require("vscode-textmate");
const oniguruma = require("vscode-oniguruma");

const source = process.argv[2] || path.join(__dirname, "..", "..", "..");
const grammarPath = path.join(__dirname, "..", "syntaxes", "quorlencfg.tmLanguage.json");

// line, column (both from 1), a scope the character there has.
const ROWS = [
  [1, 1, "variable.other.key.unknown.quorlencfg"],
  [1, 3, "punctuation.separator.key-value.quorlencfg"],
  [1, 5, "constant.numeric.decimal.quorlencfg"],
  [2, 1, "punctuation.definition.section.begin.quorlencfg"],
  [2, 2, "entity.name.section.quorlencfg"],
  [2, 20, "comment.line.ignored.quorlencfg"],
  [3, 1, "comment.line.quorlencfg"],
  [4, 1, "support.type.property-name.quorlencfg"],
  [4, 11, "punctuation.separator.key-value.quorlencfg"],
  [4, 13, "constant.numeric.decimal.quorlencfg"],
  [4, 17, "comment.line.inline.quorlencfg"],
  [5, 1, "variable.other.key.unknown.quorlencfg"],
  [5, 11, "constant.numeric.hex.quorlencfg"],
  [6, 3, "meta.continuation.quorlencfg"],
  [6, 11, "meta.continuation.quorlencfg"],
  [7, 1, "support.type.property-name.quorlencfg"],
  [7, 9, "meta.pair.quorlencfg"],
  [7, 12, "comment.line.inline.quorlencfg"],
  [8, 2, "entity.name.section.quorlencfg"],
  [8, 21, "punctuation.separator.group.quorlencfg"],
  [8, 32, "punctuation.definition.section.end.quorlencfg"],
  [9, 1, "support.type.property-name.quorlencfg"],
  [9, 7, "constant.numeric.hex.quorlencfg"],
  [9, 13, "constant.numeric.decimal.quorlencfg"],
  [10, 5, "constant.numeric.decimal.quorlencfg"],
  [11, 1, "comment.line.quorlencfg"],
  [12, 7, "constant.numeric.decimal.quorlencfg"],
  [13, 2, "entity.name.section.quorlencfg"],
  [14, 3, "support.type.property-name.quorlencfg"],
  [15, 1, "keyword.control.block.begin.quorlencfg"],
  [16, 1, "meta.embedded.block.quorlencfg"],
  [16, 9, "meta.embedded.block.quorlencfg"],
  [17, 1, "keyword.control.block.end.quorlencfg"],
  [18, 2, "entity.name.section.unknown.quorlencfg"],
  [19, 1, "variable.other.key.unknown.quorlencfg"],
  [20, 1, "comment.line.quorlencfg"],
  [21, 2, "entity.name.section.quorlencfg"],
  [21, 24, "comment.line.ignored.quorlencfg"],
  [22, 1, "support.type.property-name.quorlencfg"],
  [22, 7, "punctuation.separator.key-value.quorlencfg"],
];
// Scopes a place must not have, where a looser grammar would give them.
const NOT = [
  [6, 11, "comment.line.inline.quorlencfg"],   // a continuation keeps ';'
  [16, 9, "support.type.property-name.quorlencfg"],
  [19, 1, "support.type.property-name.quorlencfg"],
  [4, 1, "variable.other.key.unknown.quorlencfg"],
];

// 199 characters: the library's line room.  Each is built against one
// pattern: long runs of blanks between name characters, separators that
// never come, groups that never close, digits that never end.
// The last line of each cut to 199 characters.
const fit = (head, body) => {
  const lines = (head + body.repeat(200)).split("\n");
  lines[lines.length - 1] = lines[lines.length - 1].slice(0, 199);
  return lines.join("\n");
};
const PATHOLOGICAL = [
  fit("", "a "),                                  // a name, never a separator
  fit("[camera parameter]\nA", " \t"),           // blanks after a name
  fit("[", "]["),                                  // groups, never a name end
  fit("[register parameter]\nREG = ", "0x"),     // hex that never starts
  fit("[camera parameter]\nTYPE = ", " ;"),      // comment marks
  fit("[camera parameter]\nA = 1\n", " "),       // a continuation of blanks
  fit("", "="),                                    // nearly a block marker
  fit("[x]\n", "x \t="),                         // separators everywhere
];

function scopesAt(lineTokens, column) {
  for (const t of lineTokens) {
    if (column - 1 >= t.startIndex && column - 1 < t.endIndex) return t.scopes;
  }
  return [];
}

function tokenize(grammar, text) {
  let state = vsctm.INITIAL;
  const lines = [];
  for (const line of text.split("\n")) {
    const r = grammar.tokenizeLine(line, state);
    lines.push(r.tokens);
    state = r.ruleStack;
  }
  return lines;
}

// Every regex of the grammar; and where a repetition may give back what it
// took (greedy or lazy, not possessive), lookarounds included.
function regexes(node, out = []) {
  if (Array.isArray(node)) node.forEach((n) => regexes(n, out));
  else if (node && typeof node === "object") {
    for (const [key, value] of Object.entries(node)) {
      if (["match", "begin", "end"].includes(key)) out.push(value);
      else regexes(value, out);
    }
  }
  return out;
}
function givesBack(re) {
  for (let i = 0; i < re.length; ++i) {
    const c = re[i];
    if (c === "\\") { ++i; continue; }
    if (c === "[") {  // a class: skip to its end
      for (++i; i < re.length && re[i] !== "]"; ++i) if (re[i] === "\\") ++i;
      continue;
    }
    if (c === "*" || c === "+") {
      if (re[i + 1] !== "+") return i;
      ++i;  // possessive
    }
  }
  return -1;
}

async function main() {
  const wasm = fs.readFileSync(require.resolve("vscode-oniguruma/release/onig.wasm"));
  await oniguruma.loadWASM(wasm.buffer.slice(wasm.byteOffset, wasm.byteOffset + wasm.byteLength));
  const registry = new vsctm.Registry({
    onigLib: Promise.resolve({
      createOnigScanner: (p) => new oniguruma.OnigScanner(p),
      createOnigString: (s) => new oniguruma.OnigString(s),
    }),
    loadGrammar: async () => vsctm.parseRawGrammar(fs.readFileSync(grammarPath, "utf8"), grammarPath),
  });
  const grammar = await registry.loadGrammar("source.quorlencfg");
  let failed = 0;
  const lines = tokenize(grammar, fs.readFileSync(path.join(source, "tests", "tool", "editor_sample.cfg"), "utf8"));
  for (const [line, column, scope] of ROWS) {
    const got = scopesAt(lines[line - 1], column);
    if (!got.includes(scope)) {
      ++failed;
      console.log(`${line}:${column} expected ${scope}, got ${got.join(" ")}`);
    }
  }
  for (const [line, column, scope] of NOT) {
    const got = scopesAt(lines[line - 1], column);
    if (got.includes(scope)) {
      ++failed;
      console.log(`${line}:${column} must not be ${scope}: ${got.join(" ")}`);
    }
  }
  console.log(`${ROWS.length + NOT.length - failed} of ${ROWS.length + NOT.length} places as expected`);

  const all = regexes(JSON.parse(fs.readFileSync(grammarPath, "utf8")));
  const before = failed;
  for (const re of all) {
    const at = givesBack(re);
    if (at >= 0) {
      ++failed;
      console.log(`a repetition that can give back, at ${at}: ${re}`);
    }
  }
  console.log(`${all.length} regexes, ${failed - before} with a repetition that is not possessive`);

  // A backtracking pattern takes seconds to hours on such a line; a linear
  // one a fraction of a millisecond.  The bound only tells the two apart.
  for (const text of PATHOLOGICAL) {
    const last = text.split("\n").pop();
    if (last.length !== 199) throw new Error(`not 199 characters: ${last.length}`);
    const started = process.hrtime.bigint();
    tokenize(grammar, text);
    const ms = Number(process.hrtime.bigint() - started) / 1e6;
    if (ms > 2000) {
      ++failed;
      console.log(`${ms.toFixed(0)} ms on ${JSON.stringify(last.slice(0, 40))}...`);
    }
  }
  console.log(`${PATHOLOGICAL.length} pathological lines of 199 characters read`);
  process.exit(failed ? 1 : 0);
}

main().catch((e) => { console.error(e); process.exit(1); });
