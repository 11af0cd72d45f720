// Further ways into the engine: an open stream and a text in memory.
#ifndef QUORLEN_LINE_SOURCES_H
#define QUORLEN_LINE_SOURCES_H

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "line_parser.h"

namespace quorlen {

// Parses an already open stream from where it stands; neither opens nor
// closes it.  Returns -1 when a read fails.
int parse_open_stream(std::FILE* stream, entry_handler handler, void* user,
                      parse_observer* observer = nullptr);

struct text_cursor {
  const char* next;  // the next character to deliver
  std::size_t left;  // characters not yet delivered
};

// fgets over a text_cursor.
char* read_text_line(char* buffer, int size, void* cursor);

// Parses size bytes in memory exactly as a file holding them parses, NUL
// bytes and all; the bytes are only read.
int parse_bytes(const char* bytes, std::size_t size, entry_handler handler,
                void* user, parse_observer* observer = nullptr);

// Parses a NUL-terminated text in memory a line at a time; the text is
// only read.
inline int parse_text(const char* text, entry_handler handler, void* user,
                      parse_observer* observer = nullptr) {
  if (text == nullptr) text = "";
  text_cursor cursor{text, std::strlen(text)};
  return parse_lines(read_text_line, &cursor, handler, user, observer);
}

}  // namespace quorlen

#endif
