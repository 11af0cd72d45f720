// In-place helpers over NUL-terminated line text.
#ifndef QUORLEN_TEXT_HELPERS_H
#define QUORLEN_TEXT_HELPERS_H

#include "char_class.h"

namespace quorlen {

inline char* skip_space(char* text) {
  const space_class is_space;
  while (is_space(*text)) ++text;
  return text;
}

// Overwrites trailing white space with NUL, for a text whose terminator the
// caller already knows; returns the new terminator.
inline char* trim_space_end(char* text, char* end) {
  const space_class is_space;
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

constexpr unsigned char MARK_CLOSE = 1;
constexpr unsigned char MARK_SEPARATOR = 2;
constexpr unsigned char MARK_COMMENT = 4;  // ';' or '/': looked at closely
constexpr unsigned char MARK_END = 8;

struct byte_marks {
  unsigned char of[256] = {};
  constexpr byte_marks() {
    of[0] = MARK_END;
    of[static_cast<unsigned char>(']')] = MARK_CLOSE;
    of[static_cast<unsigned char>('=')] = MARK_SEPARATOR;
    of[static_cast<unsigned char>(':')] = MARK_SEPARATOR;
    of[static_cast<unsigned char>(';')] = MARK_COMMENT;
    of[static_cast<unsigned char>('/')] = MARK_COMMENT;
  }
};
inline constexpr byte_marks marks{};

inline unsigned mark_of(char c) {
  return marks.of[static_cast<unsigned char>(c)];
}

}  // namespace detail

// Returns the first position holding the terminator, a stop character, or
// the start of an inline comment: ';' or "//" directly after white space.
// The first character never counts as following white space.  One table
// look-up a byte: this scan is most of the cost of a line.
inline char* find_stop_char(char* text, stop_set stops) {
  const space_class is_space;
  const unsigned stop_marks = static_cast<unsigned>(stops) | detail::MARK_END;
  const unsigned wanted = stop_marks | detail::MARK_COMMENT;
  for (char* p = text;; ++p) {
    unsigned mark;
    // Four bytes a round; a byte is read only after the one before it
    // turned out not to be the terminator.
    for (;; p += 4) {
      if (((mark = detail::mark_of(p[0])) & wanted) != 0) break;
      if (((mark = detail::mark_of(p[1])) & wanted) != 0) {
        p += 1;
        break;
      }
      if (((mark = detail::mark_of(p[2])) & wanted) != 0) {
        p += 2;
        break;
      }
      if (((mark = detail::mark_of(p[3])) & wanted) != 0) {
        p += 3;
        break;
      }
    }
    if ((mark & stop_marks) != 0) return p;
    if ((*p == ';' || p[1] == '/') && p > text && is_space(p[-1])) return p;
  }
}

}  // namespace quorlen

#endif
