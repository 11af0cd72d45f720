// Quick fixes: the lint's own fixes, and a comment that silences a code on
// one line, written as the lint reads it.
#include <climits>
#include <optional>
#include <set>
#include <utility>

#include "input/diagnostics.h"
#include "input/source_map.h"
#include "lsp/handlers.h"
#include "lsp/walk.h"
#include "quorlen_core.h"

namespace quorlen_lsp {
namespace {

using quorlen::line_kind;
using quorlen_tool::is_blank;

constexpr char DIRECTIVE[] = "quorlen-config:";
constexpr char DISABLE[] = "disable=";

std::string shown(std::string_view text) {
  constexpr std::size_t MAX = 40;
  std::string out = quorlen_tool::escape_text(text.substr(0, MAX));
  if (text.size() > MAX) out += "...";
  return "'" + out + "'";
}

// Where codes may be added to a line that is already a disable comment,
// or npos.
std::size_t codes_end(std::string_view line) {
  std::size_t i = 0;
  const auto skip_blanks = [&] {
    while (i < line.size() && is_blank(line[i])) ++i;
  };
  skip_blanks();
  if (!quorlen::starts_comment(line.substr(i))) {
    return std::string_view::npos;
  }
  // Past the mark: ';', '#' or "//".
  i += line[i] == '/' ? std::size_t{2} : std::size_t{1};
  skip_blanks();
  for (std::string_view word : {DIRECTIVE, DISABLE}) {
    if (line.substr(i, word.size()) != word) return std::string_view::npos;
    i += word.size();
    skip_blanks();
  }
  while (i < line.size() && !is_blank(line[i])) ++i;
  return i;
}

// What the engine made of each library line, and where the first section
// header stands: a disable comment before it counts for the whole file.
class line_kinds : public record_watch {
 public:
  void line(const quorlen::line_facts& facts) override {
    kinds.push_back(facts.kind);
    if (facts.kind == line_kind::section_header && first_header == 0) {
      first_header = facts.number;
    }
  }
  std::vector<line_kind> kinds;
  int first_header = 0;
};

json workspace_edit(const std::string& uri, json edits) {
  return {{"changes", {{uri, std::move(edits)}}}};
}

}  // namespace

json fix_action(const text_map& map, std::string_view text,
                const quorlen_tool::finding& f, const std::string& uri,
                encoding e) {
  if (f.fix.empty()) return nullptr;
  json edits = json::array();
  for (const quorlen_tool::edit& change : f.fix) {
    if (change.begin > change.end || change.end > text.size()) return nullptr;
    edits.push_back({{"range", range_json(map, change.begin, change.end, e)},
                     {"newText", change.text}});
  }
  std::string title;
  if (f.fix.size() == 1) {
    const quorlen_tool::edit& only = f.fix[0];
    const std::string_view old = text.substr(only.begin, only.end - only.begin);
    title = old.empty() ? "Insert " + shown(only.text)
            : only.text.empty()
                ? "Delete " + shown(old)
                : "Replace " + shown(old) + " with " + shown(only.text);
  } else {
    title = "Fix " + f.code + " (" + std::to_string(f.fix.size()) + " edits)";
  }
  return {{"title", title},
          {"kind", "quickfix"},
          {"isPreferred", true},
          {"diagnostics", json::array({diagnostic(map, text, f, uri, e)})},
          {"edit", workspace_edit(uri, std::move(edits))}};
}

namespace {

// Whether the client asks for quick fixes (all kinds, when it names none).
bool quick_fixes_wanted(const json& context) {
  if (!context.contains("only")) return true;
  bool wanted = false;
  for (const json& kind : context.at("only")) {
    const std::string k = kind.get<std::string>();  // each must be a kind
    wanted = wanted || k == "quickfix" || k.empty();
  }
  return wanted;
}

// "Disable Qnnn on this line": the code added to a disable comment just
// above, or a new comment line; null where a comment cannot stand.
json disable_action(const std::string& text, const text_map& map,
                    const quorlen_tool::source_map& pieces,
                    const line_kinds& kinds, const quorlen_tool::finding& f,
                    const std::string& uri, encoding units) {
  // The library line where the finding's line starts, from 0.
  if (f.line > pieces.lines()) return nullptr;
  const auto first = static_cast<std::size_t>(pieces.library_line(f.line) - 1);
  if (first >= kinds.kinds.size()) return nullptr;
  const line_kind kind = kinds.kinds[first];
  // A comment put inside a code block would become part of the code.
  if (kind == line_kind::block_text || kind == line_kind::block_end ||
      kind == line_kind::block_broken_off) {
    return nullptr;
  }
  const bool whole_file = kinds.first_header == 0 ||
                          static_cast<int>(first) + 1 <= kinds.first_header;
  std::size_t line_start = map.lint_offset(f.line, 1);
  // Line 1's byte-order mark must stay first, or it becomes text.
  if (f.line == 1 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) line_start = 3;
  json edit;
  const std::size_t above_start =
      f.line > 1 ? map.lint_offset(f.line - 1, 1) : line_start;
  const std::string_view above(
      text.data() + above_start,
      line_start > above_start ? line_start - above_start - 1 : 0);
  const std::size_t end = codes_end(above);
  if (f.line > 1 && first > 0 && kinds.kinds[first - 1] == line_kind::comment &&
      end != std::string_view::npos) {
    const std::size_t at = above_start + end;
    edit = {{"range", range_json(map, at, at, units)},
            {"newText", "," + f.code}};
  } else {
    const bool crlf =
        text.compare(map.lint_offset(f.line, INT_MAX), 2, "\r\n") == 0;
    edit = {{"range", range_json(map, line_start, line_start, units)},
            {"newText", std::string("; ") + DIRECTIVE + " " + DISABLE + f.code +
                            (crlf ? "\r\n" : "\n")}};
  }
  return {{"title", "Disable " + f.code +
                        (whole_file ? " in this file (a comment before the "
                                      "first section header)"
                                    : " on this line")},
          {"kind", "quickfix"},
          {"diagnostics", json::array({diagnostic(map, text, f, uri, units)})},
          {"edit", workspace_edit(uri, json::array({edit}))}};
}

}  // namespace

json code_actions(document& doc, const json& params,
                  const client_info& client) {
  const std::string uri =
      params.at("textDocument").at("uri").get<std::string>();
  if (!quick_fixes_wanted(params.value("context", json::object()))) {
    return json::array();
  }
  const encoding units = client.units;
  const text_map map(doc.text);
  const json& range = params.at("range");
  // Findings on the lines the range covers: the cursor need not stand on
  // the finding's word.
  const std::size_t from =
      map.line_of(map.offset(position_from(range.at("start")), units));
  const std::size_t to =
      map.line_of(map.offset(position_from(range.at("end")), units));
  const std::vector<quorlen_tool::finding>& found = fixed_findings_of(doc);

  json fixes = json::array();
  json disables = json::array();
  std::set<std::pair<int, std::string>> offered;
  std::optional<quorlen_tool::source_map> pieces;
  line_kinds kinds;
  for (const quorlen_tool::finding& f : found) {
    const span s = span_of(map, doc.text, f);
    if (map.line_of(s.begin) > to || map.line_of(s.end) < from) continue;
    json fix = fix_action(map, doc.text, f, uri, units);
    if (!fix.is_null()) fixes.push_back(std::move(fix));
    if (!offered.insert({f.line, f.code}).second) continue;
    if (!pieces) {
      pieces.emplace(doc.text);
      watch_parse(doc.text, kinds);
    }
    json disable = disable_action(doc.text, map, *pieces, kinds, f, uri, units);
    if (!disable.is_null()) disables.push_back(std::move(disable));
  }
  for (json& d : disables) fixes.push_back(std::move(d));
  return fixes;
}

}  // namespace quorlen_lsp
