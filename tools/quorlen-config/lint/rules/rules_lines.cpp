// How lines are read: the lines the library refuses, lines read in pieces,
// a byte-order mark out of place, and indentation that means something
// other than it seems.
#include <cstring>

#include "input/diagnostics.h"
#include "lint/lint_context.h"
#include "input/load.h"

namespace quorlen_tool {

namespace {

using quorlen::line_kind;

constexpr rule_id FAULT_RULES[] = {
    rule_id::unclosed_header,  rule_id::no_separator,
    rule_id::refused_line,     rule_id::block_unterminated,
    rule_id::block_broken_off, rule_id::block_no_memory,
};

class lines final : public rule_family {
 public:
  void line(lint_context& ctx) override {
    const quorlen::line_facts& facts = ctx.facts;
    const source_map::piece piece = ctx.map.piece_at(facts.number);
    if (facts.number > 1 && piece.column0 == 0 &&
        std::strncmp(facts.buffer, "\xEF\xBB\xBF", 3) == 0) {
      // Files joined end to end leave one there; it goes.
      std::vector<edit> fix;
      if (ctx.fixable(-3)) {
        const std::size_t at = ctx.file_offset(facts.buffer);
        fix.push_back({at, at + 3, ""});
      }
      ctx.add(rule_id::late_byte_order_mark, ctx.span_at(facts.buffer, 3),
              "byte-order mark at the start of a line after line 1 is read as "
              "text",
              "", std::move(fix));
    }
    if (facts.kind == line_kind::comment || facts.kind == line_kind::blank) {
      return;
    }
    if ((facts.kind == line_kind::pair || facts.kind == line_kind::faulty) &&
        facts.start > facts.buffer && previous_ == line_kind::section_header &&
        piece.column0 == 0) {
      ctx.add(rule_id::indented_after_header,
              ctx.span_to(facts.buffer, facts.start),
              "indented line right after a section header is an ordinary "
              "line, not a continuation");
    }
    previous_ = facts.kind;
  }

  void fault(lint_context& ctx, const quorlen::fault& f) override {
    const source_map::piece piece = ctx.map.piece_at(f.line);
    const std::size_t start =
        f.line == ctx.facts.number ? ctx.start_offset() : 0;
    const fault_note note{
        f.kind,
        piece.line,
        f.line,
        static_cast<int>(piece.column0 + start + 1),
        f.block_line > 0 ? ctx.map.editor_line(f.block_line) : 0,
        f.text,
        piece.column0 > 0};
    const std::size_t length = std::strlen(f.text);
    ctx.add(FAULT_RULES[static_cast<int>(f.kind)],
            {{note.line, note.column},
             note.column + static_cast<int>(length > 0 ? length : 1)},
            describe(note));
  }

  // An indented "KEY = value" after a pair continues the pair's key.
  void pair(lint_context& ctx, const pair_event& ev) override {
    if (!ev.continuation) return;
    const std::string key = name_on_its_own(ev.value);
    if (key.empty() || !lint_context::known_key(ev.code, key.c_str())) return;
    ctx.add(rule_id::indented_key, ctx.span_at(ev.value, key.size()),
            "indented, so this line continues " + escape_text(ev.name) + ": " +
                in_quotes(ev.value) + " is read as a value of " +
                escape_text(ev.name) + ", not as " + key);
    const int line = ctx.at(ev.value).line;
    ctx.explain(line, line);
  }

  void finish(lint_context& ctx) override {
    int ahead = 0;
    for (const source_map::long_line& l : ctx.map.long_lines()) {
      ahead += l.pieces - 1;
      const std::size_t rest = l.length - LINE_ROOM;
      const std::string pieces =
          l.pieces == 2 ? "a line of its own"
                        : std::to_string(l.pieces - 1) + " lines of their own";
      ctx.add(
          rule_id::long_line,
          {{l.line, static_cast<int>(LINE_ROOM + 1)},
           static_cast<int>(l.length + 1)},
          "line is " + std::to_string(l.length) +
              " characters; the library reads " + std::to_string(LINE_ROOM) +
              " at a time and takes " +
              (rest == 0
                   ? std::string("its line end")
                   : "the remaining " + std::to_string(rest) + " characters") +
              " as " + pieces + ", so its line numbers after this one run " +
              std::to_string(ahead) + " ahead of an editor's");
    }
  }

 private:
  line_kind previous_ = line_kind::blank;
};

}  // namespace

std::unique_ptr<rule_family> line_rules() { return std::make_unique<lines>(); }

}  // namespace quorlen_tool
