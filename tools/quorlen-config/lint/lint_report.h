// How lint findings are shown: as compilers print diagnostics, or as JSON.
#ifndef QUORLEN_LINT_REPORT_H
#define QUORLEN_LINT_REPORT_H

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "input/source_map.h"
#include "lint/lint.h"
#include "record/json_writer.h"

namespace quorlen_tool {

// The line and the 1-based byte column of an offset.
std::pair<int, int> place_of(const source_map& map, std::size_t offset);

// "file:line:column: level: message [code]", the line, and a caret with
// tildes under the span; with colour when asked.  With noted, a code's first
// finding in a run is followed by a note that names the command explaining
// it, and the code is marked in noted (by rule_id).
std::string gcc_report(const std::string& shown_path, const source_map& map,
                       const std::vector<finding>& findings, bool color,
                       std::vector<bool>* noted = nullptr);

// One {"file", "line", "column", "end_line", "end_column", "level", "code",
// "message", "suggestion", "fix"} object per finding, into an open array;
// "fix" is null or a list of {"line", "column", "end_line", "end_column",
// "text"}, places in the text as it was.
void json_report(json_writer& out, const std::string& shown_path,
                 const source_map& map, const std::vector<finding>& findings);

// A unified diff from before to after (---/+++ a/PATH, b/PATH, hunks with
// three lines of context); control characters in the lines escaped.  Empty
// when the two are the same.
std::string unified_diff(const std::string& shown_path,
                         const std::string& before, const std::string& after);

}  // namespace quorlen_tool

#endif
