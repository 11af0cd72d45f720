// dump: the record in the library's own dump format.
#include <cstring>
#include <new>

#include "commands/tool.h"
#include "input/escaped_output.h"
#include "input/load.h"
#include "setup/dump.h"

namespace quorlen_tool {

namespace {

struct dump_options {
  std::string path;
  std::string stdin_name = "<stdin>";
};

// The library's routines print the record as it is; the texts of a file
// reach the terminal escaped, and each section header stands before its
// entries as when the routines are called from C.
int run_dump(const dump_options& options) {
  loaded_file file;
  {
    input in;
    if (!read_input(options.path, options.stdin_name, in)) return EXIT_TROUBLE;
    file.name = in.name;
    try {
      load(in.bytes, entries_go::record, file);
    } catch (const std::bad_alloc&) {
      return trouble(in.name, "out of memory");
    }
  }
  print_faults(file);
  int error;
  {
    escaped_output escaped;
    quorlen::dump_camera_parameters(&file.record);
    quorlen::dump_controls(file.record);
    quorlen::dump_register_entries(&file.record);
    error = escaped.finish();
  }
  if (error != 0) return trouble("standard output", std::strerror(error));
  return written(file.result == 0 ? EXIT_CLEAN : EXIT_FAULTY);
}

}  // namespace

runner declare_dump(CLI::App& app) {
  auto options = std::make_shared<dump_options>();
  app.add_option("FILE", options->path,
                 "Configuration file; - for standard input")
      ->required();
  add_stdin_name(app, options->stdin_name);
  app.footer(
      "Camera parameters, controls and section headers go to standard error, "
      "register values to standard output, in the order they are written, "
      "also into one file (2>&1).  Control characters in the file's texts "
      "are shown escaped (\\x1b, or \\x{1b} before a hex digit).\nExit status: "
      "0 the file is clean, 1 a faulty line (listed first, as check lists "
      "it), 2 the file could not be read.");
  return [options] { return run_dump(*options); };
}

}  // namespace quorlen_tool
