// How lines are read: the lines the library refuses, lines read in pieces,
// a byte-order mark out of place, indentation that means something other
// than it seems, a NUL byte that ends a line early, and a file that is no
// text at all.
#include <cstring>

#include "input/diagnostics.h"
#include "input/load.h"
#include "lint/lint_context.h"

namespace quorlen_tool {

namespace {

using quorlen::line_kind;

constexpr rule_id FAULT_RULES[] = {
    rule_id::unclosed_header,  rule_id::no_separator,
    rule_id::refused_line,     rule_id::block_unterminated,
    rule_id::block_broken_off, rule_id::block_no_memory,
};

// Whether a byte is one that no text holds: a control byte other than a
// tab, a line end or a form feed.
bool control_byte(unsigned char c) {
  return (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f') ||
         c == 0x7F;
}

// The library reads a line as a C string: a NUL byte ends it, and what
// stands after the NUL in the read is never seen.
void nul_in_line(lint_context& ctx) {
  if (ctx.facts.kind == line_kind::comment) return;  // all of it a comment
  const std::string_view piece = ctx.piece_text(0);
  const std::size_t nul = piece.find('\0');
  if (nul == std::string_view::npos) return;
  std::string_view rest = piece.substr(nul);
  while (!rest.empty() && (rest.back() == '\0' || is_blank(rest.back()))) {
    rest.remove_suffix(1);
  }
  std::size_t skip = 0;
  while (skip < rest.size() && (rest[skip] == '\0' || is_blank(rest[skip]))) {
    ++skip;
  }
  rest.remove_prefix(skip);
  if (rest.empty()) return;  // nothing after it but blanks
  constexpr std::size_t SHOWN = 40;
  const std::string lost = rest.size() > SHOWN
                               ? in_quotes(rest.substr(0, SHOWN)) + "..."
                               : in_quotes(rest);
  ctx.add(rule_id::nul_byte, ctx.span_at(ctx.facts.buffer + nul, 1),
          "NUL byte: the library reads the line only up to it and never sees "
          "the " +
              std::to_string(rest.size()) + " characters after it: " + lost);
}

class lines final : public rule_family {
 public:
  void line(lint_context& ctx) override {
    const quorlen::line_facts& facts = ctx.facts;
    const source_map::piece piece = ctx.map.piece_at(facts.number);
    nul_in_line(ctx);
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

std::string not_text(std::string_view bytes) {
  const std::string_view sample = bytes.substr(0, NOT_TEXT_SAMPLE);
  std::size_t controls = 0;
  std::size_t run = 0;
  for (std::size_t i = 0; i < sample.size(); ++i) {
    const auto c = static_cast<unsigned char>(sample[i]);
    run = c == 0 ? run + 1 : 0;
    if (run == NOT_TEXT_NUL_RUN) {
      return "not a text file: byte " + std::to_string(i + 2 - run) +
             " starts a run of NUL bytes, which no configuration file holds; "
             "nothing else is reported for it";
    }
    if (control_byte(c)) ++controls;
  }
  if (controls >= NOT_TEXT_CONTROLS &&
      controls * 100 > sample.size() * NOT_TEXT_PERCENT) {
    return "not a text file: " + std::to_string(controls) + " of its first " +
           std::to_string(sample.size()) +
           " bytes are control bytes, which no configuration file holds so "
           "many of; nothing else is reported for it";
  }
  return "";
}

}  // namespace quorlen_tool
