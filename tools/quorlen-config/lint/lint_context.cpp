#include "lint/lint_context.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "quorlen_core.h"

namespace quorlen_tool {

namespace {

std::size_t offset_of(const quorlen::line_facts& facts, const char* p) {
  const auto base = reinterpret_cast<std::uintptr_t>(facts.buffer);
  const auto at = reinterpret_cast<std::uintptr_t>(p);
  if (at >= base && at < base + quorlen::MAX_LINE) return at - base;
  return static_cast<std::size_t>(facts.start - facts.buffer);
}

// Edit distance, for suggesting the nearest known name.
std::size_t distance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1,
                         diagonal + (a[i - 1] == b[j - 1] ? 0u : 1u)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

position lint_context::at(const char* p) const {
  const source_map::piece piece = map.piece_at(facts.number);
  return {piece.line,
          static_cast<int>(piece.column0 + offset_of(facts, p) + 1)};
}

std::size_t lint_context::file_offset(const char* p) const {
  return map.piece_at(facts.number).offset + offset_of(facts, p);
}

bool lint_context::fixable(std::ptrdiff_t growth) const {
  const source_map::piece piece = map.piece_at(facts.number);
  const auto size = static_cast<std::ptrdiff_t>(map.line_size(piece.line));
  const auto room = static_cast<std::ptrdiff_t>(LINE_ROOM);
  return piece.column0 == 0 && size <= room && size + growth <= room;
}

span lint_context::span_at(const char* p, std::size_t length) const {
  const position begin = at(p);
  return {begin,
          begin.column + static_cast<int>(std::max<std::size_t>(length, 1))};
}

span lint_context::span_to(const char* from, const char* to) const {
  return span_at(from, to > from ? static_cast<std::size_t>(to - from) : 1);
}

span lint_context::line_span() const {
  std::string_view text = piece_text(start_offset());
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return span_at(facts.start, text.size());
}

span lint_context::name_span(const char* name) const {
  if (facts.kind == quorlen::line_kind::continuation) return line_span();
  return span_at(name, std::strlen(name));
}

std::string_view lint_context::piece_text(std::size_t from) const {
  const source_map::piece piece = map.piece_at(facts.number);
  const std::string_view line = map.line_text(piece.line);
  const std::size_t begin = piece.column0 + from;
  if (begin >= line.size() || from >= LINE_ROOM) return {};
  return line.substr(begin, LINE_ROOM - from);
}

void lint_context::add(rule_id id, span where, std::string message,
                       std::string suggestion, std::vector<edit> fix) {
  const rule& r = rule_of(id);
  finding f;
  f.line = where.begin.line;
  f.column = where.begin.column;
  f.severity = r.severity;
  f.code = r.code;
  f.message = std::move(message);
  f.suggestion = std::move(suggestion);
  f.end_line = where.begin.line;
  f.end_column = std::max(where.end_column, where.begin.column + 1);
  f.fix = std::move(fix);
  findings.push_back(std::move(f));
}

void lint_context::explain(int first_line, int last_line, unsigned reach) {
  explained.push_back({first_line, last_line, reach});
}

bool holds_back(unsigned reach, rule_id id) {
  const bool about_keys =
      (id >= rule_id::unknown_key && id <= rule_id::hash_in_text) ||
      id == rule_id::camera_key_again || id == rule_id::control_key_again;
  const bool about_lines =
      id == rule_id::no_separator || id == rule_id::refused_line ||
      id == rule_id::indented_after_header || id == rule_id::indented_key ||
      id == rule_id::indented_block_marker || id == rule_id::stray_block_end;
  const bool about_section =
      id == rule_id::block_elsewhere || id == rule_id::second_block ||
      (id >= rule_id::min_above_max && id <= rule_id::no_ctrl_name);
  const bool about_block_end =
      id == rule_id::block_unterminated || id == rule_id::block_broken_off;
  return ((reach & held::keys) != 0 && about_keys) ||
         ((reach & held::lines) != 0 && about_lines) ||
         ((reach & held::section) != 0 && about_section) ||
         ((reach & held::block_end) != 0 && about_block_end);
}

bool lint_context::known_key(std::uint32_t code, const char* name) {
  if (code == quorlen::CAMERA_SECTION || code == quorlen::CONTROL_SECTION) {
    return quorlen::find_field(code, name) != nullptr;
  }
  return code != 0 && quorlen::code_of(quorlen::register_key_codes, name) != 0;
}

std::string lines_text(int count) {
  return std::to_string(count) + (count == 1 ? " line" : " lines");
}

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string name_on_its_own(const char* text) {
  // A line holds at most MAX_LINE - 1 characters, and nothing may throw
  // inside the engine.
  struct probe {
    char name[quorlen::MAX_LINE] = {};
    static int handle(void* self, const char*, const char* name,
                      const char* value) {
      if (name != nullptr && value != nullptr) {
        auto& found = static_cast<probe*>(self)->name;
        std::snprintf(found, sizeof found, "%s", name);
      }
      return 1;
    }
  } found;
  quorlen::parse_text(text, probe::handle, &found);
  return found.name;
}

std::string section_on_its_own(const char* text) {
  struct probe {
    char section[quorlen::MAX_SECTION] = {};
    bool started = false;
    static int handle(void* self, const char* section, const char* name,
                      const char* value) {
      auto* found = static_cast<probe*>(self);
      if (name == nullptr && value == nullptr && !found->started) {
        found->started = true;
        std::snprintf(found->section, sizeof found->section, "%s", section);
      }
      return 1;
    }
  } found;
  quorlen::parse_text(text, probe::handle, &found);
  return found.section;
}

const char* nearest(const std::vector<const char*>& names,
                    std::string_view name,
                    std::string (*fold)(std::string_view)) {
  const std::string wanted = fold(name);
  const char* best = nullptr;
  std::size_t best_distance = 0;
  bool tied = false;
  for (const char* known_name : names) {
    const std::string known = fold(known_name);
    const std::size_t d = distance(wanted, known);
    const std::size_t allowed = std::max<std::size_t>(1, known.size() / 3);
    if (d > allowed) continue;
    if (best == nullptr || d < best_distance) {
      best = known_name;
      best_distance = d;
      tied = false;
    } else if (d == best_distance) {
      tied = true;
    }
  }
  // Two names as near: either could be meant, so neither is said.
  return tied ? nullptr : best;
}

}  // namespace quorlen_tool
