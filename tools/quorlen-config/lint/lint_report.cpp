#include "lint/lint_report.h"

#include "input/diagnostics.h"
#include "input/myers.h"
#include "input/source_map.h"

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

void json_fix(json_writer& out, const source_map& map, const finding& f) {
  if (f.fix.empty()) {
    out.null();
    return;
  }
  out.begin_array();
  for (const edit& e : f.fix) {
    const auto [line, column] = place_of(map, e.begin);
    const auto [end_line, end_column] = place_of(map, e.end);
    out.begin_object();
    out.key("line").value(line);
    out.key("column").value(column);
    out.key("end_line").value(end_line);
    out.key("end_column").value(end_column);
    out.key("text").value(e.text);
    out.end_object();
  }
  out.end_array();
}

// A text's lines, each with its line end.
std::vector<std::string_view> lines_of(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t newline = text.find('\n', at);
    const std::size_t end =
        newline == std::string_view::npos ? text.size() : newline + 1;
    lines.push_back(text.substr(at, end - at));
    at = end;
  }
  return lines;
}

// One line of a hunk: its mark, its text escaped, its own line end.
std::string diff_line(char mark, std::string_view line) {
  std::size_t body = line.size();
  if (body > 0 && line[body - 1] == '\n') --body;
  if (body > 0 && line[body - 1] == '\r') --body;
  std::string out = mark + escape_controls(line.substr(0, body));
  out.append(line.substr(body));
  if (line.empty() || line.back() != '\n') {
    out += "\n\\ No newline at end of file\n";
  }
  return out;
}

}  // namespace

std::pair<int, int> place_of(const source_map& map, std::size_t offset) {
  const int piece = map.library_line_at(offset);
  if (piece > map.pieces()) return {map.lines() + 1, 1};
  const int line = map.editor_line(piece);
  return {line, static_cast<int>(offset - map.line_offset(line)) + 1};
}

std::string gcc_report(const std::string& shown_path, const source_map& map,
                       const std::vector<finding>& findings, bool color,
                       std::vector<bool>* noted) {
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
    std::string_view line = map.line_text(f.line);
    // Of bytes that are no text, the first few tell what they are; the
    // rest of the "line" is noise.
    constexpr std::size_t NOT_TEXT_SHOWN = 16;
    if (f.code == rule_of(rule_id::not_text).code) {
      line = line.substr(0, NOT_TEXT_SHOWN);
    }
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
    const rule* r = find_rule(f.code);
    if (noted != nullptr && r != nullptr) {
      std::vector<bool>::reference seen =
          (*noted)[static_cast<std::size_t>(r->id)];
      if (!seen) {
        seen = true;
        out += paint(BOLD, shown_path + ":" + std::to_string(f.line) + ":" +
                               std::to_string(f.column) + ":") +
               " " + paint(level_colour(level::info), "note:") +
               " 'quorlen-config explain " + f.code +
               "' tells what it means and how to mend it\n";
      }
    }
  }
  return out;
}

void json_report(json_writer& out, const std::string& shown_path,
                 const source_map& map, const std::vector<finding>& findings) {
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
    out.key("fix");
    json_fix(out, map, f);
    out.end_object();
  }
}

std::string unified_diff(const std::string& shown_path,
                         const std::string& before, const std::string& after) {
  const std::vector<std::string_view> a = lines_of(before), b = lines_of(after);
  // The script as (line in a, line in b, mark): ' ' both, '-' a, '+' b.
  struct step {
    std::size_t i, j;
    char mark;
  };
  std::vector<step> script;
  std::size_t i = 0, j = 0;
  const auto changes_to = [&](std::size_t x, std::size_t y) {
    for (; i < x; ++i) script.push_back({i, j, '-'});
    for (; j < y; ++j) script.push_back({i, j, '+'});
  };
  common_runs runs(
      a.size(), b.size(),
      [&](std::size_t x, std::size_t y) { return a[x] == b[y]; },
      [&](std::size_t x, std::size_t y, std::size_t length) {
        changes_to(x, y);
        for (; i < x + length; ++i, ++j) script.push_back({i, j, ' '});
      });
  changes_to(a.size(), b.size());
  constexpr std::size_t CONTEXT = 3;
  std::string out;
  for (std::size_t k = 0; k < script.size();) {
    if (script[k].mark == ' ') {
      ++k;
      continue;
    }
    // A hunk: from three lines before this change to three after the last
    // change that lies within six lines of the one before it.
    std::size_t first = k >= CONTEXT ? k - CONTEXT : 0, last = k;
    for (std::size_t n = k; n < script.size() && n <= last + 2 * CONTEXT + 1;
         ++n) {
      if (script[n].mark != ' ') last = n;
    }
    const std::size_t end = std::min(script.size(), last + CONTEXT + 1);
    std::size_t old_count = 0, new_count = 0;
    std::string body;
    for (std::size_t n = first; n < end; ++n) {
      const step& s = script[n];
      old_count += s.mark != '+';
      new_count += s.mark != '-';
      body += diff_line(s.mark, s.mark == '+' ? b[s.j] : a[s.i]);
    }
    // A side with no lines in the hunk is numbered by the line before it.
    const std::size_t old_start = script[first].i + (old_count > 0 ? 1 : 0);
    const std::size_t new_start = script[first].j + (new_count > 0 ? 1 : 0);
    out += "@@ -" + std::to_string(old_start) + "," +
           std::to_string(old_count) + " +" + std::to_string(new_start) + "," +
           std::to_string(new_count) + " @@\n" + body;
    k = end;
  }
  if (out.empty()) return out;
  const std::string path = escape_text(shown_path);
  return "--- a/" + path + "\n+++ b/" + path + "\n" + out;
}

}  // namespace quorlen_tool
