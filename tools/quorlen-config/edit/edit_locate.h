// Where the camera's and the controls' keys stand in a file, found by
// watching the library's own parse of it, so that an edit can never read a
// line differently from the library.
#ifndef QUORLEN_EDIT_LOCATE_H
#define QUORLEN_EDIT_LOCATE_H

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "input/source_map.h"
#include "quorlen_config_parser.h"
#include "quorlen_core.h"

namespace quorlen_tool {

constexpr std::size_t no_offset = static_cast<std::size_t>(-1);

// A name/value or continuation line of a camera or control section.
// Offsets are byte offsets into the file.
struct key_line {
  int library_line;  // the library's count of the line
  bool continuation;
  std::string name;         // as the record reads it
  int control;              // the control it fills; -1 for the camera
  std::size_t name_begin;   // the first character after the indentation
  std::size_t separator;    // the '=' or ':'; no_offset on a continuation
  std::size_t value_begin;  // the value as the record reads it
  std::size_t value_end;
  std::size_t comment;   // where an inline comment starts, or no_offset
  std::size_t text_end;  // the end of the line's text, white space aside
};

// A camera or control section, from its header to the next header.
struct section_span {
  int control;       // -1 for a camera section
  int header;        // library lines, as in key_line
  int last_key;      // its last name/value line, or its header
  int last_content;  // its last line that is not blank or a comment
};

// How many faults of each quorlen::fault_kind a parse met.
using fault_counts = std::array<int, 6>;

// A file as the library parses it.
class file_map {
 public:
  // Throws std::bad_alloc when there is no memory to parse with.
  explicit file_map(const std::string& bytes);
  ~file_map();
  file_map(const file_map&) = delete;
  file_map& operator=(const file_map&) = delete;

  const std::string& bytes() const { return bytes_; }
  const source_map& lines() const { return lines_; }
  const camera_setup& record() const { return record_; }
  const std::vector<key_line>& keys() const { return keys_; }
  const std::vector<section_span>& sections() const { return sections_; }
  const fault_counts& faults() const { return faults_; }

  // The editor's line that holds a library line: its number, its first
  // byte, and where its text ends (its '\n', or the end of the file).
  int line_number(int library_line) const {
    return lines_.editor_line(library_line);
  }
  std::size_t line_begin(int library_line) const;
  std::size_t line_end(int library_line) const;

 private:
  friend class map_builder;
  const std::string& bytes_;
  const source_map lines_;
  camera_setup record_{};
  std::vector<key_line> keys_;
  std::vector<section_span> sections_;
  fault_counts faults_{};
};

}  // namespace quorlen_tool

#endif
