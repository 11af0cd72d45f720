// What a file itself asks the lint not to report: a comment
// "; quorlen-config: disable=Q201,Q301" silences those codes on the next
// line, or in the whole file when it stands before the first section header.
#ifndef QUORLEN_SUPPRESSIONS_H
#define QUORLEN_SUPPRESSIONS_H

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "lint/lint_context.h"

namespace quorlen_tool {

// What a comment line says to the tool: the words after "quorlen-config:"
// in "; quorlen-config: WORDS", blanks before them skipped, given the
// comment from its first character; none for any other comment.
std::optional<std::string_view> tool_words(std::string_view comment);

class suppressions {
 public:
  // Reads the comment line being read, if it is such a comment; a code
  // that names no rule is a finding of its own.
  void comment(lint_context& ctx);
  bool silenced(const finding& f) const;

 private:
  std::set<std::string> file_;
  std::map<int, std::set<std::string>> lines_;
};

}  // namespace quorlen_tool

#endif
