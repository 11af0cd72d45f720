// Section names after '[', and the keys of the section's family at a
// line's start.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <optional>

#include "binding/binding.h"
#include "input/diagnostics.h"
#include "input/source_map.h"
#include "lsp/handlers.h"
#include "lsp/hover_values.h"
#include "lsp/walk.h"
#include "quorlen_core.h"

namespace quorlen_lsp {
namespace {

using quorlen::line_kind;

constexpr int FIELD_KIND = 5;   // CompletionItemKind.Field
constexpr int MODULE_KIND = 9;  // CompletionItemKind.Module
constexpr int VALUE_KIND = 12;  // CompletionItemKind.Value

using hover_values::code_hex;

bool word_char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
         (c >= '0' && c <= '9') || c == '_';
}

// The section in force at one library line, and what the engine made of
// that line.
class section_at : public record_watch {
 public:
  explicit section_at(int target) : target_(target) {}

  void line(const quorlen::line_facts& facts) override {
    if (facts.number == target_) {
      kind_ = facts.kind;
      code_at_target_ = code_;
    }
  }
  void event(const event_view& e) override {
    if (e.name == nullptr && e.value == nullptr) code_ = e.code;
  }

  // Past the last line, the section the file ends in.
  std::uint32_t code() const { return found() ? code_at_target_ : code_; }
  bool found() const { return kind_.has_value(); }
  line_kind kind() const { return *kind_; }

 private:
  int target_;
  std::uint32_t code_ = 0;
  std::uint32_t code_at_target_ = 0;
  std::optional<line_kind> kind_;
};

json edit(const text_map& map, std::size_t begin, std::size_t end,
          const std::string& text, encoding e) {
  return {{"range", range_json(map, begin, end, e)}, {"newText", text}};
}

json section_items(const text_map& map, std::size_t begin, std::size_t end,
                   bool closed, encoding e) {
  json items = json::array();
  for (const quorlen::code_row* row = quorlen::section_codes;
       row->name != nullptr; ++row) {
    const std::uint32_t family = quorlen::section_family(row->code);
    const char* what = family == quorlen::CAMERA_SECTION ? "camera fields"
                       : family == quorlen::CONTROL_SECTION
                           ? "appends one control"
                           : "each line appends a register entry";
    items.push_back(
        {{"label", row->name},
         {"kind", MODULE_KIND},
         {"detail", code_hex(row->code)},
         {"documentation", std::string(what)},
         {"textEdit", edit(map, begin, end,
                           std::string(row->name) + (closed ? "" : "]"), e)}});
  }
  return items;
}

json key_items(const text_map& map, std::size_t begin, std::size_t end,
               std::uint32_t code, encoding e) {
  json items = json::array();
  const std::uint32_t family = quorlen::section_family(code);
  const auto item = [&](const std::string& key, const std::string& detail,
                        const std::string& summary) {
    items.push_back({{"label", key},
                     {"kind", FIELD_KIND},
                     {"detail", detail},
                     {"documentation", summary},
                     {"textEdit", edit(map, begin, end, key + " = ", e)}});
  };
  if (family == quorlen::CAMERA_SECTION || family == quorlen::CONTROL_SECTION) {
    for (const quorlen::field* f = quorlen::fields; f->key != nullptr; ++f) {
      if (f->family != family || f->kind == quorlen::field_kind::pair_second) {
        continue;
      }
      item(f->key,
           std::string(family == quorlen::CAMERA_SECTION ? "camera_setup."
                                                         : "control_entry.") +
               f->member,
           f->summary);
    }
  } else if (code != 0) {
    for (const quorlen::code_row* row = quorlen::register_key_codes;
         row->name != nullptr; ++row) {
      item(row->name, "entry_type " + code_hex(code | row->code),
           "appends a register entry of up to 16 values");
    }
  }
  return items;
}

// The values the applied bindings allow for a camera or control key, to
// stand from the value's start (after '=' and blanks) to the cursor.
json value_items(document& doc, const text_map& map, std::size_t begin,
                 std::size_t end, bool spaced, std::uint32_t code,
                 const std::string& key, encoding e) {
  json items = json::array();
  const std::uint32_t family = quorlen::section_family(code);
  if (family != quorlen::CAMERA_SECTION && family != quorlen::CONTROL_SECTION) {
    return items;
  }
  const quorlen::field* f = quorlen::find_field(family, key.c_str());
  if (f == nullptr) return items;
  findings_of(doc);  // which bindings applied
  for (const quorlen_tool::binding* b : doc.applied) {
    const quorlen_tool::value_rule rule =
        quorlen_tool::value_rules(*b, family, key.c_str());
    for (const auto& [value, words] : rule.allowed) {
      std::string text;
      if (value.is_number_integer()) {
        text = quorlen_tool::number_text(value.get<std::int64_t>(), f->hex);
      } else if (value.is_string()) {
        text = value.get<std::string>();
      } else {
        continue;  // nothing a line can write
      }
      items.push_back(
          {{"label", text},
           {"kind", VALUE_KIND},
           {"detail", "binding " + quorlen_tool::escape_text(b->name)},
           {"documentation", words},
           {"textEdit", edit(map, begin, end, (spaced ? "" : " ") + text, e)}});
    }
  }
  return items;
}

}  // namespace

