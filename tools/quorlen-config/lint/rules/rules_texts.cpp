// Texts: longer than their field, or holding what looks like a comment but
// is not one.
#include <algorithm>
#include <cstring>

#include "input/diagnostics.h"
#include "lint/lint_context.h"
#include "record/record_compare.h"

namespace quorlen_tool {

namespace {

// The first ';' or "//" in the text, or null.
const char* comment_mark(const char* text) {
  const char* semicolon = std::strchr(text, ';');
  const char* slashes = std::strstr(text, "//");
  if (semicolon == nullptr) return slashes;
  if (slashes == nullptr) return semicolon;
  return std::min(semicolon, slashes);
}

// The first '#' after white space, or null.
const char* hash_mark(const char* text) {
  for (const char* p = text; (p = std::strchr(p, '#')) != nullptr; ++p) {
    if (p > text && is_blank(p[-1])) return p;
  }
  return nullptr;
}

class texts final : public rule_family {
 public:
  void pair(lint_context& ctx, const pair_event& ev) override {
    if (!ev.known || ev.row == nullptr || ev.fills == nullptr ||
        ev.row->kind != quorlen::field_kind::text) {
      return;
    }
    const std::size_t room = ev.row->size - 1;
    const std::size_t length = std::strlen(ev.value);
    const char* end = ev.value + length;
    if (length > room) {
      ctx.add(rule_id::text_cut, ctx.span_to(ev.value + room, end),
              std::string(ev.name) + " is " + std::to_string(length) +
                  " characters; the record keeps the first " +
                  std::to_string(room));
    }
    if (ev.continuation) return;  // continuations keep comments on purpose
    const std::string holds =
        "; the record holds " + in_quotes(text_of(ev.fills, *ev.row));
    if (const char* mark = comment_mark(ev.value)) {
      // A comment is plainly meant where text stands before the mark and a
      // blank after it ("sensor; rev B"); "a;b" or "http://x" may be text.
      const char* after = mark + (*mark == ';' ? 1 : 2);
      std::vector<edit> fix;
      if (mark > ev.value && is_blank(*after) && ctx.fixable(1)) {
        const std::size_t at = ctx.file_offset(mark);
        fix.push_back({at, at, " "});
      }
      ctx.add(rule_id::unspaced_comment_mark, ctx.span_to(mark, end),
              std::string(*mark == ';' ? "';'" : "'//'") +
                  " starts no comment without a blank before it" + holds,
              "", std::move(fix));
    }
    if (const char* hash = hash_mark(ev.value)) {
      ctx.add(rule_id::hash_in_text, ctx.span_to(hash, end),
              "'#' starts a comment only at the start of a line, so " +
                  std::string(ev.name) + " keeps it and what follows" + holds);
    }
  }
};

}  // namespace

std::unique_ptr<rule_family> text_rules() { return std::make_unique<texts>(); }

}  // namespace quorlen_tool
