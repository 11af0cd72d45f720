#include "lint_report.h"

#include "diagnostics.h"
#include "source_map.h"

namespace quorlen_tool {
namespace {

// The colours compilers use.
constexpr const char* BOLD = "\033[1m";
constexpr const char* RESET = "\033[0m";
constexpr const char* GREEN = "\033[1;32m";

const char* level_colour(level l) {
  switch (l) {
  case level::error: return "\033[1;31m";
  case level::warning: return "\033[1;35m";
  case level::info: return "\033[1;36m";
  }
  return BOLD;
}

}  // namespace

std::string gcc_report(const std::string& shown_path, const source_map& map,
                       const std::vector<finding>& findings, bool color) {
  const auto paint = [&](const char* colour, const std::string& text) {
    return color ? colour + text + RESET : text;
  };
  std::string out;
  for (const finding& f : findings) {
    std::string message = f.message;
    if (!f.suggestion.empty()) message += "; " + f.suggestion;
    const char* colour = level_colour(f.severity);
    out += paint(BOLD, shown_path + ":" + std::to_string(f.line) + ":" +
                           std::to_string(f.column) + ":") +
           " " + paint(colour, std::string(level_name(f.severity)) + ":") +
           " " + message + " [" + paint(colour, f.code) + "]\n";
    const std::string_view line = map.line_text(f.line);
    const std::string number = std::to_string(f.line);
    const std::string gutter(number.size() < 5 ? 5 - number.size() : 0, ' ');
    const auto begin = static_cast<std::size_t>(f.column - 1);
    const std::size_t end = f.end_line == f.line && f.end_column > f.column
                                ? static_cast<std::size_t>(f.end_column - 1)
                                : begin + 1;
    out += gutter + number + " | " + escape_text(line, true) + "\n";
    out += gutter + std::string(number.size(), ' ') + " | " +
           caret_padding(line, begin) +
           paint(GREEN, caret_marks(line, begin, end)) + "\n";
  }
  return out;
}

void json_report(json_writer& out, const std::string& shown_path,
                 const std::vector<finding>& findings) {
  for (const finding& f : findings) {
    out.begin_object();
    out.key("file").value(shown_path);
    out.key("line").value(f.line);
    out.key("column").value(f.column);
    out.key("end_line").value(f.end_line);
    out.key("end_column").value(f.end_column);
    out.key("level").value(level_name(f.severity));
    out.key("code").value(f.code);
    out.key("message").value(f.message);
    out.key("suggestion");
    if (f.suggestion.empty()) {
      out.null();
    } else {
      out.value(f.suggestion);
    }
    out.end_object();
  }
}

}  // namespace quorlen_tool
