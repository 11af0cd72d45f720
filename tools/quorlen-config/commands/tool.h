// What the commands share: exit statuses, reading an input, reporting
// trouble, and the option that names standard input.
#ifndef QUORLEN_TOOL_H
#define QUORLEN_TOOL_H

#include <CLI/CLI.hpp>
#include <functional>
#include <string>
#include <vector>

#include "input/file_walk.h"

namespace quorlen_tool {

constexpr int EXIT_CLEAN = 0;
constexpr int EXIT_FAULTY = 1;   // a faulty line, a finding, a difference
constexpr int EXIT_TROUBLE = 2;  // unreadable input, bad usage, no memory

// What runs a command once its command line is parsed.
using runner = std::function<int()>;

// A row of the command table: the command's name, one line for the list
// of commands, and what declares its arguments on its CLI11 app and
// returns its runner.
struct command {
  const char* name;
  const char* summary;
  runner (*declare)(CLI::App& app);
};

runner declare_check(CLI::App& app);
runner declare_dump(CLI::App& app);
runner declare_json(CLI::App& app);
runner declare_lint(CLI::App& app);
runner declare_format(CLI::App& app);
runner declare_fmt(CLI::App& app);
runner declare_diff(CLI::App& app);
runner declare_get(CLI::App& app);
runner declare_set(CLI::App& app);
runner declare_lsp(CLI::App& app);
runner declare_explain(CLI::App& app);
runner declare_binding(CLI::App& app);

// A file's bytes, or standard input's for "-".
struct input {
  std::string name;  // as shown: the path, or the name of standard input
  std::string bytes;
};

// The --stdin-filename option, for the name standard input is shown under.
void add_stdin_name(CLI::App& app, std::string& name);

// Reads the file, or standard input for "-"; on failure prints why and
// returns false.
bool read_input(const std::string& path, const std::string& stdin_name,
                input& in);

// --include and --exclude, for the files a folder stands for.
void add_walk_globs(CLI::App& app, walk_globs& globs);

// The paths with each folder walked (walk_paths); on failure prints why
// and returns false.
bool walked(const std::vector<std::string>& paths, const walk_globs& globs,
            std::vector<std::string>& files);

// Standard input can be read once: false, with a message, when "-" is
// named more than once.
bool stdin_once(const std::vector<std::string>& paths);

// "quorlen-config: what: why" on standard error, escaped; returns
// EXIT_TROUBLE.
int trouble(const std::string& what, const std::string& why);

// Flushes standard output: the status, or EXIT_TROUBLE when the output
// could not be written.
int written(int status);

}  // namespace quorlen_tool

#endif
