// Every lint rule: its code, its level and one line saying what it finds.
// Codes never change meaning; the table of docs/lint-codes.md is checked
// against this one.  A rule is named at its call site by its id, so a code
// that does not exist cannot be written there.
#ifndef QUORLEN_RULES_H
#define QUORLEN_RULES_H

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "input/source_map.h"

namespace quorlen_tool {

enum class level { info = 0, warning = 1, error = 2 };

const char* level_name(level l);

// In code order; the hundreds are the families.
enum class rule_id : unsigned char {
  // 0: lines the library refuses
  unclosed_header,
  no_separator,
  refused_line,
  block_unterminated,
  block_broken_off,
  block_no_memory,
  // 1: sections
  unknown_section,
  open_group,
  section_cut,
  text_after_header,
  lines_after_unclosed_header,
  // 2: keys
  unknown_key,
  pair_before_header,
  // 3: numbers
  text_after_number,
  no_number,
  sign_before_hex,
  beyond_range,
  cut_to_field,
  // 4: lists
  too_many_values,
  size_count,
  format_count,
  continuation_comment,
  // 5: texts
  text_cut,
  unspaced_comment_mark,
  hash_in_text,
  // 6: how lines are read
  long_line,
  late_byte_order_mark,
  indented_after_header,
  indented_key,
  nul_byte,
  not_text,
  // 7: code blocks
  block_elsewhere,
  second_block,
  indented_block_marker,
  stray_block_end,
  near_block_marker,
  // 8: controls
  min_above_max,
  def_outside,
  step_not_positive,
  no_ctrl_name,
  same_ctrl_name,
  // 9: repeats and the file's own comments
  camera_key_again,
  control_key_again,
  unknown_disabled_code,
  // 10: what a sensor binding refuses
  binding_not_allowed,
  binding_out_of_range,
  binding_not_set,
  binding_value_count,
  binding_unmet,
  binding_refused,
  count
};

struct rule {
  const char* code;  // "Q" and three digits
  level severity;
  const char* summary;
  rule_id id;          // where it stands in the registry
  bool fixes = false;  // its findings may carry a fix
};

// A summary that names the characters one read of the library takes, put
// together at compile time so that the table stays a constant.
struct room_summary {
  char text[64] = {};
};
constexpr room_summary with_line_room(const char* before, const char* after) {
  room_summary out;
  std::size_t n = 0;
  while (*before != '\0') out.text[n++] = *before++;
  char digits[20] = {};
  std::size_t k = 0;
  for (std::size_t v = LINE_ROOM; k == 0 || v != 0; v /= 10) {
    digits[k++] = static_cast<char>('0' + v % 10);
  }
  while (k > 0) out.text[n++] = digits[--k];
  while (*after != '\0') out.text[n++] = *after++;
  return out;
}
inline constexpr room_summary long_line_summary =
    with_line_room("line of ", " characters or more: read in pieces");

inline constexpr std::array<rule, static_cast<std::size_t>(rule_id::count)>
    lint_rules = {{
        {"Q001", level::error, "section header without its closing ']'",
         rule_id::unclosed_header},
        {"Q002", level::error, "line has neither '=' nor ':'",
         rule_id::no_separator},
        {"Q003", level::error,
         "the library could not store the line (out of memory)",
         rule_id::refused_line},
        {"Q004", level::error, "code block reaches the end of the file",
         rule_id::block_unterminated},
        {"Q005", level::error,
         "section header inside a code block: the block is dropped",
         rule_id::block_broken_off},
        {"Q006", level::error, "code block could not be stored (out of memory)",
         rule_id::block_no_memory},
        {"Q101", level::warning, "unknown section: all its lines are ignored",
         rule_id::unknown_section, true},
        {"Q102", level::warning,
         "a later bracket group of a header is not closed",
         rule_id::open_group},
        {"Q103", level::warning, "section name cut at 49 characters",
         rule_id::section_cut},
        {"Q104", level::warning, "text after a header's closing ']' is ignored",
         rule_id::text_after_header},
        {"Q105", level::warning,
         "lines after a header without its ']' go to the section before",
         rule_id::lines_after_unclosed_header},
        {"Q201", level::warning, "unknown key: the line is ignored",
         rule_id::unknown_key, true},
        {"Q202", level::warning,
         "name/value line before any section header: ignored",
         rule_id::pair_before_header},
        {"Q301", level::warning, "text after the number is ignored",
         rule_id::text_after_number},
        {"Q302", level::warning, "no number at all: read as 0",
         rule_id::no_number},
        {"Q303", level::warning, "sign before '0x': read as decimal",
         rule_id::sign_before_hex},
        {"Q304", level::warning,
         "number beyond the 32- or 64-bit range: clamped",
         rule_id::beyond_range},
        {"Q305", level::warning,
         "number does not fit its field: cut to its low bits",
         rule_id::cut_to_field},
        {"Q401", level::warning, "more than 16 values: the rest are dropped",
         rule_id::too_many_values},
        {"Q402", level::warning,
         "SIZE without exactly two values: the line changes nothing",
         rule_id::size_count},
        {"Q403", level::warning,
         "FORMAT without one or two values: the line changes nothing",
         rule_id::format_count},
        {"Q404", level::warning,
         "a continuation line keeps its comment: a ',' in it adds values",
         rule_id::continuation_comment},
        {"Q501", level::warning, "text longer than its field: cut",
         rule_id::text_cut},
        {"Q502", level::warning,
         "';' or '//' with no blank before it is kept in the text",
         rule_id::unspaced_comment_mark, true},
        {"Q503", level::warning,
         "'#' after a value starts no comment: kept in the text",
         rule_id::hash_in_text},
        {"Q601", level::warning, long_line_summary.text, rule_id::long_line},
        {"Q602", level::warning, "byte-order mark after line 1: read as text",
         rule_id::late_byte_order_mark, true},
        {"Q603", level::info,
         "indented line after a section header: not a continuation",
         rule_id::indented_after_header},
        {"Q604", level::warning,
         "indented key after a pair: read as a value of the key before",
         rule_id::indented_key},
        {"Q605", level::warning,
         "NUL byte in a line: the library reads the line only up to it",
         rule_id::nul_byte},
        {"Q606", level::error,
         "not a text file: many NUL or control bytes near its start",
         rule_id::not_text},
        {"Q701", level::warning,
         "code block outside a control section: ignored",
         rule_id::block_elsewhere},
        {"Q702", level::warning,
         "second code block in one control: replaces the first",
         rule_id::second_block},
        {"Q703", level::warning,
         "indented code-block marker after a pair: no block opens",
         rule_id::indented_block_marker},
        {"Q704", level::warning,
         "code-block end marker with no block open: a line of its own",
         rule_id::stray_block_end},
        // An error: what was meant as a block is lost, and the refusals of
        // its lines that it holds back are errors.
        {"Q705", level::error,
         "line nearly a code-block marker: read as an ordinary line",
         rule_id::near_block_marker, true},
        {"Q801", level::warning, "MIN_VALUE above MAX_VALUE",
         rule_id::min_above_max},
        {"Q802", level::warning, "DEF outside MIN_VALUE .. MAX_VALUE",
         rule_id::def_outside},
        {"Q803", level::warning, "STEP of 0 or below",
         rule_id::step_not_positive},
        {"Q804", level::warning, "control without CTRL_NAME",
         rule_id::no_ctrl_name},
        {"Q805", level::warning, "two controls with the same CTRL_NAME",
         rule_id::same_ctrl_name},
        {"Q901", level::info, "camera key set again: the later one wins",
         rule_id::camera_key_again},
        {"Q902", level::warning,
         "control key set again in one control: a header may be missing",
         rule_id::control_key_again},
        {"Q903", level::warning,
         "a disable comment names a code that does not exist",
         rule_id::unknown_disabled_code},
        // A binding's findings take its level; warning when it names none.
        {"Q1001", level::warning, "a value the binding does not allow",
         rule_id::binding_not_allowed, true},
        {"Q1002", level::warning, "a value outside the binding's limits",
         rule_id::binding_out_of_range},
        {"Q1003", level::warning, "a key the binding needs is not set",
         rule_id::binding_not_set},
        {"Q1004", level::warning,
         "a list with a number of values the binding does not allow",
         rule_id::binding_value_count},
        {"Q1005", level::warning, "another condition of the binding not met",
         rule_id::binding_unmet},
        {"Q1006", level::error,
         "a binding named in the file lies outside its folder: not applied",
         rule_id::binding_refused},
    }};

// Each row stands at its id's place, and the codes rise (a longer code is
// a later one).
constexpr bool registry_in_order() {
  for (std::size_t i = 0; i < lint_rules.size(); ++i) {
    if (static_cast<std::size_t>(lint_rules[i].id) != i) return false;
    if (i > 0) {
      const char* a = lint_rules[i - 1].code;
      const char* b = lint_rules[i].code;
      std::size_t na = 0, nb = 0;
      while (a[na] != '\0') ++na;
      while (b[nb] != '\0') ++nb;
      if (na > nb) return false;
      std::size_t k = 0;
      while (a[k] == b[k] && a[k] != '\0') ++k;
      if (na == nb && a[k] >= b[k]) return false;
    }
  }
  return true;
}
static_assert(registry_in_order(), "lint_rules must follow rule_id");

inline const rule& rule_of(rule_id id) {
  return lint_rules[static_cast<std::size_t>(id)];
}

// The rule with that code, or null.
const rule* find_rule(const std::string& code);

// What quorlen-config explain says of a rule.  The example is a file that
// brings the rule's finding and the corrected one the same file mended,
// which brings none at all; both may hold any byte and are shown escaped.
// A rule that no file can bring on purpose (the library out of memory) has
// neither.
struct rule_text {
  const char* meaning;
  const char* matters;  // why it matters for the camera
  std::string_view example;
  std::string_view corrected;
};

const rule_text& text_of(rule_id id);
// Whether the rule reports what a sensor binding refuses, which only a file
// checked against a binding brings.
bool binding_rule(const rule& r);

// How the findings of a code are silenced.
std::string silence_text(const rule& r);

// The whole of what explain prints for a rule, as plain text.
std::string explain_text(const rule& r);

}  // namespace quorlen_tool

#endif
