// The lint's findings as the editor's diagnostics.
#include <cstring>

#ifndef QUORLEN_LINT_CODES_URL
#define QUORLEN_LINT_CODES_URL \
  "file:///usr/share/doc/quorlen-config/lint-codes.md"
#endif

#include "input/diagnostics.h"
#include "lsp/handlers.h"

namespace quorlen_lsp {
namespace {

using quorlen_tool::is_blank;

// An editor shows a few thousand marks at most to any use; a 50 MB file of
// junk would otherwise send millions.
constexpr std::size_t MAX_DIAGNOSTICS = 1000;

int severity(quorlen_tool::level l) {
  switch (l) {
  case quorlen_tool::level::error: return 1;
  case quorlen_tool::level::warning: return 2;
  case quorlen_tool::level::info: return 3;
  }
  return 2;
}

// The findings whose message names another line ("at line N"), and what
// that line is to them.
const char* related_role(const std::string& code) {
  if (code == "Q901") return "first set here";
  if (code == "Q805") return "the control that has this name first";
  if (code == "Q702") return "the code block it replaces";
  if (code == "Q004" || code == "Q005" || code == "Q006") {
    return "the code block opens here";
  }
  return nullptr;
}

// The last "at line N" of a message: text quoted from the file comes
// before it.
int named_line(const std::string& message) {
  static constexpr char MARK[] = "at line ";
  const std::size_t at = message.rfind(MARK);
  if (at == std::string::npos) return 0;
  int line = 0;
  for (std::size_t i = at + std::strlen(MARK);
       i < message.size() && message[i] >= '0' && message[i] <= '9'; ++i) {
    if (line > 100000000) return 0;
    line = line * 10 + (message[i] - '0');
  }
  return line;
}

constexpr int UNNECESSARY_TAG = 1;  // DiagnosticTag.Unnecessary

struct ignored_rule {
  quorlen_tool::rule_id id;
  const char* why;
};

// The findings on lines the library reads and then ignores: an editor fades
// them, as unused code.
const ignored_rule ignored_rules[] = {
    {quorlen_tool::rule_id::unknown_section, "unknown section"},
    {quorlen_tool::rule_id::unknown_key, "unknown key"},
    {quorlen_tool::rule_id::pair_before_header,
     "before the first section header"},
    {quorlen_tool::rule_id::block_elsewhere, "code block not in a control"},
    {quorlen_tool::rule_id::size_count, "SIZE needs exactly two values"},
    {quorlen_tool::rule_id::format_count, "FORMAT needs one or two values"},
};

int rank(quorlen_tool::level l) { return static_cast<int>(l); }

}  // namespace

const char* ignored_because(const std::string& code) {
  for (const ignored_rule& r : ignored_rules) {
    if (code == quorlen_tool::lint_rules[static_cast<std::size_t>(r.id)].code) {
      return r.why;
    }
  }
  return nullptr;
}

// The page that explains a code.  For now the table of docs/lint-codes.md,
// installed with the tool; a page of its own for each code (the explain
// command's) would be named here.
// The page gives each code a heading of its own ("### Q305"), whose anchor
// a Markdown viewer names by the heading in lower case.
std::string code_link(const std::string& code) {
  std::string anchor = code;
  for (char& c : anchor) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return std::string(QUORLEN_LINT_CODES_URL) + "#" + anchor;
}

span span_of(const text_map& map, std::string_view text,
             const quorlen_tool::finding& f) {
  const std::size_t begin = map.lint_offset(f.line, f.column);
  if (f.end_line > 0) {
    const std::size_t end = map.lint_offset(f.end_line, f.end_column);
    return {begin, end > begin ? end : begin};
  }
  std::size_t line_end = text.find('\n', begin);
  if (line_end == std::string_view::npos) line_end = text.size();
  if (line_end > begin && text[line_end - 1] == '\r') --line_end;
  std::size_t end = begin;
  if (begin < line_end && text[begin] == '[') {
    const std::size_t close = text.substr(0, line_end).find(']', begin);
    end = close == std::string_view::npos ? line_end : close + 1;
  } else {
    while (end < line_end && !is_blank(text[end]) &&
           std::strchr(",;=:", text[end]) == nullptr) {
      ++end;
    }
  }
  if (end == begin && text.compare(begin, 6, "======") == 0) {
    while (end < line_end && !is_blank(text[end])) ++end;  // a block marker
  }
  if (end == begin && begin < line_end) {
    // A mark such as ';': the one character.
    std::uint32_t code;
    const std::size_t length = quorlen_tool::utf8_sequence(text, begin, &code);
    end = begin + (length == 0 ? 1 : length);
  }
  return {begin, end};
}

json diagnostic(const text_map& map, std::string_view text,
                const quorlen_tool::finding& f, const std::string& uri,
                encoding e) {
  const span s = span_of(map, text, f);
  std::string message = f.message;
  if (!f.suggestion.empty()) message += "; " + f.suggestion;
  json d = {{"range", range_json(map, s.begin, s.end, e)},
            {"severity", severity(f.severity)},
            {"code", f.code},
            {"codeDescription", {{"href", code_link(f.code)}}},
            {"source", "quorlen-config"},
            {"message", message}};
  if (ignored_because(f.code) != nullptr) {
    d["tags"] = json::array({UNNECESSARY_TAG});
  }
  const char* role = related_role(f.code);
  const int line = role != nullptr ? named_line(f.message) : 0;
  if (line > 0) {
    const std::size_t start = map.lint_offset(line, 1);
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start && text[end - 1] == '\r') --end;
    d["relatedInformation"] = json::array(
        {{{"location",
           {{"uri", uri}, {"range", range_json(map, start, end, e)}}},
          {"message", role}}});
  }
  return d;
}

json publish_params(const std::string& uri, document& doc,
                    const client_info& client) {
  const encoding e = client.units;
  const std::vector<quorlen_tool::finding>& found = findings_of(doc);
  const text_map map(doc.text);
  json list = json::array();
  // The binding_error names the binding's file and why, never its text.
  std::size_t first_end = doc.text.find('\n');
  if (first_end == std::string::npos) first_end = doc.text.size();
  if (first_end > 0 && doc.text[first_end - 1] == '\r') --first_end;
  for (const std::string& why : doc.bindings.unread) {
    list.push_back({{"range", range_json(map, 0, first_end, e)},
                    {"severity", 1},
                    {"source", "quorlen-config"},
                    {"message", "binding not applied: " + why}});
  }
  std::size_t shown = 0, left = 0;
  const quorlen_tool::finding* next = nullptr;
  for (const quorlen_tool::finding& f : found) {
    if (rank(f.severity) < rank(client.settings.severity)) continue;
    if (shown == MAX_DIAGNOSTICS) {
      if (next == nullptr) next = &f;
      ++left;
      continue;
    }
    list.push_back(diagnostic(map, doc.text, f, uri, e));
    ++shown;
  }
  if (next != nullptr) {
    const std::size_t at = map.lint_offset(next->line, next->column);
    list.push_back(
        {{"range", range_json(map, at, at, e)},
         {"severity", 3},
         {"source", "quorlen-config"},
         {"message", std::to_string(left) +
                         " more findings from here on are not shown; "
                         "quorlen-config lint lists them all"}});
  }
  return {{"uri", uri}, {"version", doc.version}, {"diagnostics", list}};
}

}  // namespace quorlen_lsp
