// How lint findings are shown: as compilers print diagnostics, or as JSON.
#ifndef QUORLEN_LINT_REPORT_H
#define QUORLEN_LINT_REPORT_H

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "lint.h"

namespace quorlen_tool {

// "file:line:column: level: message [code]", the line, and a caret under
// the column; with colour when asked.
std::string gcc_report(const std::string& path, const std::string& bytes,
                       const std::vector<finding>& findings, bool color);

// One {"file", "line", "column", "level", "code", "message", "suggestion"}
// object per finding.
void json_report(nlohmann::ordered_json& findings_array,
                 const std::string& path, const std::vector<finding>& findings);

}  // namespace quorlen_tool

#endif
