// The formatter behind fmt: a configuration file laid out again, with every
// comment, blank run, code block and continuation kept, and only what the
// library does not read changed.  It watches the library's parse of the
// text, and parses what it makes back to prove the record, the faulty lines
// and the comments the same.
#ifndef QUORLEN_FMT_FORMATTER_H
#define QUORLEN_FMT_FORMATTER_H

#include <string>
#include <string_view>

namespace quorlen_tool {

struct fmt_options {
  // Inline comments of consecutive lines start in one column.
  bool align = true;
  // What a continuation line is indented by.
  std::string indent = "    ";
  // Each line's own line end when empty; otherwise "\n" or "\r\n".
  std::string line_end;
};

struct fmt_outcome {
  std::string text;     // laid out; the input as it was when refused
  bool faulty = false;  // the input has faulty lines, left as they are
  std::string refused;  // why the laid-out text was not taken; empty when
                        // its parse proved it the same
};

// Lays out the bytes of a configuration file.  Throws std::bad_alloc when
// there is no memory for it.
fmt_outcome format_config(std::string_view bytes, const fmt_options& options);

}  // namespace quorlen_tool

#endif
