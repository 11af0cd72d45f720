// Inlay hints: at the end of a line the lint has a finding on, what the
// record holds where that differs from what the line says (BIT_WIDTH = 300
// holds 44), or that the library ignores the line.
#include <climits>
#include <map>
#include <set>
#include <string>

#include "input/source_map.h"
#include "lsp/handlers.h"
#include "lsp/hover_values.h"
#include "lsp/walk.h"
#include "quorlen_core.h"

namespace quorlen_lsp {
namespace {

using quorlen::field;
using quorlen::field_kind;
using quorlen_tool::rule_id;

enum class shows {
  stored,        // the value the record holds for the line's key
  text_room,     // that a text was cut to its member's room
  section_room,  // that a section name was cut to the library's room
  value_room,    // that a list was cut to the values an entry keeps
};

struct hint_rule {
  rule_id id;
  shows what;
};

// After the lines the library ignores (ignored_because), a line with
// findings of several of these shows the first that applies.
const hint_rule hint_rules[] = {
    {rule_id::section_cut, shows::section_room},
    {rule_id::text_cut, shows::text_room},
    {rule_id::cut_to_field, shows::stored},
    {rule_id::beyond_range, shows::stored},
    {rule_id::text_after_number, shows::stored},
    {rule_id::no_number, shows::stored},
    {rule_id::sign_before_hex, shows::stored},
    {rule_id::too_many_values, shows::value_room},
    {rule_id::unspaced_comment_mark, shows::stored},
    {rule_id::hash_in_text, shows::stored},
};

const char* code_of(rule_id id) {
  return quorlen_tool::lint_rules[static_cast<std::size_t>(id)].code;
}

std::string cut_words(std::size_t room) {
  return "cut to " + std::to_string(room) + " characters";
}

// What one pair stored: its row's value, or the register entry it added.
struct stored_value {
  const field* row = nullptr;
  std::string text;
  bool entry = false;
};

std::string shown(const field& f, const void* holder) {
  using namespace hover_values;
  if (f.kind == field_kind::text) {
    return in_quotes(static_cast<const char*>(quorlen::member_of(holder, f)));
  }
  const std::int64_t v = quorlen::field_number(holder, f);
  if (f.kind == field_kind::pair_first) {
    return std::to_string(v) + ", " +
           std::to_string(quorlen::field_number(holder, (&f)[1]));
  }
  return f.hex && v >= 0
             ? hex(static_cast<std::uint64_t>(v), static_cast<int>(f.size * 2))
             : std::to_string(v);
}

// The values the wanted lines stored, by the lint's line.
class value_watch : public record_watch {
 public:
  value_watch(const quorlen_tool::source_map& pieces, const std::set<int>& want)
      : pieces_(pieces), want_(want) {}

  void event(const event_view& e) override {
    if (e.name == nullptr || e.value == nullptr) return;
    const int line = pieces_.editor_line(e.line);
    if (want_.count(line) == 0) return;
    stored_value v;
    const std::uint32_t family = quorlen::section_family(e.code);
    if (e.after.entry_count != e.before.entry_count &&
        e.after.entry_count > 0) {
      v.entry = true;
      v.text =
          hover_values::values_hex(e.after.entries[e.after.entry_count - 1]);
    } else if (family == quorlen::CAMERA_SECTION && e.code != 0) {
      v.row = quorlen::find_field(family, e.name);
      if (v.row != nullptr) v.text = shown(*v.row, &e.after);
    } else if (family == quorlen::CONTROL_SECTION &&
               e.control_before != nullptr && e.after.control_count > 0) {
      v.row = quorlen::find_field(family, e.name);
      if (v.row != nullptr) {
        v.text = shown(*v.row, &e.after.controls[e.after.control_count - 1]);
      }
    }
    if (v.entry || v.row != nullptr) values[line] = std::move(v);
  }

  std::map<int, stored_value> values;

 private:
  const quorlen_tool::source_map& pieces_;
  const std::set<int>& want_;
};

// The words of a line's hint, from its first finding that has one.
std::string hint_words(const std::vector<const quorlen_tool::finding*>& found,
                       const stored_value* value) {
  for (const quorlen_tool::finding* f : found) {
    if (const char* why = ignored_because(f->code)) {
      return std::string("ignored: ") + why;
    }
  }
  for (const hint_rule& r : hint_rules) {
    for (const quorlen_tool::finding* f : found) {
      if (f->code != code_of(r.id)) continue;
      switch (r.what) {
      case shows::section_room: return cut_words(quorlen::MAX_SECTION - 1);
      case shows::value_room:
        return "the first " + std::to_string(QUORLEN_MAX_VALUES) +
               " values kept";
      case shows::text_room:
        if (value != nullptr && value->row != nullptr) {
          return cut_words(value->row->size - 1);
        }
        break;
      case shows::stored:
        if (value != nullptr) return value->text;
        break;
      }
    }
  }
  return "";
}

}  // namespace

json inlay_hints(document& doc, const json& params, const client_info& client) {
  if (!client.settings.inlay_hints) return json::array();
  const text_map map(doc.text);
  const json& range = params.at("range");
  const std::size_t from =
      map.offset(position_from(range.at("start")), client.units);
  const std::size_t to =
      map.offset(position_from(range.at("end")), client.units);
  // The findings of the lines asked for, by line.
  std::map<int, std::vector<const quorlen_tool::finding*>> by_line;
  std::set<int> want;
  // The range's end is past what it holds: a line it ends at the start of
  // is not asked for.
  const std::size_t first = map.line_start(map.line_of(from));
  for (const quorlen_tool::finding& f : findings_of(doc)) {
    const std::size_t at = map.lint_offset(f.line, 1);
    if (at < first || (at >= to && at > first)) continue;
    by_line[f.line].push_back(&f);
    want.insert(f.line);
  }
  json hints = json::array();
  if (by_line.empty()) return hints;
  const quorlen_tool::source_map pieces(doc.text);
  value_watch values(pieces, want);
  watch_parse(doc.text, values);
  for (const auto& [line, found] : by_line) {
    const auto v = values.values.find(line);
    const std::string words =
        hint_words(found, v == values.values.end() ? nullptr : &v->second);
    if (words.empty()) continue;
    const std::size_t end = map.lint_offset(line, INT_MAX);
    hints.push_back({{"position", position_json(map.at(end, client.units))},
                     {"label", "\u21d2 " + words},
                     {"paddingLeft", true}});
  }
  return hints;
}

}  // namespace quorlen_lsp
