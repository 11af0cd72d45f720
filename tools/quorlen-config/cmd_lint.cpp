// lint: every place where what a file says differs from what the record
// will hold.
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "diagnostics.h"
#include "lint.h"
#include "lint_report.h"
#include "record_compare.h"
#include "tool.h"

namespace quorlen_tool {

namespace {

struct lint_command_options {
  std::vector<std::string> paths;
  std::string stdin_name = "<stdin>";
  std::string format = "gcc";
  std::string color = "auto";
  std::string severity = "warning";
  std::vector<std::string> disable;
};

level level_named(const std::string& name) {
  if (name == "error") return level::error;
  if (name == "info") return level::info;
  return level::warning;
}

bool use_color(const std::string& choice) {
  if (choice == "always") return true;
  if (choice == "never") return false;
  const char* term = std::getenv("TERM");
  return isatty(STDOUT_FILENO) != 0 && std::getenv("NO_COLOR") == nullptr &&
         (term == nullptr || std::strcmp(term, "dumb") != 0);
}

// The findings of one file that the options let through.
std::vector<finding> lint_one(const input& in, const source_map& map,
                              const lint_command_options& options) {
  camera_setup setup{};
  lint_options lean;
  lean.keep_entries = false;
  lean.map = &map;
  lint_outcome outcome;
  try {
    outcome = lint_bytes(in.bytes, &setup, lean);
  } catch (...) {
    free_setup(setup);
    throw;
  }
  free_setup(setup);
  const level floor = level_named(options.severity);
  std::vector<finding>& found = outcome.findings;
  found.erase(std::remove_if(found.begin(), found.end(),
                             [&](const finding& f) {
                               return f.severity < floor ||
                                      std::find(options.disable.begin(),
                                                options.disable.end(),
                                                f.code) !=
                                          options.disable.end();
                             }),
              found.end());
  return std::move(found);
}

// Everything is gathered first, so that nothing half-written is left when a
// file turns out to be unreadable half-way.
int run_lint(const lint_command_options& options) {
  if (!stdin_once(options.paths)) return EXIT_TROUBLE;
  const bool color = use_color(options.color);
  const bool json = options.format == "json";
  int status = EXIT_CLEAN;
  std::string text;
  json_writer all(text);
  if (json) all.begin_object().key("findings").begin_array();
  for (const std::string& path : options.paths) {
    input in;
    if (!read_input(path, options.stdin_name, in)) {
      status = EXIT_TROUBLE;
      continue;
    }
    // The file is split once, for the lint and for showing its lines.
    const source_map map(in.bytes);
    std::vector<finding> found;
    try {
      found = lint_one(in, map, options);
    } catch (const std::bad_alloc&) {
      status = trouble(in.name, "out of memory");
      continue;
    }
    if (!found.empty() && status == EXIT_CLEAN) status = EXIT_FAULTY;
    if (json) {
      json_report(all, in.name, found);
    } else {
      text += gcc_report(escape_text(in.name), map, found, color);
    }
  }
  if (json) {
    all.end_array().end_object();
    all.finish();
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  return written(status);
}

std::string rule_table() {
  std::string table = "Lint codes (level, meaning):\n";
  for (const rule& r : lint_rules) {
    const std::string level = level_name(r.severity);
    table += std::string("  ") + r.code + "  " + level +
             std::string(8 - level.size(), ' ') + r.summary + "\n";
  }
  return table;
}

}  // namespace

runner declare_lint(CLI::App& app) {
  auto options = std::make_shared<lint_command_options>();
  app.add_option("--format", options->format,
                 "gcc: file:line:column: level: message [code], the line and "
                 "a caret under the span; json: one document "
                 "{\"findings\": [...]}")
      ->check(CLI::IsMember({"gcc", "json"}))
      ->capture_default_str();
  app.add_option("--color", options->color,
                 "Colour the gcc format: auto (only on a terminal), always, "
                 "never")
      ->check(CLI::IsMember({"auto", "always", "never"}))
      ->capture_default_str();
  app.add_option("--severity", options->severity,
                 "Report findings of this level and above: error, warning, "
                 "info")
      ->check(CLI::IsMember({"error", "warning", "info"}))
      ->capture_default_str();
  app.add_option("--disable", options->disable,
                 "Codes not to report, separated by commas (Q201,Q301)")
      ->delimiter(',')
      ->check([](const std::string& code) {
        return find_rule(code) != nullptr ? std::string()
                                          : "unknown code " + escape_text(code);
      });
  add_stdin_name(app, options->stdin_name);
  app.add_option("FILE", options->paths,
                 "Configuration files; - for standard input")
      ->required();
  app.footer(
      "A comment '; quorlen-config: disable=CODE[,CODE]' silences those codes "
      "on the next line, or in the whole file when it stands before the first "
      "section header; a code there that does not exist is reported "
      "(Q903).\nExit status: 0 nothing reported, 1 findings reported, 2 a "
      "file could not be read or the usage is wrong.\n\n" +
      rule_table());
  return [options] { return run_lint(*options); };
}

}  // namespace quorlen_tool
