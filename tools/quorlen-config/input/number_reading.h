// Numbers and value lists as the library's conversions read them, with what
// they pass over: what the lint, get and set and the language server explain.
#ifndef QUORLEN_NUMBER_READING_H
#define QUORLEN_NUMBER_READING_H

#include <cstdint>

#include "quorlen_core.h"

namespace quorlen {

struct number_reading {
  std::int64_t value;    // what parse_int64 returns
  const char* begin;     // after the leading white space
  const char* end;       // past the last character the number used
  bool has_digits;       // false: no number at all, read as 0
  bool saturated;        // beyond 64 bits, stopped at the bound
  bool sign_before_hex;  // "-0x10": base 10, so only the "0" is read
};

inline number_reading read_number(const char* text) {
  number_reading r{};
  const space_class is_space;
  r.begin = text;
  while (is_space(*r.begin)) ++r.begin;
  r.value = scan::convert(text, &r.end, is_space, &r.saturated);
  const char* digits = r.begin;
  if (*digits == '-' || *digits == '+') {
    ++digits;
    r.sign_before_hex =
        digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
  }
  r.has_digits = r.end > digits;
  return r;
}

}  // namespace quorlen

#endif
