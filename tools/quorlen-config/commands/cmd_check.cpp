// check: every faulty line of each file, with the reason.
#include <new>

#include "commands/bindings.h"
#include "commands/tool.h"
#include "input/diagnostics.h"
#include "input/load.h"
#include "input/source_map.h"
#include "quorlen_core.h"

namespace quorlen_tool {

namespace {

struct check_options {
  std::vector<std::string> paths;
  std::string stdin_name = "<stdin>";
  walk_globs globs;
  binding_flags bindings;
};

// What the file's bindings refuse, as check lists faulty lines; true when
// there is any.  Throws binding_error and std::bad_alloc.
bool check_bindings(const std::string& path, const input& in,
                    const check_options& options, binding_store& store) {
  const file_bindings chosen = store.for_file(options.bindings, path, in.bytes);
  if (chosen.applied.empty() && chosen.refused.empty()) return false;
  camera_setup setup{};
  lint_options with;
  with.keep_entries = false;
  with.bindings = chosen.applied;
  with.refused = chosen.refused;
  lint_outcome outcome;
  try {
    outcome = lint_bytes(in.bytes, &setup, with);
  } catch (...) {
    quorlen::release_setup(setup);
    throw;
  }
  quorlen::release_setup(setup);
  const source_map map(in.bytes);
  bool any = false;
  for (const finding& f : outcome.findings) {
    if (f.code.size() != 5 || f.code.rfind("Q10", 0) != 0) continue;
    std::printf("%s:%d: %s [%s]\n    %s\n", escape_text(in.name).c_str(),
                f.line, f.message.c_str(), f.code.c_str(),
                escape_text(map.line_text(f.line), true).c_str());
    any = true;
  }
  return any;
}

// The entries are not kept: only the faults count.
int check_one(const std::string& path, const check_options& options,
              binding_store& store) {
  input in;
  if (!read_input(path, options.stdin_name, in)) return EXIT_TROUBLE;
  loaded_file file;
  file.name = in.name;
  bool refused = false;
  try {
    load(in.bytes, entries_go::nowhere, file);
    print_faults(file);
    refused = check_bindings(path, in, options, store);
  } catch (const std::bad_alloc&) {
    return trouble(in.name, "out of memory");
  } catch (const binding_error& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return EXIT_TROUBLE;
  }
  return file.result == 0 && !refused ? EXIT_CLEAN : EXIT_FAULTY;
}

int run_check(const check_options& options) {
  std::vector<std::string> paths;
  if (!stdin_once(options.paths) ||
      !walked(options.paths, options.globs, paths)) {
    return EXIT_TROUBLE;
  }
  int worst = EXIT_CLEAN;
  binding_store store;
  for (const std::string& path : paths) {
    const int status = check_one(path, options, store);
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
  add_binding_flags(app, options->bindings);
  app.footer(
      "A folder stands for the files below it that --include names (*.cfg "
      "by default) and --exclude does not, in sorted order; hidden folders "
      "are not entered.\n"
      "Each faulty line as FILE:LINE: reason, with the line below it.  Lines "
      "are numbered as an editor counts them; after a line of more than " +
      std::to_string(LINE_ROOM) +
      " characters the library's count runs ahead, and the message gives it "
      "too.  With a sensor binding (--binding, --bindings, or a comment '; "
      "quorlen-config: binding=PATH' before the first section header), what "
      "it refuses is listed the same way, with its lint code.\nExit status: 0 "
      "every file is clean, 1 a faulty line, 2 a file "
      "could not be read.");
  return [options] { return run_check(*options); };
}

}  // namespace quorlen_tool
