// How numbers and value lists are read, shared by the conversions the record
// uses and by anything that must explain them afterwards, so that the two
// can never read a text differently.
#ifndef QUORLEN_NUMBER_SCAN_H
#define QUORLEN_NUMBER_SCAN_H

#include <cstddef>
#include <cstdint>

#include "char_class.h"

namespace quorlen {
namespace scan {

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
inline constexpr digit_table digits{};

inline unsigned digit_of(char c) {
  return digits.value[static_cast<unsigned char>(c)];
}

// The digits from p in the given base, saturating at limit (and then
// setting *saturated, when given); *end is set past the last digit.
inline std::uint64_t gather(const char* p, unsigned base, std::uint64_t limit,
                            const char** end, bool* saturated) {
  std::uint64_t magnitude = 0;
  bool over = false;
  for (unsigned d; (d = digit_of(*p)) < base; ++p) {
    over = over || __builtin_mul_overflow(magnitude, base, &magnitude) ||
           __builtin_add_overflow(magnitude, d, &magnitude) ||
           magnitude > limit;
  }
  *end = p;
  if (!over) return magnitude;
  if (saturated != nullptr) *saturated = true;
  return limit;  // saturated, as strtoll does
}

// Base 16 after a "0x" or "0X" prefix, base 10 otherwise (a leading 0 is not
// octal), by strtoll's rules: in base 10 an optional sign, digits up to the
// first character that is not one, 0 when there are none, and saturation at
// the 64-bit bounds.  A sign before "0x" therefore means base 10.  Written
// out rather than calling strtoll, which costs more than the rest of a line.
// *end is set past the last character the number used.
inline std::int64_t convert(const char* text, const char** end,
                            const space_class& is_space,
                            bool* saturated = nullptr) {
  const char* p = text;
  while (is_space(*p)) ++p;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    if (digit_of(p[2]) >= 16) {  // "0x" without a hex digit is the number 0
      *end = p + 1;
      return 0;
    }
    return static_cast<std::int64_t>(
        gather(p + 2, 16, std::uint64_t{INT64_MAX}, end, saturated));
  }
  const bool negative = *p == '-';
  if (negative || *p == '+') ++p;
  const std::uint64_t limit = std::uint64_t{INT64_MAX} + (negative ? 1 : 0);
  const std::uint64_t magnitude = gather(p, 10, limit, end, saturated);
  if (!negative) return static_cast<std::int64_t>(magnitude);
  return magnitude == limit ? INT64_MIN : -static_cast<std::int64_t>(magnitude);
}

inline std::int32_t clamp32(std::int64_t value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

// The digits from p in the base given, gathered in 32 bits: when there are
// at least one and at most max of them, they fit, and *end is set past them.
template <unsigned base, std::size_t max>
[[gnu::always_inline]] inline bool gather32(const char* p, const char** end,
                                            std::uint32_t* value) {
  const char* q = p;
  std::uint32_t v = 0;
  unsigned d;
  while ((d = digit_of(*q)) < base) {
    v = v * base + d;
    ++q;
  }
  // No digit wraps round to the largest count.
  if (static_cast<std::size_t>(q - p) - 1 >= max) return false;
  *end = q;
  *value = v;
  return true;
}

// A short number: after white space, up to seven hex or nine decimal
// digits and no sign, which fit below 2^31 and are gathered in 32 bits, at
// half the cost of the general path on a 32-bit target.  False for anything
// else; *p is then past the white space.
[[gnu::always_inline]] inline bool convert_short(const char** p,
                                                 const char** end,
                                                 std::uint32_t* value,
                                                 const space_class& is_space) {
  const char* q = *p;
  while (is_space(*q)) ++q;
  *p = q;
  if (q[0] == '0' && (q[1] == 'x' || q[1] == 'X')) {
    return gather32<16, 7>(q + 2, end, value);
  }
  return gather32<10, 9>(q, end, value);
}

// convert, clamped to 32 bits.
[[gnu::always_inline]] inline std::int32_t convert32(
    const char* text, const char** end, const space_class& is_space) {
  std::uint32_t value;
  if (convert_short(&text, end, &value, is_space)) {
    return static_cast<std::int32_t>(value);
  }
  return clamp32(convert(text, end, is_space));
}

// How a value list is split, for the record and for whatever explains it:
// Where the piece that starts at p ends: at the next ',' or the end.
inline const char* end_of_piece(const char* p) {
  while (*p != ',' && *p != '\0') ++p;
  return p;
}

// Calls piece(start, index), which returns where the number in the piece
// ended, for each piece of a ',' separated list in order; returns how many
// there were.  Empty pieces do not count; a piece of only white space does.
template <class Piece>
[[gnu::always_inline]] inline unsigned for_each_piece(const char* p,
                                                      Piece&& piece) {
  unsigned count = 0;
  for (;;) {
    while (*p == ',') ++p;
    if (*p == '\0') return count;
    p = piece(p, count);
    ++count;  // after the call: count and count + 1 are not both kept
    for (; *p != ','; ++p) {
      if (*p == '\0') return count;
    }
  }
}

}  // namespace scan

}  // namespace quorlen

#endif
