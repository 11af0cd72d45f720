// The get and set commands: reading and writing files, messages and exit
// status around get_value and set_value.
#ifndef QUORLEN_EDIT_COMMANDS_H
#define QUORLEN_EDIT_COMMANDS_H

#include <string>

namespace quorlen_tool {

// Prints what the record holds for key; 0, or 2 for trouble.
int run_get(const std::string& path, const std::string& key);

// Changes the file so that the record holds value for key; 0 when written
// (or already so), 2 when refused or in trouble, and then nothing changes.
int run_set(const std::string& path, const std::string& key,
            const std::string& value, bool force);

// What each command's --help says below its options.
std::string get_help();
std::string set_help();

}  // namespace quorlen_tool

#endif
