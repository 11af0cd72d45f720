// A file split once: its lines as an editor counts them, the pieces the
// library reads them in (one read of its 200-byte fgets buffer a piece, which
// is how the library counts lines), and where each lies in the bytes.
#ifndef QUORLEN_SOURCE_MAP_H
#define QUORLEN_SOURCE_MAP_H

#include <cstddef>
#include <string_view>
#include <vector>

#include "quorlen_core.h"

namespace quorlen_tool {

// What one read of the library takes at most.
constexpr std::size_t LINE_ROOM = quorlen::LINE_ROOM;

class source_map {
 public:
  // A line that the library reads in more than one piece.
  struct long_line {
    int line;         // as an editor counts
    int first_piece;  // the library's number for its first piece
    int pieces;
    std::size_t length;  // without its line end
  };

  // One read of the library.
  struct piece {
    int line;             // the editor line it lies in
    std::size_t column0;  // its first byte's offset in that line
    std::size_t offset;   // its first byte's offset in the file
  };

  // The bytes must outlive the map.
  explicit source_map(std::string_view bytes);

  int lines() const { return lines_; }
  int pieces() const { return pieces_; }
  const std::vector<long_line>& long_lines() const { return long_; }

  // The piece the library numbers so; numbers past the end give the last.
  piece piece_at(int library_line) const;
  int editor_line(int library_line) const {
    return piece_at(library_line).line;
  }
  // The library's number for the first piece of an editor line.
  int library_line(int line) const;
  // The library's line that holds the byte at offset; pieces() + 1 for an
  // offset at the end of bytes that end a line (or of no bytes), where a new
  // line would start.
  int library_line_at(std::size_t offset) const;
  // A piece's bytes as the library reads them, its line end included.
  std::string_view piece_bytes(int library_line) const;
  // Whether the library reads the line's text in one piece: a line of LINE_ROOM
  // characters leaves only its line end to a second read, which reads as a
  // blank line.
  bool read_whole(int line) const;
  // The bytes of a line with its line end: what the library's reads of it
  // take.
  std::size_t line_size(int line) const;

  // An editor line's bytes without its line end (nor a CR before it); empty
  // past the end.
  std::string_view line_text(int line) const;
  std::size_t line_offset(int line) const;

 private:
  static constexpr int CHECKPOINT = 64;  // lines between kept offsets

  std::string_view bytes_;
  int lines_ = 0;
  int pieces_ = 0;
  std::vector<std::size_t> checkpoints_;  // offsets of lines 1, 65, 129...
  std::vector<long_line> long_;
  // The last line looked up, so that a walk through the file in order
  // costs one pass.
  mutable int cached_line_ = 1;
  mutable std::size_t cached_offset_ = 0;
};

}  // namespace quorlen_tool

#endif
