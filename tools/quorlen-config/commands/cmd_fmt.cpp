// fmt: configuration files laid out again in place, with every comment
// kept; the layout itself is the formatter's (fmt/).
#include <editorconfig/editorconfig.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <new>

#include "commands/tool.h"
#include "fmt/formatter.h"
#include "input/diagnostics.h"
#include "input/edit_file.h"
#include "input/load.h"
#include "lint/lint_report.h"

namespace quorlen_tool {

namespace {

constexpr const char* STDIN_NAME = "<stdin>";
// The widest continuation step an .editorconfig may ask for.
constexpr long MOST_INDENT = 16;

struct fmt_command_options {
  std::vector<std::string> paths;
  walk_globs globs;
  std::string stdin_name = STDIN_NAME;
  bool check = false;
  bool diff = false;
  bool strict = false;
  fmt_options layout;
};

// The path as .editorconfig files are matched against: absolute.
std::string absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char here[PATH_MAX];
  if (getcwd(here, sizeof here) == nullptr) return "";
  return std::string(here) + "/" + path;
}

// What the .editorconfig files that apply to the path say of indentation
// and line ends; other properties are not the formatter's business.
fmt_options with_editorconfig(const std::string& path, const std::string& shown,
                              fmt_options options) {
  const std::string full = absolute(path);
  if (full.empty()) return options;
  editorconfig_handle handle = editorconfig_handle_init();
  if (handle == nullptr) return options;
  const int error = editorconfig_parse(full.c_str(), handle);
  if (error != 0) {
    const char* file = editorconfig_handle_get_err_file(handle);
    std::string why = editorconfig_get_error_msg(error);
    if (file != nullptr)
      why = std::string(file) + ":" + std::to_string(error) + ": " + why;
    std::fprintf(stderr, "quorlen-config: %s: .editorconfig not read: %s\n",
                 escape_text(shown).c_str(), escape_text(why).c_str());
  } else {
    std::string style, size;
    for (int i = 0; i < editorconfig_handle_get_name_value_count(handle); ++i) {
      const char *name = nullptr, *value = nullptr;
      editorconfig_handle_get_name_value(handle, i, &name, &value);
      const std::string key = name, said = value;
      if (key == "indent_style") style = said;
      if (key == "indent_size") size = said;
      if (key == "end_of_line" && said == "lf") options.line_end = "\n";
      if (key == "end_of_line" && said == "crlf") options.line_end = "\r\n";
    }
    const long width = std::strtol(size.c_str(), nullptr, 10);
    if (style == "tab") {
      options.indent = "\t";
    } else if (width > 0 && width <= MOST_INDENT) {
      options.indent = std::string(static_cast<std::size_t>(width), ' ');
    }
  }
  editorconfig_handle_destroy(handle);
  return options;
}

// Lays out one file and puts it back, or shows what would change.  The
// status, and what goes to standard output.
int fmt_one(const std::string& path, const fmt_command_options& options,
            std::string& shown) {
  input in;
  if (!read_input(path, options.stdin_name, in)) return EXIT_TROUBLE;
  const bool named = path != "-" || options.stdin_name != STDIN_NAME;
  const fmt_options layout =
      named ? with_editorconfig(path == "-" ? options.stdin_name : path,
                                in.name, options.layout)
            : options.layout;
  fmt_outcome done;
  try {
    done = format_config(in.bytes, layout);
    if (done.faulty) {
      loaded_file file;
      file.name = in.name;
      load(in.bytes, entries_go::nowhere, file);
      print_faults(file);
    }
  } catch (const std::bad_alloc&) {
    return trouble(in.name, "out of memory");
  }
  if (!done.refused.empty()) {
    return trouble(in.name, "not formatted: " + done.refused);
  }
  int status = done.faulty ? EXIT_FAULTY : EXIT_CLEAN;
  if (done.faulty && options.strict) {
    trouble(in.name, "not formatted: it has faulty lines (--strict)");
    return EXIT_FAULTY;
  }
  const bool changes = done.text != in.bytes;
  if (options.check || options.diff) {
    if (options.check && changes) shown += escape_text(in.name) + "\n";
    if (options.diff) shown += unified_diff(in.name, in.bytes, done.text);
    return changes ? EXIT_FAULTY : status;
  }
  if (path == "-") {
    shown += done.text;
    return status;
  }
  const std::string why = write_back(path, in.bytes, done.text);
  return why.empty() ? status : trouble(in.name, why);
}

// Standard output is written once every file is done, so that a file
// that cannot be read leaves nothing half-shown.
int run_fmt(const fmt_command_options& options) {
  std::vector<std::string> paths;
  if (!stdin_once(options.paths) ||
      !walked(options.paths, options.globs, paths)) {
    return EXIT_TROUBLE;
  }
  int worst = EXIT_CLEAN;
  std::string shown;
  for (const std::string& path : paths) {
    worst = std::max(worst, fmt_one(path, options, shown));
  }
  std::fwrite(shown.data(), 1, shown.size(), stdout);
  return written(worst);
}

std::string fmt_help() {
  return "Lays the files out again and keeps what they say: every comment, "
         "code blocks byte for byte, continuation lines and CR LF line ends "
         "stay; runs of blank lines become one.  It changes only what the "
         "library does not read: 'KEY = value' spacing, blanks at line "
         "ends, indentation where it means nothing (a key, header or comment "
         "indented after a header), continuation lines indented by one step "
         "(four blanks, or what .editorconfig says), one blank line before a "
         "header and the comments above it, and the inline comments of "
         "consecutive lines started in one column (--no-align: one blank "
         "before each).  .editorconfig's indent_style, indent_size and "
         "end_of_line apply.  Faulty lines, lines of more than " +
         std::to_string(LINE_ROOM) +
         " characters (which the library reads in pieces) and the lines "
         "between '# quorlen-config: fmt off' and '# quorlen-config: fmt on' "
         "stay as they are; above a faulty line no line is added or removed, "
         "so it keeps its number.  What is laid out is parsed back first: "
         "the record, the faulty lines and the comments must be the same, or "
         "the file is not written.  FILE is replaced as set replaces it (a "
         "temporary file, then a rename, its mode kept); FILE - lays out "
         "standard input to standard output.  A folder stands for the files "
         "below it that --include names (*.cfg by default) and --exclude does "
         "not, in sorted order; hidden folders are not entered.\n"
         "Exit status: 0 laid out (with --check or --diff: nothing would "
         "change), 1 some file would change (--check, --diff) or has faulty "
         "lines (listed as check lists them; with --strict it is not "
         "written), 2 a file could not be read or written, its layout was "
         "refused, or the usage is wrong.";
}

}  // namespace

runner declare_fmt(CLI::App& app) {
  auto options = std::make_shared<fmt_command_options>();
  app.add_flag("--check", options->check,
               "Change nothing; name each file that would change");
  app.add_flag("--diff", options->diff,
               "Change nothing; print what would change as a unified diff");
  app.add_flag("--strict", options->strict,
               "Leave a file with faulty lines as it is");
  app.add_flag("--align,!--no-align", options->layout.align,
               "Start the inline comments of consecutive lines in one column "
               "(the default), or put one blank before each");
  add_walk_globs(app, options->globs);
  add_stdin_name(app, options->stdin_name);
  app.add_option("FILE", options->paths,
                 "Configuration files, replaced, or folders to walk for them; "
                 "- lays out standard input to standard output")
      ->required();
  app.footer(fmt_help());
  return [options] { return run_fmt(*options); };
}

}  // namespace quorlen_tool
