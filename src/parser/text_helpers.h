// In-place helpers over NUL-terminated line text.
#ifndef QUORLEN_TEXT_HELPERS_H
#define QUORLEN_TEXT_HELPERS_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "char_class.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quorlen {

// Bytes after a line's terminator that the scans below may read (and never
// act on): every line source keeps at least this many readable there.
constexpr std::size_t SCAN_SLACK = 16;

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

constexpr unsigned char MARK_CLOSE = 1;
constexpr unsigned char MARK_SEPARATOR = 2;
constexpr unsigned char MARK_COMMENT = 4;  // ';' or '/': looked at closely
constexpr unsigned char MARK_END = 8;
constexpr unsigned char MARK_FIRST = 16;  // '#', '[' and '=': a line's kind

struct byte_marks {
  unsigned char of[256] = {};
  constexpr byte_marks() {
    of[0] = MARK_END;
    of[static_cast<unsigned char>(']')] = MARK_CLOSE;
    of[static_cast<unsigned char>('=')] = MARK_SEPARATOR;
    of[static_cast<unsigned char>(':')] = MARK_SEPARATOR;
    of[static_cast<unsigned char>(';')] = MARK_COMMENT;
    of[static_cast<unsigned char>('/')] = MARK_COMMENT;
    of[static_cast<unsigned char>('#')] = MARK_FIRST;
    of[static_cast<unsigned char>('[')] = MARK_FIRST;
    of[static_cast<unsigned char>('=')] |= MARK_FIRST;
  }
};
inline constexpr byte_marks marks{};

inline unsigned mark_of(char c) {
  return marks.of[static_cast<unsigned char>(c)];
}

// Word-wide byte tests, a machine word at a time.
using word = std::size_t;
constexpr word ONES = ~word{0} / 0xFF;

// The high bit of each byte of x that is 0; nonzero when one is.  The
// lowest marked byte is exact, which is all the scans use.
inline word zero_bytes(word x) { return (x - ONES) & ~x & (ONES << 7); }

// The bytes of w equal to c, marked as zero_bytes marks them.
inline word bytes_equal(word w, unsigned char c) {
  return zero_bytes(w ^ (ONES * c));
}

// The index of the lowest marked byte of a nonzero mark.  The count of
// trailing zeros is taken at the word's own width: a 64-bit count on a
// 32-bit target would call a helper in libgcc.
inline std::size_t lowest_byte(word marked) {
  const int zeros = sizeof(word) == sizeof(unsigned long long)
                        ? __builtin_ctzll(marked)
                        : __builtin_ctz(static_cast<unsigned>(marked));
  return static_cast<std::size_t>(zeros) / 8;
}

}  // namespace detail

// Returns the first position holding the terminator, a stop character, or
// the start of an inline comment: ';' or "//" directly after white space.
// The first character never counts as following white space.  One table
// look-up a byte: this scan is most of the cost of a line.
inline char* find_stop_char(char* text, stop_set stops,
                            space_class is_space = space_class()) {
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

// The first '=', ':', ';', '/' or terminator at or after text, for a text
// whose terminator is at end.
#if defined(__SSE2__)
// Sixteen bytes a step, reading up to SCAN_SLACK - 1 bytes past end.
inline char* find_separator(char* text, const char* end) {
  (void)end;
  const __m128i equals = _mm_set1_epi8('=');
  const __m128i colon_or_semicolon = _mm_set1_epi8(';');  // ':' | 1 is ';'
  const __m128i one = _mm_set1_epi8(1);
  const __m128i slash = _mm_set1_epi8('/');
  const __m128i zero = _mm_setzero_si128();
  for (;; text += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
    const __m128i hit = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(v, equals),
                     _mm_cmpeq_epi8(_mm_or_si128(v, one), colon_or_semicolon)),
        _mm_or_si128(_mm_cmpeq_epi8(v, slash), _mm_cmpeq_epi8(v, zero)));
    const auto found = static_cast<unsigned>(_mm_movemask_epi8(hit));
    if (found != 0) return text + __builtin_ctz(found);
  }
}

// Whether p[0, n) holds a ';', '/', '+' or '?': only the first two can start
// an inline comment, and most lines hold none of the four, which spares
// them the byte-by-byte scan.  Reads up to SCAN_SLACK - 1 bytes past p + n.
inline bool holds_comment_mark(const char* p, std::size_t n) {
  // ';' (0x3B), '/' (0x2F), '+' (0x2B) and '?' (0x3F) are the bytes that
  // become 0x3F when 0x14 is set in them.
  const __m128i bits = _mm_set1_epi8(0x14);
  const __m128i marked = _mm_set1_epi8(0x3F);
  const auto found_in = [&](const char* at) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    return static_cast<std::uint32_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(v, bits), marked)));
  };
  for (; n > 16; p += 16, n -= 16) {
    if (found_in(p) != 0) return true;
  }
  // The last 16 bytes at most: a value's usual length, without a loop.
  return (found_in(p) & ((std::uint64_t{1} << n) - 1)) != 0;
}
#else
// A name is short, so the first word of the line usually answers without a
// branch on each byte: its bytes that become 0x3F when 0x07 or 0x10 is set
// ("89:;<=>?" and '/') are candidates, and the lowest is looked at exactly.
inline char* find_separator(char* text, const char* end) {
  constexpr unsigned wanted =
      detail::MARK_SEPARATOR | detail::MARK_COMMENT | detail::MARK_END;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  using detail::ONES;
  using detail::word;
  while (end - text >= static_cast<std::ptrdiff_t>(sizeof(word))) {
    word w;
    std::memcpy(&w, text, sizeof w);
    const word found = detail::zero_bytes((w | (ONES * 0x07)) ^ (ONES * 0x3F)) |
                       detail::zero_bytes((w | (ONES * 0x10)) ^ (ONES * 0x3F));
    if (found == 0) {
      text += sizeof w;
      continue;
    }
    text += detail::lowest_byte(found);
    if ((detail::mark_of(*text) & wanted) != 0) return text;
    ++text;  // a digit 8 or 9, '<', '>' or '?'
  }
#else
  (void)end;
#endif
  while ((detail::mark_of(*text) & wanted) == 0) ++text;
  return text;
}

// Whether p[0, n) may hold a ';' or a '/', the bytes that can start an
// inline comment; '+' and '?' answer yes too.  Most lines hold none of
// them, and a word-wide test spares those the byte-by-byte scan.
inline bool holds_comment_mark(const char* p, std::size_t n) {
  using detail::ONES;
  using detail::word;
  // ';' (0x3B), '/' (0x2F), '+' (0x2B) and '?' (0x3F) are the bytes that
  // become 0x3F when 0x14 is set in them.
  const auto marked = [](word w) {
    return detail::zero_bytes((w | (ONES * 0x14)) ^ (ONES * 0x3F));
  };
  word w;
  if (n < sizeof w) {
    for (std::size_t i = 0; i < n; ++i) {
      if ((p[i] | 0x14) == 0x3F) return true;
    }
    return false;
  }
  const char* const last = p + n - sizeof w;  // the last word, overlapping
  for (; p < last; p += sizeof w) {
    std::memcpy(&w, p, sizeof w);
    if (marked(w) != 0) return true;
  }
  std::memcpy(&w, last, sizeof w);
  return marked(w) != 0;
}
#endif

}  // namespace quorlen

#endif
