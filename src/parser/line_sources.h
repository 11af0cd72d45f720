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

// Parses size bytes in memory exactly as a file holding them parses, NUL
// bytes and all; the bytes are only read.  Returns -1 when there is no
// memory for the reader's block.
int parse_bytes(const char* bytes, std::size_t size, entry_handler handler,
                void* user, parse_observer* observer = nullptr);

// Parses a NUL-terminated text in memory; the text is only read.  A text
// holds no NUL bytes, so it parses as a file holding its bytes.
inline int parse_text(const char* text, entry_handler handler, void* user,
                      parse_observer* observer = nullptr) {
  if (text == nullptr) text = "";
  return parse_bytes(text, std::strlen(text), handler, user, observer);
}

}  // namespace quorlen

#endif
