// Ways to write a value into a file as its author lays out lines, best
// first: on the line that sets its key last, or on a line added to its
// section.  Each is a change to the file and the value the line then
// carries; edit_key parses each back and takes the first that reads right.
#ifndef QUORLEN_EDIT_LAYOUT_H
#define QUORLEN_EDIT_LAYOUT_H

#include <string>
#include <string_view>
#include <vector>

#include "edit/edit_locate.h"
#include "lint/lint.h"
#include "quorlen_core.h"

namespace quorlen_tool {

struct spelling {
  edit change;
  std::string carried;
};

// The line k rewritten: its indentation, the spacing around its separator
// and its comment at its column kept; a continuation keeps its indentation
// and, after a number, its comment.
std::vector<spelling> rewrites(const file_map& map, const key_line& k,
                               const quorlen::field& f,
                               const std::string& value);

// A line added after the section's last name/value line (or its header),
// then after its last line that is neither blank nor a comment, laid out
// like the section's last pair line.
std::vector<spelling> insertions(const file_map& map, const section_span& span,
                                 const quorlen::field& f,
                                 const std::string& value);

// Every line of a text fits one read of the library.
bool fits(std::string_view text);

}  // namespace quorlen_tool

#endif
