// The options that choose a file's sensor bindings, shared by lint, check
// and binding; the choosing itself is lint/binding_choice.h's.
#ifndef QUORLEN_COMMANDS_BINDINGS_H
#define QUORLEN_COMMANDS_BINDINGS_H

#include <CLI/CLI.hpp>

#include "lint/binding_choice.h"

namespace quorlen_tool {

using binding_flags = binding_sources;

void add_binding_flags(CLI::App& app, binding_flags& flags);

}  // namespace quorlen_tool

#endif
