// lint: every place where what a file says differs from what the record
// will hold.
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "commands/bindings.h"
#include "commands/tool.h"
#include "input/diagnostics.h"
#include "input/edit_file.h"
#include "lint/ci_report.h"
#include "lint/fixes.h"
#include "lint/lint.h"
#include "lint/lint_report.h"
#include "record/record_compare.h"

namespace quorlen_tool {

namespace {

// What CLI11 gives a flag named without a value.
const std::string IN_PLACE = "true";

struct lint_command_options {
  std::vector<std::string> paths;
  walk_globs globs;
  std::string stdin_name = "<stdin>";
  std::string format = "gcc";
  std::string color = "auto";
  std::string severity = "warning";
  std::vector<std::string> disable;
  std::string fix;          // empty, IN_PLACE or "diff"
  std::string output_file;  // empty: standard output
  bool statistics = false;
  binding_flags bindings;
};

report_form form_named(const std::string& name) {
  for (const report_form_name& f : report_forms) {
    if (name == f.name) return f.form;
  }
  return report_form::gcc;
}

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

// Whether the options let a finding through.
bool reported(const finding& f, const lint_command_options& options) {
  return f.severity >= level_named(options.severity) &&
         std::find(options.disable.begin(), options.disable.end(), f.code) ==
             options.disable.end();
}

std::vector<finding> only_reported(std::vector<finding> found,
                                   const lint_command_options& options) {
  found.erase(
      std::remove_if(found.begin(), found.end(),
                     [&](const finding& f) { return !reported(f, options); }),
      found.end());
  return found;
}

// Every finding of one file, the lint's lean way: each register entry
// leaves the record once it is checked.
std::vector<finding> lint_all(const input& in, const source_map& map,
                              const lint_options& with) {
  camera_setup setup{};
  lint_options lean = with;
  lean.keep_entries = false;
  lean.map = &map;
  lint_outcome outcome;
  try {
    outcome = lint_bytes(in.bytes, &setup, lean);
  } catch (...) {
    quorlen::release_setup(setup);
    throw;
  }
  quorlen::release_setup(setup);
  return std::move(outcome.findings);
}

// What the lint of one file leaves once its findings are in the report.
struct file_report {
  int status = EXIT_CLEAN;
  std::string diff;  // with --fix=diff
};

// The file put back with its fixes, and what is said about them on
// standard error.
int write_fixes(const std::string& path, const input& in,
                const std::vector<finding>& all, const fix_outcome& fixes) {
  for (const auto& [left_out, kept] : fixes.fixed.overlapping) {
    const finding& f = all[left_out];
    const finding& g = all[kept];
    std::fprintf(stderr,
                 "quorlen-config: %s:%d:%d: %s not fixed: its fix overlaps "
                 "that of %s at %d:%d\n",
                 escape_text(in.name).c_str(), f.line, f.column, f.code.c_str(),
                 g.code.c_str(), g.line, g.column);
  }
  const std::string why = write_back(path, in.bytes, fixes.fixed.bytes);
  if (!why.empty()) return trouble(in.name, why);
  const std::size_t applied = fixes.fixed.applied.size();
  if (applied > 0) {
    std::fprintf(stderr, "quorlen-config: %s: %zu %s\n",
                 escape_text(in.name).c_str(), applied,
                 applied == 1 ? "fix applied" : "fixes applied");
  }
  return EXIT_CLEAN;
}

// Lints one file into the report and, with --fix, mends it.  Throws
// std::bad_alloc.
file_report lint_file(const std::string& path, const input& in,
                      const lint_command_options& options, lint_report& out,
                      binding_store& store) {
  file_report report;
  // The file is split once, for the lint and for showing its lines.
  const source_map map(in.bytes);
  const file_bindings chosen_bindings =
      store.for_file(options.bindings, path, in.bytes);
  lint_options with;
  with.bindings = chosen_bindings.applied;
  with.refused = chosen_bindings.refused;
  std::vector<finding> all = lint_all(in, map, with);
  const finding_filter chosen = [&](const finding& f) {
    return reported(f, options);
  };
  std::vector<finding> found;
  if (options.fix.empty()) {
    if (shows_fixes(form_named(options.format))) {
      settle_fixes(in.bytes, all, chosen, &with);
    }
    found = only_reported(std::move(all), options);
    out.add(in.name, map, found);
  } else {
    const fix_outcome fixes = settle_fixes(in.bytes, all, chosen, &with);
    found = only_reported(fixes.after, options);
    // What is left has no fix that was found sound.
    for (finding& f : found) f.fix.clear();
    if (options.fix == "diff") {
      report.diff = unified_diff(in.name, in.bytes, fixes.fixed.bytes);
    } else {
      report.status = write_fixes(path, in, all, fixes);
      // Not written: what is left would describe a text that is nowhere.
      if (report.status == EXIT_TROUBLE) found.clear();
    }
    // The findings after --fix describe the fixed text.
    out.add(in.name, source_map(fixes.fixed.bytes), found);
  }
  if (!found.empty() && report.status == EXIT_CLEAN) {
    report.status = EXIT_FAULTY;
  }
  return report;
}

// Everything is gathered first, so that nothing half-written is left when a
// file turns out to be unreadable half-way; with --fix each file is put
// back as it is done.  With --fix and -, the fixed text goes to standard
// output, so the findings go to standard error.  A report file is written
// only when every file was read, so that a CI job never uploads one that
// leaves a file out.
int run_lint(const lint_command_options& options) {
  std::vector<std::string> paths;
  if (!stdin_once(options.paths) ||
      !walked(options.paths, options.globs, paths)) {
    return EXIT_TROUBLE;
  }
  const bool to_file = !options.output_file.empty();
  lint_report out(form_named(options.format),
                  !to_file && use_color(options.color));
  int status = EXIT_CLEAN;
  std::string diffs;
  binding_store store;
  for (const std::string& path : paths) {
    input in;
    if (!read_input(path, options.stdin_name, in)) {
      status = EXIT_TROUBLE;
      continue;
    }
    file_report report;
    try {
      report = lint_file(path, in, options, out, store);
    } catch (const std::bad_alloc&) {
      status = trouble(in.name, "out of memory");
      continue;
    } catch (const binding_error& e) {
      std::fprintf(stderr, "%s\n", e.what());
      status = EXIT_TROUBLE;
      continue;
    }
    status = std::max(status, report.status);
    diffs += report.diff;
  }
  const std::string text = options.fix == "diff" ? diffs : out.finish();
  const bool piped = options.fix == IN_PLACE &&
                     std::find(options.paths.begin(), options.paths.end(),
                               "-") != options.paths.end();
  std::FILE* shown = piped ? stderr : stdout;
  if (to_file && status != EXIT_TROUBLE) {
    const std::string why = replace_file(options.output_file, text);
    if (!why.empty()) return trouble(options.output_file, why);
  }
  if (options.statistics) {
    const std::string counts = out.statistics();
    std::fwrite(counts.data(), 1, counts.size(), shown);
  } else if (!to_file) {
    std::fwrite(text.data(), 1, text.size(), shown);
  }
  return written(status);
}

std::string rule_table() {
  std::string table =
      "Lint codes (level, fix, meaning); 'quorlen-config explain CODE' says "
      "more:\n";
  for (const rule& r : lint_rules) {
    const std::string level = level_name(r.severity);
    const std::string code = r.code;
    table += "  " + code + std::string(7 - code.size(), ' ') + level +
             std::string(8 - level.size(), ' ') +
             (r.fixes ? "fix  " : "     ") + r.summary + "\n";
  }
  return table;
}

// What --help says below the options.
std::string lint_help() {
  return "A comment '; quorlen-config: disable=CODE[,CODE]' silences those "
         "codes "
         "on the next line, or in the whole file when it stands before the "
         "first "
         "section header; a code there that does not exist is reported "
         "(Q903).\n"
         "Fixes (codes marked 'fix') are offered where the right text is "
         "certain: a section or key with one nearest known name, a ';' or '//' "
         "with text before it and a blank after it, a byte-order mark after "
         "line 1; on a line the library reads whole.  A text or section name "
         "that would be cut has none: what to keep is the author's choice.  "
         "All the fixes of a file are checked together by linting the text "
         "they make: one that would leave its finding or bring a new one "
         "reported is not offered.  Where two overlap, the first in the file "
         "is applied and the other reported as not fixed.  --fix replaces the "
         "file as set does (a temporary file, then a rename, its mode kept).\n"
         "A folder stands for the files below it that --include names "
         "(*.cfg by default) and --exclude does not, in sorted order; hidden "
         "folders are not entered.\n"
         "Exit status: 0 nothing reported, 1 findings reported (with --fix: "
         "left after the fixes), 2 a file could not be read or written or the "
         "usage is wrong.\n\n" +
         rule_table();
}

}  // namespace

runner declare_lint(CLI::App& app) {
  auto options = std::make_shared<lint_command_options>();
  std::vector<std::string> forms;
  for (const report_form_name& f : report_forms) forms.push_back(f.name);
  app.add_option("--format", options->format,
                 "gcc: file:line:column: level: message [code], the line and "
                 "a caret under the span; json: one document "
                 "{\"findings\": [...]}; sarif: SARIF 2.1.0 for code "
                 "scanning; github: workflow commands that annotate a pull "
                 "request; gitlab: a Code Quality report; junit: JUnit XML, a "
                 "test case a file and a failure a finding")
      ->check(CLI::IsMember(forms))
      ->capture_default_str();
  app.add_option("--output-file", options->output_file,
                 "Write the report to this file instead of standard output, "
                 "replaced whole once every file is linted; left as it was "
                 "when a file cannot be read")
      ->type_name("FILE");
  app.add_flag("--statistics", options->statistics,
               "Print how often each code was found, the most frequent "
               "first, in place of the report on standard output (the "
               "report still goes to --output-file)");
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
  app.add_flag("--fix", options->fix,
               "Apply the fixes of the findings reported, in place (- edits "
               "standard input to standard output), then report what is "
               "left; --fix=diff prints them as a unified diff instead and "
               "changes nothing")
      ->check([](const std::string& how) {
        return how == IN_PLACE || how == "diff"
                   ? std::string()
                   : "--fix takes =diff or nothing, not " + escape_text(how);
      })
      ->option_text("[=diff]");
  add_binding_flags(app, options->bindings);
  add_stdin_name(app, options->stdin_name);
  add_walk_globs(app, options->globs);
  app.add_option("FILE", options->paths,
                 "Configuration files, or folders to walk for them; - for "
                 "standard input")
      ->required();
  app.footer(lint_help());
  return [options] { return run_lint(*options); };
}

}  // namespace quorlen_tool
