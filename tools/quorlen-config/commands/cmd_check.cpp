// check: every faulty line of each file, with the reason.
#include <new>

#include "commands/tool.h"
#include "input/load.h"
#include "input/source_map.h"

namespace quorlen_tool {

namespace {

struct check_options {
  std::vector<std::string> paths;
  walk_globs globs;
  std::string stdin_name = "<stdin>";
};

// The entries are not kept: only the faults count.
int check_one(const std::string& path, const check_options& options) {
  input in;
  if (!read_input(path, options.stdin_name, in)) return EXIT_TROUBLE;
  loaded_file file;
  file.name = in.name;
  try {
    load(in.bytes, entries_go::nowhere, file);
  } catch (const std::bad_alloc&) {
    return trouble(in.name, "out of memory");
  }
  print_faults(file);
  return file.result == 0 ? EXIT_CLEAN : EXIT_FAULTY;
}

int run_check(const check_options& options) {
  std::vector<std::string> paths;
  if (!stdin_once(options.paths) ||
      !walked(options.paths, options.globs, paths)) {
    return EXIT_TROUBLE;
  }
  int worst = EXIT_CLEAN;
  for (const std::string& path : paths) {
    const int status = check_one(path, options);
    if (status > worst) worst = status;
  }
  return worst;
}

}  // namespace

runner declare_check(CLI::App& app) {
  auto options = std::make_shared<check_options>();
  app.add_option("FILE", options->paths,
                 "Configuration files, or folders to walk for them; - for "
                 "standard input")
      ->required();
  add_walk_globs(app, options->globs);
  add_stdin_name(app, options->stdin_name);
  app.footer(
      "A folder stands for the files below it that --include names (*.cfg "
      "by default) and --exclude does not, in sorted order; hidden folders "
      "are not entered.\n"
      "Each faulty line as FILE:LINE: reason, with the line below it.  Lines "
      "are numbered as an editor counts them; after a line of more than " +
      std::to_string(LINE_ROOM) +
      " characters the library's count runs ahead, and the message gives it "
      "too.\nExit status: 0 every file is clean, 1 a faulty line, 2 a file "
      "could not be read.");
  return [options] { return run_check(*options); };
}

}  // namespace quorlen_tool
