// The options that choose a file's sensor bindings, shared by lint, check
// and binding, and the bindings they choose.
#ifndef QUORLEN_COMMANDS_BINDINGS_H
#define QUORLEN_COMMANDS_BINDINGS_H

#include <CLI/CLI.hpp>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "binding/binding.h"
#include "lint/lint.h"

namespace quorlen_tool {

struct binding_flags {
  std::vector<std::string> files;  // --binding
  std::string folder;              // --bindings
  bool allow_outside = false;      // --allow-binding-outside
};

void add_binding_flags(CLI::App& app, binding_flags& flags);

// The bindings of one file, and why each is a candidate.
struct file_bindings {
  std::vector<applied_binding> applied;
  std::vector<refused_binding> refused;
  std::vector<std::string> why;  // one for each of applied
};

// Each binding is read once, for all the files of a command.
class binding_store {
 public:
  // Throws binding_error for a binding that cannot be read or is refused.
  file_bindings for_file(const binding_flags& flags, const std::string& path,
                         const std::string& bytes);
  const binding& load(const std::string& path, const std::string& folder);

 private:
  std::map<std::string, std::unique_ptr<binding>> loaded_;
};

}  // namespace quorlen_tool

#endif
