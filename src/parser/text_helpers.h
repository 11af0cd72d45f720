// In-place helpers over NUL-terminated line text.
#ifndef QUORLEN_TEXT_HELPERS_H
#define QUORLEN_TEXT_HELPERS_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "char_class.h"

namespace quorlen {

// The white-space table can be taken once by a caller that scans many lines.
inline char* skip_space(char* text, space_class is_space = space_class()) {
  while (is_space(*text)) ++text;
  return text;
}

// Overwrites trailing white space with NUL, for a text whose terminator the
// caller already knows; returns the new terminator.
inline char* trim_space_end(char* text, char* end,
                            space_class is_space = space_class()) {
  while (end > text && is_space(end[-1])) *--end = '\0';
  return end;
}

// What, besides the terminator and inline comments, ends a scan.
enum class stop_set : unsigned char {
  none = 0,
  close_bracket = 1,  // ']'
  separator = 2,      // '=' or ':'
};

namespace detail {

// For each stop set, the bytes that end its scan or must be looked at
// closely: the terminator, the stop characters, and ';' and '/', which may
// start an inline comment.
struct scan_table {
  unsigned char wanted[3][256] = {};
  constexpr scan_table() {
    for (auto& row : wanted) {
      row[0] = 1;
      row[static_cast<unsigned char>(';')] = 1;
      row[static_cast<unsigned char>('/')] = 1;
    }
    wanted[1][static_cast<unsigned char>(']')] = 1;
    wanted[2][static_cast<unsigned char>('=')] = 1;
    wanted[2][static_cast<unsigned char>(':')] = 1;
  }
};
inline constexpr scan_table scan_tables{};

}  // namespace detail

// Returns the first position holding the terminator, a stop character, or
// the start of an inline comment: ';' or "//" directly after white space.
// The first character never counts as following white space.  One table
// look-up a byte: this scan is most of the cost of a line.
inline char* find_stop_char(char* text, stop_set stops,
                            space_class is_space = space_class()) {
  const unsigned char* wanted =
      detail::scan_tables.wanted[static_cast<unsigned>(stops)];
  for (char* p = text;; ++p) {
    unsigned char c;
    while (wanted[c = static_cast<unsigned char>(*p)] == 0) ++p;
    if (c != ';' && c != '/') return p;
    if ((c == ';' || p[1] == '/') && p > text && is_space(p[-1])) return p;
  }
}

// Whether p[0, n) may hold a ';' or a '/', the bytes that can start an
// inline comment; '+' and '?' answer yes too.  Most values hold none of
// them, and a test a word at a time spares those the scan a byte at a time.
inline bool holds_comment_mark(const char* p, std::size_t n) {
  using word = std::uint32_t;
  constexpr word ones = 0x01010101;
  // ';' (0x3B), '/' (0x2F), '+' (0x2B) and '?' (0x3F) are the bytes that
  // become 0x3F when 0x14 is set in them; the test marks the zero bytes of
  // the result.
  const auto marked = [](word w) {
    const word x = (w | ones * 0x14) ^ ones * 0x3F;
    return ((x - ones) & ~x & ones * 0x80) != 0;
  };
  if (n < sizeof(word)) {
    for (std::size_t i = 0; i < n; ++i) {
      if ((p[i] | 0x14) == 0x3F) return true;
    }
    return false;
  }
  word w;
  const char* const last = p + n - sizeof w;  // the last word, overlapping
  for (; p < last; p += sizeof w) {
    std::memcpy(&w, p, sizeof w);
    if (marked(w)) return true;
  }
  std::memcpy(&w, last, sizeof w);
  return marked(w);
}

}  // namespace quorlen

#endif
