// get and set: one key of a file, read or changed in place.
#include <memory>

#include "commands/edit_commands.h"
#include "commands/tool.h"

namespace quorlen_tool {

namespace {

void add_file_and_key(CLI::App& app, edit_request& request,
                      const char* file_help) {
  add_stdin_name(app, request.stdin_name);
  app.add_option("FILE", request.path, file_help)->required();
  app.add_option("KEY", request.key, "camera.NAME or control.CTRL_NAME.NAME")
      ->required();
}

}  // namespace

runner declare_get(CLI::App& app) {
  auto request = std::make_shared<edit_request>();
  add_file_and_key(app, *request, "Configuration file; - for standard input");
  app.footer(get_help());
  return [request] { return run_get(*request); };
}

runner declare_set(CLI::App& app) {
  auto request = std::make_shared<edit_request>();
  app.add_flag("--force", request->force,
               "Write a value the record will not hold as given, and say "
               "what it holds");
  add_file_and_key(app, *request,
                   "Configuration file, replaced; - edits standard input to "
                   "standard output");
  app.add_option("VALUE", request->value, "The new value")->required();
  app.footer(set_help());
  return [request] { return run_set(*request); };
}

}  // namespace quorlen_tool
