// The library's reads of a file as a list, for the code that walks them in
// order (get and set, the language server).
#ifndef QUORLEN_LIBRARY_PIECES_H
#define QUORLEN_LIBRARY_PIECES_H

#include <cstddef>
#include <string>
#include <vector>

#include "parser/line_parser.h"

namespace quorlen_tool {

// One read of the library's 200-byte buffer, which is how it counts lines.
struct piece {
  int line;             // the file line it lies in, as an editor counts
  std::size_t column0;  // its first byte's offset in that line
  std::size_t offset;   // its first byte's offset in the file
  std::size_t size;     // its bytes, a final newline included
};

std::vector<piece> library_pieces(const std::string& bytes);

// Parses the bytes as a file holding them parses; throws std::bad_alloc when
// there is no memory to read them with.
int parse_bytes(const std::string& bytes, quorlen::entry_handler handler,
                void* user, quorlen::parse_observer* observer);

}  // namespace quorlen_tool

#endif
