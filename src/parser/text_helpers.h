// In-place helpers over NUL-terminated line text.
#ifndef QUORLEN_TEXT_HELPERS_H
#define QUORLEN_TEXT_HELPERS_H

namespace quorlen {

// White space is the C library's isspace, taken on the unsigned byte.
bool is_space(char c);

char* skip_space(char* text);
const char* skip_space(const char* text);

// Overwrites trailing white space with NUL; returns text.
char* trim_space_end(char* text);

// Returns the first position holding the terminator, one of stops (which may
// be null), or the start of an inline comment: ';' or "//" directly after
// white space.  The first character never counts as following white space.
char* find_stop_char(char* text, const char* stops);

}  // namespace quorlen

#endif
