// Values as the record holds them, and how the text became them: what hover
// shows.
#include "lsp/hover_values.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

#include "input/diagnostics.h"
#include "input/number_reading.h"
#include "quorlen_core.h"

namespace quorlen_lsp {
namespace hover_values {

using quorlen::field;
using quorlen::field_kind;

std::string hex(std::uint64_t v, int digits) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%0*" PRIX64, digits, v);
  return text;
}

std::string code_hex(std::uint32_t code) { return hex(code, 8); }

std::string trimmed(const char* text) {
  std::string_view t(text);
  while (!t.empty() && is_blank(t.back())) t.remove_suffix(1);
  return std::string(t);
}

const char* c_type(const field& f) {
  if (f.kind == field_kind::text) return "char";
  switch (f.size) {
  case 1: return "uint8_t";
  case 2: return "uint16_t";
  case 4: return "int32_t";
  default: return "int64_t";
  }
}

std::string member(const field& f) {
  return std::string(f.family == quorlen::CAMERA_SECTION ? "camera_setup."
                                                         : "control_entry.") +
         f.member;
}

// A numeric member's value: in hex too for the unsigned ones, whose bits
// are what was kept.
std::string number_shown(const field& f, std::int64_t v) {
  if (f.size > 2) return std::to_string(v);
  return std::to_string(v) + " (" +
         hex(static_cast<std::uint64_t>(v), static_cast<int>(f.size * 2)) + ")";
}

std::string with_hex(std::int64_t v) {
  if (v < 10 && v > -10) return std::to_string(v);
  return std::to_string(v) +
         (v >= 0 ? " (" + hex(static_cast<std::uint64_t>(v)) + ")" : "");
}

// How the value's text became what a number row stored.
std::string how_read(const field& f, const char* value, std::int64_t stored) {
  const quorlen::number_reading r = quorlen::read_number(value);
  if (!r.has_digits) {
    const std::string rest = trimmed(r.begin);
    return rest.empty() ? "no number, read as 0"
                        : in_quotes(rest) + " is no number, read as 0";
  }
  if (r.sign_before_hex) {
    return in_quotes(trimmed(r.begin)) +
           " has a sign before '0x', so it is read as decimal: only its 0";
  }
  std::vector<std::string> steps;
  const std::string written(r.begin, static_cast<std::size_t>(r.end - r.begin));
  const char* after = r.end;
  while (is_blank(*after)) ++after;
  if (*after != '\0') {
    steps.push_back(in_quotes(trimmed(r.begin)) + " is read as " +
                    quorlen_tool::escape_text(written) +
                    ", the text after it ignored");
  }
  std::int64_t read = r.value;
  if (r.saturated) {
    steps.push_back(quorlen_tool::escape_text(written) +
                    " is beyond 64 bits, clamped to " + std::to_string(read));
  }
  const bool wide =
      f.kind == field_kind::int64 || f.kind == field_kind::low32_of_64;
  if (!wide && quorlen::scan::clamp32(read) != read) {
    read = quorlen::scan::clamp32(read);
    steps.push_back((r.saturated ? std::string("then")
                                 : quorlen_tool::escape_text(written) +
                                       " is beyond 32 bits,") +
                    " clamped to " + std::to_string(read));
  }
  if (stored != read) {
    steps.push_back("the low " + std::to_string(f.size * 8) + " bits of " +
                    with_hex(read));
  }
  std::string text;
  for (const std::string& step : steps) {
    text += (text.empty() ? "" : "; ") + step;
  }
  return text;
}

unsigned pieces_in(const char* value) {
  return quorlen::scan::for_each_piece(
      value, [](const char* p, unsigned) { return p; });
}

std::string values_hex(const register_entry& entry) {
  std::string text;
  for (unsigned i = 0; i < entry.value_count && i < QUORLEN_MAX_VALUES; ++i) {
    const std::int32_t v = entry.values[i];
    text += (i == 0 ? "" : ", ") + hex(static_cast<std::uint32_t>(v)) +
            (v < 0 ? " (" + std::to_string(v) + ")" : "");
  }
  return text;
}

}  // namespace hover_values
}  // namespace quorlen_lsp
