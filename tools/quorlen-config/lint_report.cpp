#include "lint_report.h"

#include <string_view>

#include "diagnostics.h"

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

// The file's lines, without their line ends (and a CR before one).
std::vector<std::string_view> lines_of(const std::string& bytes) {
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start <= bytes.size();) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string_view line(bytes.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

}  // namespace

std::string gcc_report(const std::string& path, const std::string& bytes,
                       const std::vector<finding>& findings, bool color) {
  const auto paint = [&](const char* colour, const std::string& text) {
    return color ? colour + text + RESET : text;
  };
  const std::string shown_path = escape_text(path);
  const std::vector<std::string_view> lines = lines_of(bytes);
  std::string out;
  for (const finding& f : findings) {
    std::string message = f.message;
    if (!f.suggestion.empty()) message += "; " + f.suggestion;
    out += paint(BOLD, shown_path + ":" + std::to_string(f.line) + ":" +
                           std::to_string(f.column) + ":") +
           " " +
           paint(level_colour(f.severity),
                 std::string(level_name(f.severity)) + ":") +
           " " + message + " [" + paint(level_colour(f.severity), f.code) +
           "]\n";
    const std::size_t index = static_cast<std::size_t>(f.line - 1);
    const std::string_view line = index < lines.size() ? lines[index] : "";
    const std::string number = std::to_string(f.line);
    const std::string gutter(number.size() < 5 ? 5 - number.size() : 0, ' ');
    out += gutter + number + " | " + escape_text(line, true) + "\n";
    out += gutter + std::string(number.size(), ' ') + " | " +
           caret_padding(line, static_cast<std::size_t>(f.column - 1)) +
           paint(GREEN, "^") + "\n";
  }
  return out;
}

void json_report(nlohmann::ordered_json& findings_array,
                 const std::string& path,
                 const std::vector<finding>& findings) {
  for (const finding& f : findings) {
    findings_array.push_back({
        {"file", escape_text(path)},
        {"line", f.line},
        {"column", f.column},
        {"level", level_name(f.severity)},
        {"code", f.code},
        {"message", f.message},
        {"suggestion", f.suggestion.empty()
                           ? nlohmann::ordered_json(nullptr)
                           : nlohmann::ordered_json(f.suggestion)},
    });
  }
}

}  // namespace quorlen_tool
