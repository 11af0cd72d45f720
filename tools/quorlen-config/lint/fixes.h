// The lint's fixes: the edits its findings carry, checked together by
// linting the text they make, and applied.
#ifndef QUORLEN_FIXES_H
#define QUORLEN_FIXES_H

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "lint/lint.h"

namespace quorlen_tool {

// The findings that count: those that are reported.
using finding_filter = std::function<bool(const finding&)>;

struct fixed_text {
  std::string bytes;                 // the text with the fixes applied
  std::vector<std::size_t> applied;  // indices into the findings
  // A fix left out because it overlaps one applied before it in the file:
  // its finding's index and that one's.
  std::vector<std::pair<std::size_t, std::size_t>> overlapping;
};

// Applies the fixes of the chosen findings, in file order; a fix whose
// edits overlap those of a fix applied already is left out.
fixed_text apply_fixes(const std::string& bytes,
                       const std::vector<finding>& findings,
                       const finding_filter& chosen);

struct fix_outcome {
  fixed_text fixed;            // what the fixes that are kept make
  std::vector<finding> after;  // the lint of fixed.bytes
};

// Keeps the fixes of the chosen findings that, applied together, leave each
// of those findings gone and bring no chosen finding that was not there
// (counted by code and line: a fix never moves a line); every other fix,
// an overlapping one too, is emptied.  It lints the fixed text once; only
// where that shows a fix to be wrong does it lint again, at most a few
// times, to find which, with the bindings of options when given.  Throws
// std::bad_alloc when there is no memory.
fix_outcome settle_fixes(const std::string& bytes,
                         std::vector<finding>& findings,
                         const finding_filter& chosen,
                         const lint_options* options = nullptr);

// Every finding counts.
bool every_finding(const finding&);

}  // namespace quorlen_tool

#endif
