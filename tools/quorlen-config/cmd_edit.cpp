// get and set: one key of a file, read or changed in place.
#include <memory>

#include "edit_commands.h"
#include "tool.h"

namespace quorlen_tool {

namespace {

struct edit_options {
  std::string path, key, value;
  bool force = false;
};

void add_file_and_key(CLI::App& app, edit_options& options,
                      const char* file_help) {
  app.add_option("FILE", options.path, file_help)->required();
  app.add_option("KEY", options.key, "camera.NAME or control.CTRL_NAME.NAME")
      ->required();
}

}  // namespace

runner declare_get(CLI::App& app) {
  auto options = std::make_shared<edit_options>();
  add_file_and_key(app, *options, "Configuration file; - for standard input");
  app.footer(get_help());
  return [options] { return run_get(options->path, options->key); };
}

runner declare_set(CLI::App& app) {
  auto options = std::make_shared<edit_options>();
  app.add_flag("--force", options->force,
               "Write a value the record will not hold as given, and say "
               "what it holds");
  add_file_and_key(app, *options,
                   "Configuration file, replaced; - edits standard input to "
                   "standard output");
  app.add_option("VALUE", options->value, "The new value")->required();
  app.footer(set_help());
  return [options] {
    return run_set(options->path, options->key, options->value, options->force);
  };
}

}  // namespace quorlen_tool
