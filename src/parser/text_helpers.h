// In-place helpers over NUL-terminated line text.
#ifndef QUORLEN_TEXT_HELPERS_H
#define QUORLEN_TEXT_HELPERS_H

#include <cstring>

#include "char_class.h"

namespace quorlen {

inline char* skip_space(char* text) {
  const space_class is_space;
  while (is_space(*text)) ++text;
  return text;
}

// Overwrites trailing white space with NUL, for a text whose terminator the
// caller already knows; returns text.
inline char* trim_space_end(char* text, char* end) {
  const space_class is_space;
  while (end > text && is_space(end[-1])) *--end = '\0';
  return text;
}

// Overwrites trailing white space with NUL; returns text.
inline char* trim_space_end(char* text) {
  return trim_space_end(text, text + std::strlen(text));
}

// Returns the first position holding the terminator, one of stops (which may
// be null), or the start of an inline comment: ';' or "//" directly after
// white space.  The first character never counts as following white space,
// and the stop test comes before the comment test.
inline char* find_stop_char(char* text, const char* stops) {
  const space_class is_space;
  // Candidates are found with strcspn; each is then looked at closely.
  char candidates[16] = ";/";
  std::size_t stop_count = stops != nullptr ? std::strlen(stops) : 0;
  if (stop_count > sizeof candidates - 3) stop_count = 0;  // slow path below
  if (stops != nullptr) std::memcpy(candidates + 2, stops, stop_count);
  candidates[2 + stop_count] = '\0';
  const bool whole_set = stops == nullptr || stops[stop_count] == '\0';
  for (char* p = text;; ++p) {
    if (whole_set) p += std::strcspn(p, candidates);
    const char c = *p;
    if (c == '\0') return p;
    if (stops != nullptr) {
      for (const char* s = stops; *s != '\0'; ++s) {
        if (c == *s) return p;
      }
    }
    if ((c == ';' || (c == '/' && p[1] == '/')) && p > text &&
        is_space(p[-1])) {
      return p;
    }
  }
}

}  // namespace quorlen

#endif
