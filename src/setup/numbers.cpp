#include <cctype>
#include <cstdlib>
#include <cstring>

#include "setup_internal.h"

namespace quorlen {

// Base 16 after a "0x" or "0X" prefix, base 10 otherwise (a leading 0 is not
// octal); strtoll's rules for sign, digits and trailing text, saturating at
// the 64-bit bounds.  A sign before "0x" therefore means base 10.
std::int64_t parse_int64(const char* text) {
  const char* p = text;
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  int base = (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) ? 16 : 10;
  return std::strtoll(p, nullptr, base);
}

// Saturates at the 32-bit bounds on every platform, as a 32-bit strtol does.
std::int32_t parse_int32(const char* text) {
  std::int64_t value = parse_int64(text);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

// ',' separates; empty pieces do not count, a piece of only white space
// counts as 0.  Each piece is converted where it stands: the conversion
// stops at the ',' anyway, so the text needs no copy and no strtok state.
// Pieces after the sixteenth are dropped.
void parse_value_list(register_entry* entry, const char* text) {
  unsigned count = 0;
  const char* p = text;
  while (*p != '\0') {
    if (*p == ',') {
      ++p;
      continue;
    }
    if (count < QUORLEN_MAX_VALUES) entry->values[count++] = parse_int32(p);
    const char* comma = std::strchr(p, ',');
    p = comma != nullptr ? comma : p + std::strlen(p);
  }
  entry->value_count = static_cast<std::uint8_t>(count);
}

}  // namespace quorlen
