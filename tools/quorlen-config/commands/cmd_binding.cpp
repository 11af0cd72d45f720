// binding check: bindings against the meta-schema, and their examples
// against the bindings; binding show: which bindings apply to a file, and
// why.
#include <new>

#include "commands/bindings.h"
#include "commands/tool.h"
#include "input/diagnostics.h"
#include "quorlen_core.h"

namespace quorlen_tool {

namespace {

struct binding_command_options {
  std::string action;
  std::vector<std::string> paths;
  std::string stdin_name = "<stdin>";
  binding_flags bindings;
};

// The lint of a text with these bindings.
lint_outcome lint_with(const std::string& bytes,
                       const std::vector<applied_binding>& applied,
                       const std::vector<refused_binding>& refused = {}) {
  camera_setup setup{};
  lint_options options;
  options.keep_entries = false;
  options.bindings = applied;
  options.refused = refused;
  lint_outcome outcome;
  try {
    outcome = lint_bytes(bytes, &setup, options);
  } catch (...) {
    quorlen::release_setup(setup);
    throw;
  }
  quorlen::release_setup(setup);
  return outcome;
}

bool from_binding(const finding& f) {
  return f.code.rfind("Q10", 0) == 0 && f.code.size() == 5;
}

// Each example must be selected by the binding and satisfy it.
int check_binding(const std::string& path, const std::string& folder) {
  std::unique_ptr<binding> b;
  try {
    b = load_binding(path, folder);
  } catch (const binding_error& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return EXIT_TROUBLE;
  }
  int status = EXIT_CLEAN;
  for (std::size_t i = 0; i < b->examples.size(); ++i) {
    const binding_example& example = b->examples[i];
    const std::string where = escape_text(path) + ":" +
                              std::to_string(example.line) +
                              ": error: example " + std::to_string(i + 1);
    const lint_outcome outcome = lint_with(example.text, {{b.get(), false}});
    if (outcome.applied.empty()) {
      std::printf("%s: the binding's select does not match it\n",
                  where.c_str());
      status = EXIT_FAULTY;
      continue;
    }
    for (const finding& f : outcome.findings) {
      if (!from_binding(f)) continue;
      std::printf("%s, line %d: %s [%s]\n", where.c_str(), f.line,
                  f.message.c_str(), f.code.c_str());
      status = EXIT_FAULTY;
    }
  }
  return status;
}

int show_bindings(const binding_command_options& options) {
  binding_store store;
  int status = EXIT_CLEAN;
  for (const std::string& path : options.paths) {
    input in;
    if (!read_input(path, options.stdin_name, in)) {
      status = EXIT_TROUBLE;
      continue;
    }
    const std::string name = escape_text(in.name);
    try {
      const file_bindings chosen =
          store.for_file(options.bindings, path, in.bytes);
      const lint_outcome outcome =
          lint_with(in.bytes, chosen.applied, chosen.refused);
      for (std::size_t i = 0; i < chosen.applied.size(); ++i) {
        const binding& b = *chosen.applied[i].rules;
        const bool applies =
            std::find(outcome.applied.begin(), outcome.applied.end(), &b) !=
            outcome.applied.end();
        std::printf("%s: %s [binding %s]: %s: %s\n", name.c_str(),
                    escape_text(b.path).c_str(), escape_text(b.name).c_str(),
                    applies ? "applies" : "does not apply",
                    applies ? chosen.why[i].c_str()
                            : "its select does not match the record");
      }
      for (const refused_binding& r : chosen.refused) {
        std::printf("%s:%d: not applied: %s\n", name.c_str(), r.line,
                    r.why.c_str());
      }
      if (chosen.applied.empty() && chosen.refused.empty()) {
        std::printf("%s: no binding applies\n", name.c_str());
      }
    } catch (const binding_error& e) {
      std::fprintf(stderr, "%s\n", e.what());
      status = EXIT_TROUBLE;
    } catch (const std::bad_alloc&) {
      status = trouble(in.name, "out of memory");
    }
  }
  return written(status);
}

int run_binding(const binding_command_options& options) {
  if (options.action == "show") return show_bindings(options);
  int status = EXIT_CLEAN;
  for (const std::string& path : options.paths) {
    try {
      status = std::max(status, check_binding(path, options.bindings.folder));
    } catch (const std::bad_alloc&) {
      status = trouble(path, "out of memory");
    }
  }
  return written(status);
}

}  // namespace

runner declare_binding(CLI::App& app) {
  auto options = std::make_shared<binding_command_options>();
  app.add_option("ACTION", options->action,
                 "check: check bindings against the meta-schema and run "
                 "their examples; show: name the bindings that apply to "
                 "configuration files, and why")
      ->check(CLI::IsMember({"check", "show"}))
      ->required();
  app.add_option("FILE", options->paths,
                 "Bindings (check) or configuration files (show); - for "
                 "standard input with show")
      ->required();
  add_binding_flags(app, options->bindings);
  add_stdin_name(app, options->stdin_name);
  app.footer(
      "A binding is a JSON Schema (draft 7, in YAML or JSON) over the "
      "document of 'json', with the fields each file sets under 'set'; see "
      "docs/bindings.md.  check prints each problem as PATH:LINE: error: "
      "why; with --bindings, a $ref may also name a file in that folder.\n"
      "Exit status: 0 every binding is sound and its examples satisfy it, "
      "1 an example does not, 2 a binding or a file cannot be read or is "
      "refused.");
  return [options] { return run_binding(*options); };
}

}  // namespace quorlen_tool
