// The get and set commands: reading and writing files, messages and exit
// status around get_value and set_value.
#ifndef QUORLEN_EDIT_COMMANDS_H
#define QUORLEN_EDIT_COMMANDS_H

#include <string>

namespace quorlen_tool {

// What get and set are asked: FILE (- for standard input, shown under
// stdin_name), KEY and, for set, VALUE.
struct edit_request {
  std::string path;
  std::string stdin_name = "<stdin>";
  std::string key;
  std::string value;
  bool force = false;
};

// Prints what the record holds for the key; 0, or 2 for trouble.
int run_get(const edit_request& request);

// Changes the file so that the record holds the value for the key; 0 when
// written (or already so), 2 when refused or in trouble, and then nothing
// changes.
int run_set(const edit_request& request);

// What each command's --help says below its options.
std::string get_help();
std::string set_help();

}  // namespace quorlen_tool

#endif
