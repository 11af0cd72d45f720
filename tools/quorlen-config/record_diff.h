// What two configuration files set differently.
#ifndef QUORLEN_RECORD_DIFF_H
#define QUORLEN_RECORD_DIFF_H

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "quorlen_config_parser.h"

namespace quorlen_tool {

// A parsed file, with the line (as an editor counts) of each entry and
// each control's header.
struct parsed_file {
  std::string path;
  camera_setup setup{};
  std::vector<int> entry_lines;
  std::vector<int> control_lines;
  ~parsed_file();
};

// Parses the bytes of a file as the library does; false when they cannot be
// parsed at all.
void parse_file_bytes(const std::string& bytes, parsed_file& file);

struct record_diff {
  bool same = true;
  std::string text;             // for people
  nlohmann::ordered_json json;  // for programs
};

// Camera fields, entries per section (a longest-common-subsequence diff)
// and controls matched by CTRL_NAME.
record_diff diff_records(const parsed_file& a, const parsed_file& b);

}  // namespace quorlen_tool

#endif
