#include "lint/rules.h"

namespace quorlen_tool {

const char* level_name(level l) {
  switch (l) {
  case level::info: return "info";
  case level::warning: return "warning";
  case level::error: return "error";
  }
  return "warning";
}

const rule* find_rule(const std::string& code) {
  for (const rule& r : lint_rules) {
    if (code == r.code) return &r;
  }
  return nullptr;
}

}  // namespace quorlen_tool
