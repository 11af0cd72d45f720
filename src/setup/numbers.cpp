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

// The digits from p in the given base, saturating at limit; *end is set
// past the last digit.  Up to 15 digits cannot overflow 64 bits in either
// base, so only longer numbers pay for the bound check.
[[gnu::always_inline]] inline std::uint64_t gather(const char* p, unsigned base,
                                                   std::uint64_t limit,
                                                   const char** end) {
  const char* const first = p;
  std::uint64_t magnitude = 0;
  unsigned d;
  while ((d = digit_of(*p)) < base) {
    magnitude = magnitude * base + d;
    ++p;
  }
  *end = p;
  if (p - first <= 15) return magnitude;
  magnitude = 0;
  for (p = first; (d = digit_of(*p)) < base; ++p) {
    if (__builtin_mul_overflow(magnitude, base, &magnitude) ||
        __builtin_add_overflow(magnitude, d, &magnitude) || magnitude > limit) {
      return limit;  // saturated, as strtoll does
    }
  }
  return magnitude;
}

// Base 16 after a "0x" or "0X" prefix, base 10 otherwise (a leading 0 is not
// octal), by strtoll's rules: in base 10 an optional sign, digits up to the
// first character that is not one, 0 when there are none, and saturation at
// the 64-bit bounds.  A sign before "0x" therefore means base 10.  Written
// out rather than calling strtoll, which costs more than the rest of a line.
// *end is set past the last character the number used.
[[gnu::always_inline]] inline std::int64_t convert(
    const char* text, const char** end, const space_class& is_space) {
  const char* p = text;
  while (is_space(*p)) ++p;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    if (digit_of(p[2]) >= 16) {  // "0x" without a hex digit is the number 0
      *end = p + 1;
      return 0;
    }
    return static_cast<std::int64_t>(
        gather(p + 2, 16, std::uint64_t{INT64_MAX}, end));
  }
  const bool negative = *p == '-';
  if (negative || *p == '+') ++p;
  if (!negative) {
    return static_cast<std::int64_t>(
        gather(p, 10, std::uint64_t{INT64_MAX}, end));
  }
  const std::uint64_t magnitude =
      gather(p, 10, std::uint64_t{INT64_MAX} + 1, end);
  return magnitude == std::uint64_t{INT64_MAX} + 1
             ? INT64_MIN
             : -static_cast<std::int64_t>(magnitude);
}

std::int32_t clamp32(std::int64_t value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

}  // namespace

std::int64_t parse_int64(const char* text) {
  const char* end;
  return convert(text, &end, space_class());
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
  const space_class is_space;
  unsigned count = 0;
  const char* p = text;
  while (*p != '\0') {
    if (*p == ',') {
      ++p;
      continue;
    }
    if (count < QUORLEN_MAX_VALUES) {
      entry->values[count++] = clamp32(convert(p, &p, is_space));
    }
    while (*p != ',' && *p != '\0') ++p;  // what follows the number
  }
  entry->value_count = static_cast<std::uint8_t>(count);
}

}  // namespace quorlen
