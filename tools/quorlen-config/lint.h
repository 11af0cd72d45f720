// The lint: every place where what a configuration file says differs from
// what the record will hold.  It watches the library's own parse, so it can
// never read a file differently from the library.
#ifndef QUORLEN_LINT_H
#define QUORLEN_LINT_H

#include <cstddef>
#include <string>
#include <vector>

#include "parser/line_parser.h"
#include "quorlen_config_parser.h"

namespace quorlen_tool {

enum class level { info = 0, warning = 1, error = 2 };

const char* level_name(level l);

struct rule {
  const char* code;  // "Q" and three digits, grouped by family
  level severity;
  const char* summary;
};

// Every rule the lint knows, in code order.
extern const std::vector<rule> lint_rules;

// The rule with that code, or null.
const rule* find_rule(const std::string& code);

// A change to a file: the bytes [begin, end) become text.
struct edit {
  std::size_t begin;
  std::size_t end;
  std::string text;
};

struct finding {
  int line;    // as an editor counts lines
  int column;  // 1-based, in bytes
  level severity;
  std::string code;
  std::string message;     // escaped for showing
  std::string suggestion;  // "did you mean ...?", or empty
  int end_line = 0;        // where the span ends (exclusive column); 0 when
  int end_column = 0;      // the finding marks one place only
  std::vector<edit> fix;   // edits that mend it where the right text is
                           // certain; empty for none
};

struct lint_outcome {
  int result = 0;                 // what the parse returned
  std::vector<finding> findings;  // in file order, less what the file
                                  // itself disables
  int library_lines = 0;          // lines as the library counted them
  int file_lines = 0;             // lines as an editor counts them
  int pieces = 0;                 // the reads a 200-byte fgets needs
};

// Where the library's reads fall in a file: one piece per read of its
// 200-byte fgets buffer, which is how the library counts lines.
struct piece {
  int line;             // the file line it lies in, as an editor counts
  std::size_t column0;  // its first byte's offset in that line
  std::size_t offset;   // its first byte's offset in the file
  std::size_t size;     // its bytes, a final newline included
};
std::vector<piece> library_pieces(const std::string& bytes);

// Parses the bytes of a file, NUL bytes and all, exactly as the library
// reads a file (a 200-byte fgets a line), with the handler and watcher given.
int parse_bytes(const std::string& bytes,
                int (*handler)(void*, const char*, const char*, const char*),
                void* user, quorlen::parse_observer* observer);

// Lints the bytes of one file, parsing them into *record (zero-filled by
// the caller, who releases it) exactly as quorlen_parse_config would.
lint_outcome lint_bytes(const std::string& bytes, camera_setup* record);

}  // namespace quorlen_tool

#endif
