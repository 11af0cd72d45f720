// diff: what two configuration files set differently.
#include <new>

#include "commands/tool.h"
#include "diff/record_diff.h"

namespace quorlen_tool {

namespace {

struct diff_options {
  std::vector<std::string> paths;
  std::string stdin_name = "<stdin>";
  std::string format = "text";
};

// Each file's bytes go once its entries are in the list.
bool load_side(const std::string& path, const diff_options& options,
               loaded_file& file) {
  input in;
  if (!read_input(path, options.stdin_name, in)) return false;
  file.name = in.name;
  load(in.bytes, entries_go::list, file);
  return true;
}

int run_diff(const diff_options& options) {
  if (!stdin_once(options.paths)) return EXIT_TROUBLE;
  loaded_file a, b;
  try {
    if (!load_side(options.paths[0], options, a) ||
        !load_side(options.paths[1], options, b)) {
      return EXIT_TROUBLE;
    }
    const record_diff diff = diff_files(a, b);
    if (options.format == "json") {
      json_writer out(stdout);
      write_json(out, diff, a, b);
    } else {
      write_text(stdout, diff, a, b);
    }
    return written(diff.same() ? EXIT_CLEAN : EXIT_FAULTY);
  } catch (const std::bad_alloc&) {
    return trouble("diff", "out of memory");
  }
}

}  // namespace

runner declare_diff(CLI::App& app) {
  auto options = std::make_shared<diff_options>();
  app.add_option("--format", options->format, "text or json")
      ->check(CLI::IsMember({"text", "json"}))
      ->capture_default_str();
  add_stdin_name(app, options->stdin_name);
  app.add_option("FILE", options->paths,
                 "The two configuration files, A and B; - for standard input")
      ->required()
      ->expected(2);
  app.footer(
      "Camera fields, the entries of each board and register section as a "
      "sequence (a shortest edit script: - removed, + added, ~ changed, with "
      "the line in A and B), and controls matched by CTRL_NAME.\nExit "
      "status: 0 the records are the same, 1 they differ, 2 trouble.");
  return [options] { return run_diff(*options); };
}

}  // namespace quorlen_tool
