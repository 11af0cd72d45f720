// The lint: every place where what a configuration file says differs from
// what the record will hold.  It watches the library's own parse, so it can
// never read a file differently from the library.
#ifndef QUORLEN_LINT_H
#define QUORLEN_LINT_H

#include <cstddef>
#include <string>
#include <vector>

#include "lint/rules.h"
#include "quorlen_config_parser.h"

namespace quorlen_tool {

// A change to a file: the bytes [begin, end) become text.
struct edit {
  std::size_t begin;
  std::size_t end;
  std::string text;
};

struct binding;

struct finding {
  int line;    // as an editor counts lines
  int column;  // 1-based, in bytes
  level severity;
  std::string code;
  std::string message;     // escaped for showing
  std::string suggestion;  // "did you mean ...?", or empty
  int end_line = 0;        // where the span ends: the column just past it,
  int end_column = 0;      // on the same line for every rule today
  std::vector<edit> fix;   // edits that mend it where the right text is
                           // certain; empty for none
};

struct lint_outcome {
  int result = 0;                       // what the parse returned
  std::vector<finding> findings;        // in file order, less what the file
                                        // itself disables
  int library_lines = 0;                // lines as the library counted them
  int file_lines = 0;                   // lines as an editor counts them
  int pieces = 0;                       // the reads a 200-byte fgets needs
  std::vector<const binding*> applied;  // the bindings that applied
};

class source_map;

// A binding the lint applies: always when it was named (on the command line
// or in the file), else only when its select matches the record.
struct applied_binding {
  const binding* rules;
  bool named;
};

// A binding the file names that is not applied, and why: a finding at the
// comment.
struct refused_binding {
  int line;
  int column;
  int length;
  std::string why;
};

struct lint_options {
  // False: each register entry leaves the record once it is checked, so
  // that a file of any size needs little memory; the record then holds no
  // entries.
  bool keep_entries = true;
  // The map of these bytes, when the caller has made one to show the
  // findings with; otherwise the lint makes its own.
  const source_map* map = nullptr;
  // The sensor bindings to check the record against (binding/binding.h).
  std::vector<applied_binding> bindings;
  std::vector<refused_binding> refused;
};

// Lints the bytes of one file, parsing them into *record (zero-filled by
// the caller, who releases it) exactly as quorlen_parse_config would.
// Throws std::bad_alloc when there is no memory for it.
lint_outcome lint_bytes(const std::string& bytes, camera_setup* record);
lint_outcome lint_bytes(const std::string& bytes, camera_setup* record,
                        const lint_options& options);

}  // namespace quorlen_tool

#endif
