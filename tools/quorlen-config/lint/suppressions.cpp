#include "lint/suppressions.h"

#include "input/diagnostics.h"

namespace quorlen_tool {

namespace {

void skip_blanks(std::string_view& text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
}

}  // namespace

std::optional<std::string_view> tool_words(std::string_view comment) {
  constexpr std::string_view TOOL = "quorlen-config:";
  comment.remove_prefix(comment.rfind("//", 0) == 0 ? 2 : 1);
  skip_blanks(comment);
  if (comment.substr(0, TOOL.size()) != TOOL) return std::nullopt;
  comment.remove_prefix(TOOL.size());
  skip_blanks(comment);
  return comment;
}

void suppressions::comment(lint_context& ctx) {
  constexpr std::string_view DISABLE = "disable=";
  const std::string_view line = ctx.piece_text(ctx.start_offset());
  std::optional<std::string_view> words = tool_words(line);
  if (!words || words->substr(0, DISABLE.size()) != DISABLE) return;
  std::string_view text = words->substr(DISABLE.size());
  skip_blanks(text);
  const int here = ctx.at(ctx.facts.start).line;
  std::set<std::string>& codes = ctx.seen_header ? lines_[here + 1] : file_;
  const auto take = [&](std::string_view code) {
    if (code.empty()) return;
    if (find_rule(std::string(code)) == nullptr) {
      const auto offset = static_cast<std::size_t>(code.data() - line.data());
      ctx.add(rule_id::unknown_disabled_code,
              ctx.span_at(ctx.facts.start + offset, code.size()),
              in_quotes(code) +
                  " is no lint code, so the comment silences "
                  "nothing for it");
    }
    codes.emplace(code);
  };
  std::size_t length = 0;
  while (length < text.size() && !is_blank(text[length])) ++length;
  text = text.substr(0, length);
  for (std::size_t comma; (comma = text.find(',')) != std::string_view::npos;) {
    take(text.substr(0, comma));
    text.remove_prefix(comma + 1);
  }
  take(text);
}

bool suppressions::silenced(const finding& f) const {
  if (file_.count(f.code) != 0) return true;
  auto it = lines_.find(f.line);
  return it != lines_.end() && it->second.count(f.code) != 0;
}

}  // namespace quorlen_tool
