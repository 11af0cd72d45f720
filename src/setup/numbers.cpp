#include <cstring>

#include "char_class.h"
#include "setup_internal.h"

namespace quorlen {

namespace {

// Digit values for bases up to 16; 0xFF for anything else.
struct digit_table {
  unsigned char value[256] = {};
  constexpr digit_table() {
    for (int c = 0; c < 256; ++c) value[c] = 0xFF;
    for (int d = 0; d < 10; ++d) value['0' + d] = static_cast<unsigned char>(d);
    for (int d = 0; d < 6; ++d) {
      value['a' + d] = static_cast<unsigned char>(10 + d);
      value['A' + d] = static_cast<unsigned char>(10 + d);
    }
  }
};
constexpr digit_table digits{};

unsigned digit_of(char c) {
  return digits.value[static_cast<unsigned char>(c)];
}

// Base 16 after a "0x" or "0X" prefix, base 10 otherwise (a leading 0 is not
// octal), by strtoll's rules: in base 10 an optional sign, digits up to the
// first character that is not one, 0 when there are none, and saturation at
// the 64-bit bounds.  A sign before "0x" therefore means base 10.  Written
// out rather than calling strtoll, which costs more than the rest of a line.
// *end is set past the last character the number used.
std::int64_t convert(const char* text, const char** end) {
  const space_class is_space;
  const char* p = text;
  while (is_space(*p)) ++p;
  unsigned base = 10;
  bool negative = false;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    base = 16;
    // "0x" with no hex digit after it is just the number 0.
    p += digit_of(p[2]) < 16 ? 2 : 1;
  } else if (*p == '-' || *p == '+') {
    negative = *p++ == '-';
  }
  // Up to 15 digits cannot overflow 64 bits in either base, so the bound
  // is checked only for longer numbers.
  std::uint64_t magnitude = 0;
  int digits_seen = 0;
  unsigned d;
  while ((d = digit_of(*p)) < base && digits_seen < 15) {
    magnitude = magnitude * base + d;
    ++p;
    ++digits_seen;
  }
  const std::uint64_t limit =
      negative ? std::uint64_t{INT64_MAX} + 1 : std::uint64_t{INT64_MAX};
  bool saturated = false;
  for (; (d = digit_of(*p)) < base; ++p) {
    // Once past the bound the value stays there.
    if (saturated || __builtin_mul_overflow(magnitude, base, &magnitude) ||
        __builtin_add_overflow(magnitude, d, &magnitude) || magnitude > limit) {
      saturated = true;
    }
  }
  *end = p;
  if (saturated) return negative ? INT64_MIN : INT64_MAX;
  if (negative) {
    return magnitude == std::uint64_t{INT64_MAX} + 1
               ? INT64_MIN
               : -static_cast<std::int64_t>(magnitude);
  }
  return static_cast<std::int64_t>(magnitude);
}

std::int32_t clamp32(std::int64_t value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

}  // namespace

std::int64_t parse_int64(const char* text) {
  const char* end;
  return convert(text, &end);
}

// Saturates at the 32-bit bounds on every platform, as a 32-bit strtol does.
std::int32_t parse_int32(const char* text) {
  return clamp32(parse_int64(text));
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
    if (count < QUORLEN_MAX_VALUES) {
      entry->values[count++] = clamp32(convert(p, &p));
    }
    while (*p != ',' && *p != '\0') ++p;  // what follows the number
  }
  entry->value_count = static_cast<std::uint8_t>(count);
}

}  // namespace quorlen
