// In-place helpers over NUL-terminated line text.
#ifndef QUORLEN_TEXT_HELPERS_H
#define QUORLEN_TEXT_HELPERS_H

#include "char_class.h"

namespace quorlen {

// The white-space table can be taken once by a caller that scans many lines.
inline char* skip_space(char* text, space_class is_space = space_class()) {
  while (is_space(*text)) ++text;
  return text;
}

// Ends the text before its trailing white space, for a text whose
// terminator the caller already knows; returns the new terminator.  One NUL
// is written where the white space starts: nothing reads past it.
inline char* trim_space_end(char* text, char* end,
                            space_class is_space = space_class()) {
  while (end > text && is_space(end[-1])) --end;
  *end = '\0';
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
// The first character never counts as following white space.  The scan may
// start further on, at from, where no stop lies before it.  One table
// look-up a byte.
inline char* find_stop_char(char* text, stop_set stops,
                            space_class is_space = space_class(),
                            char* from = nullptr) {
  const unsigned char* wanted =
      detail::scan_tables.wanted[static_cast<unsigned>(stops)];
  auto* p = reinterpret_cast<unsigned char*>(from != nullptr ? from : text);
  for (;;) {
    unsigned c;
    do c = *p++;
    while (wanted[c] == 0);
    char* const at = reinterpret_cast<char*>(p - 1);
    if (c != ';' && c != '/') return at;
    if ((c == ';' || *p == '/') && at > text && is_space(at[-1])) return at;
  }
}

}  // namespace quorlen

#endif
