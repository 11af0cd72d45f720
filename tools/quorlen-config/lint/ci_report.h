// A lint report of every file of a run, in the form a person or a CI
// service reads: compiler-style text, the tool's JSON, SARIF 2.1.0 (code
// scanning), GitHub workflow commands (annotations), a GitLab Code Quality
// report, or JUnit XML (one test case a file).
#ifndef QUORLEN_CI_REPORT_H
#define QUORLEN_CI_REPORT_H

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "input/source_map.h"
#include "lint/lint.h"
#include "record/json_writer.h"

namespace quorlen_tool {

enum class report_form { gcc, json, sarif, github, gitlab, junit };

struct report_form_name {
  const char* name;  // as --format takes it
  report_form form;
};
inline constexpr report_form_name report_forms[] = {
    {"gcc", report_form::gcc},       {"json", report_form::json},
    {"sarif", report_form::sarif},   {"github", report_form::github},
    {"gitlab", report_form::gitlab}, {"junit", report_form::junit},
};

// Whether the form shows the fixes a finding carries.
bool shows_fixes(report_form form);

// The report, put together file by file.
class lint_report {
 public:
  lint_report(report_form form, bool color);
  lint_report(const lint_report&) = delete;
  lint_report& operator=(const lint_report&) = delete;

  // One file's findings; name as the file is shown (escaped here where the
  // form needs it), map over the bytes the findings describe.
  void add(const std::string& name, const source_map& map,
           const std::vector<finding>& found);
  // The whole report.  Call once, after the last add.
  std::string finish();
  // A line a code that was found: how often, the code, its summary; the
  // most frequent first, codes in order where the counts are equal.
  std::string statistics() const;

 private:
  report_form form_;
  bool color_;
  std::string text_;
  json_writer json_{text_};
  // The codes whose explain note the gcc form has printed.
  std::vector<bool> noted_ =
      std::vector<bool>(static_cast<std::size_t>(rule_id::count));
  std::array<std::size_t, static_cast<std::size_t>(rule_id::count)> counts_{};
  std::size_t files_ = 0;
  std::size_t failures_ = 0;
};

// A stable name for a finding: it stays the same when lines are added or
// removed elsewhere in the file, since it is made of the file's name, the
// code, the text of the finding's line, its column and how many findings
// before it in the file share all of those.
std::string finding_fingerprint(const std::string& name, const finding& f,
                                std::string_view line_text, int occurrence);

}  // namespace quorlen_tool

#endif