json completion(document& doc, const json& params, const client_info& client) {
  const text_map map(doc.text);
  const std::size_t offset =
      map.offset(position_from(params.at("position")), client.units);
  const std::size_t line = map.line_of(offset);
  const std::size_t start = map.line_start(line);
  const std::string_view before(doc.text.data() + start, offset - start);
  std::size_t first = 0;
  while (first < before.size() &&
         (before[first] == ' ' || before[first] == '\t')) {
    ++first;
  }
  const json none = {{"isIncomplete", false}, {"items", json::array()}};
  const std::string_view typed = before.substr(first);
  if (!typed.empty() && typed[0] == '[') {
    if (typed.find(']') != std::string_view::npos) return none;
    const std::string_view rest = map.line_text(line).substr(offset - start);
    return {{"isIncomplete", false},
            {"items", section_items(map, start + first + 1, offset,
                                    rest.find(']') != std::string_view::npos,
                                    client.units)}};
  }
  const std::size_t equals = typed.find('=');
  if (equals != std::string_view::npos) {
    std::size_t key_end = equals;
    while (key_end > 0 &&
           (typed[key_end - 1] == ' ' || typed[key_end - 1] == '\t')) {
      --key_end;
    }
    const std::string_view key = typed.substr(0, key_end);
    std::size_t value = equals + 1;
    while (value < typed.size() &&
           (typed[value] == ' ' || typed[value] == '\t')) {
      ++value;
    }
    const std::string_view written = typed.substr(value);
    if (key.empty() || !std::all_of(key.begin(), key.end(), word_char) ||
        written.find_first_of(",;") != std::string_view::npos) {
      return none;
    }
    const int target =
        quorlen_tool::source_map(doc.text).library_line_at(offset);
    section_at where(target);
    watch_parse(doc.text, where);
    if (where.found() && where.kind() != line_kind::pair) return none;
    return {{"isIncomplete", false},
            {"items", value_items(doc, map, start + first + value, offset,
                                  value > equals + 1, where.code(),
                                  std::string(key), client.units)}};
  }
  if (!std::all_of(typed.begin(), typed.end(), word_char)) return none;
  // A key goes in front of " = ": not before a header or a separator.
  const std::string_view rest = map.line_text(line).substr(offset - start);
  if (!rest.empty() && !word_char(rest[0]) && rest[0] != ' ' &&
      rest[0] != '\t') {
    return none;
  }
  // The library's line of the cursor, counted as the engine reads lines.
  const int target = quorlen_tool::source_map(doc.text).library_line_at(offset);
  section_at where(target);
  watch_parse(doc.text, where);
  if (where.found()) {
    const line_kind kind = where.kind();
    // Inside a code block, or continuing the value above: no key fits.
    if (kind == line_kind::continuation || kind == line_kind::block_text ||
        kind == line_kind::block_end || kind == line_kind::block_start ||
        kind == line_kind::block_broken_off) {
      return none;
    }
  }
  return {{"isIncomplete", false},
          {"items",
           key_items(map, start + first, offset, where.code(), client.units)}};
}

}  // namespace quorlen_lsp
