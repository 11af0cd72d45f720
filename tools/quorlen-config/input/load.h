// Reading a configuration file as the library reads it, for the commands:
// each fault in editor lines, each register entry with its line.
#ifndef QUORLEN_LOAD_H
#define QUORLEN_LOAD_H

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "input/entry_list.h"
#include "quorlen_config_parser.h"
#include "quorlen_core.h"

namespace quorlen_tool {

// A faulty line.
struct fault_note {
  quorlen::fault_kind kind;
  int line;          // as an editor counts
  int library_line;  // as the library counts, which quorlen_parse_config
                     // returns
  int column;        // where the line's text starts, 1-based
  int block_line;    // the line that opened the code block, or 0
  std::string text;  // the line as the library saw it, trimmed
  bool later_piece;  // a read of a long line after its first
};

// Why the line is faulty; with the library's count of it where that
// differs from an editor's.
std::string describe(const fault_note& f);

// Where a parse puts the register entries.
enum class entries_go {
  record,   // in the record, as the library does
  list,     // in the compact list, with their lines
  nowhere,  // dropped: only the camera fields, controls and faults count
};

struct loaded_file {
  loaded_file() = default;
  ~loaded_file();
  loaded_file(const loaded_file&) = delete;
  loaded_file& operator=(const loaded_file&) = delete;

  std::string name;                // as shown to people (not yet escaped)
  camera_setup record{};           // entries only where they go to the record
  entry_list entries;              // where they go to the list
  std::vector<int> control_lines;  // each control's header line
  std::vector<fault_note> faults;
  int result = 0;  // what quorlen_parse_config returns for these bytes
};

// Runs the library's engine over the bytes as over a file holding them, with
// the handler and observer given, and returns what it returns.  Throws
// std::bad_alloc when there is no memory to read the bytes with.
int parse_bytes(std::string_view bytes, quorlen::entry_handler handler,
                void* user, quorlen::parse_observer* observer);

// Parses the bytes exactly as the library parses a file holding them.
// Throws std::bad_alloc when there is no memory for it.
void load(std::string_view bytes, entries_go where, loaded_file& file);

// "name:line: reason" and the line, for each fault, on standard error.
void print_faults(const loaded_file& file);

}  // namespace quorlen_tool

#endif
