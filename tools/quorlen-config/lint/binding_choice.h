// Which sensor bindings apply to one file, chosen the same way for the
// commands (lint, check, binding show) and for the language server.
#ifndef QUORLEN_LINT_BINDING_CHOICE_H
#define QUORLEN_LINT_BINDING_CHOICE_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "binding/binding.h"
#include "lint/lint.h"

namespace quorlen_tool {

// Where a file's bindings come from.
struct binding_sources {
  std::vector<std::string> files;  // always applied
  std::string folder;              // each applied where its select matches
  bool allow_outside = false;      // apply a named binding outside the tree
  // How the user applies one outside, for the refusal's words.
  std::string allow_hint = "--allow-binding-outside applies it";
};

// The bindings of one file, and why each is a candidate.
struct file_bindings {
  std::vector<applied_binding> applied;
  std::vector<refused_binding> refused;
  std::vector<std::string> why;  // one for each of applied
  // Bindings that could not be read, when the caller asked to be told
  // instead of a throw: each binding_error's message.
  std::vector<std::string> unread;
  // Keeps applied's bindings alive after the store has read newer ones.
  std::vector<std::shared_ptr<const binding>> held;
};

// Each binding is read once, and again only when its file changes (its
// modification time or size), so an editor's keystroke reads none.
class binding_store {
 public:
  // Throws binding_error for a binding that cannot be read or is refused,
  // unless unread is wanted: then it is listed there and the others apply.
  file_bindings for_file(const binding_sources& sources,
                         const std::string& path, const std::string& bytes,
                         bool list_unread = false);
  std::shared_ptr<const binding> load(const std::string& path,
                                      const std::string& folder);

 private:
  struct entry {
    bool present = false;
    long long seconds = 0, nanoseconds = 0;  // its modification time
    long long size = -1;
    std::shared_ptr<const binding> loaded;
    std::string error;  // why it could not be read, when loaded is null
  };
  std::map<std::string, entry> loaded_;
};

}  // namespace quorlen_tool

#endif
