#include "commands/bindings.h"

namespace quorlen_tool {

void add_binding_flags(CLI::App& app, binding_flags& flags) {
  app.add_option("--binding", flags.files,
                 "Check the file against this sensor binding (YAML or JSON); "
                 "may be given more than once");
  app.add_option("--bindings", flags.folder,
                 "Check the file against every binding in this folder whose "
                 "select matches its record");
  app.add_flag("--allow-binding-outside", flags.allow_outside,
               "Apply a binding that the file names in a comment even where "
               "it lies outside the file's folder tree");
}

}  // namespace quorlen_tool
