// quorlen-config: dump, convert to JSON, or check camera configuration files.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "diagnostics.h"
#include "lint.h"
#include "lint_report.h"
#include "lsp/lsp.h"
#include "parser/line_parser.h"
#include "record_diff.h"
#include "record_json.h"
#include "record_text.h"
#include "setup/dump.h"
#include "setup/setup_internal.h"

namespace {

constexpr int EXIT_CLEAN = 0;
constexpr int EXIT_FAULTY = 1;   // a faulty line in some file
constexpr int EXIT_TROUBLE = 2;  // a file could not be read, or bad usage

// Collects every faulty line of one file, in the order they are found.
struct fault_log {
  std::string messages;

  static void report(void* context, const quorlen::fault& f) {
    static_cast<fault_log*>(context)->add(f);
  }
  void add(const quorlen::fault& f) {
    messages += ":" + std::to_string(f.line) + ": " +
                quorlen_tool::fault_reason(f) + "\n";
    if (f.text[0] != '\0') {
      messages += "    " + quorlen_tool::escape_text(f.text, true) + "\n";
    }
  }
};

// Parses one file into the record; prints its faults (or why it could not
// be read) to standard error and returns the exit status it deserves.
int parse_reporting(const std::string& path, camera_setup& setup) {
  fault_log log;
  quorlen::parse_observer observer{fault_log::report, &log};
  errno = 0;
  int result = quorlen::parse_into(
      &setup, [&](quorlen::entry_handler handler, void* user) {
        return quorlen::parse_path(path.c_str(), handler, user, &observer);
      });
  if (result < 0) {
    int error = errno;
    std::fprintf(stderr, "quorlen-config: %s: cannot read: %s\n", path.c_str(),
                 std::strerror(error != 0 ? error : EIO));
    return EXIT_TROUBLE;
  }
  // Each message starts ":line:", so the file name goes in front.
  std::size_t start = 0;
  while (start < log.messages.size()) {
    std::size_t end = log.messages.find('\n', start);
    std::string line = log.messages.substr(start, end - start);
    if (line.rfind(":", 0) == 0) line = quorlen_tool::escape_text(path) + line;
    std::fprintf(stderr, "%s\n", line.c_str());
    start = end + 1;
  }
  return result == 0 ? EXIT_CLEAN : EXIT_FAULTY;
}

int run_dump(const std::string& path) {
  camera_setup setup{};
  int status = parse_reporting(path, setup);
  if (status != EXIT_TROUBLE) {
    quorlen::dump_camera_parameters(&setup);
    quorlen::dump_controls(setup);
    quorlen::dump_register_entries(&setup);
    std::fflush(stdout);
  }
  quorlen_tool::free_setup(setup);
  return status;
}

int run_json(const std::string& path) {
  camera_setup setup{};
  int status = parse_reporting(path, setup);
  if (status != EXIT_TROUBLE) {
    nlohmann::ordered_json document = {{"file", path},
                                       {"clean", status == EXIT_CLEAN}};
    document.update(quorlen_tool::record_json(setup));
    // Texts are bytes: anything that is not UTF-8 shows as U+FFFD.
    std::string text = document.dump(
        2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    std::printf("%s\n", text.c_str());
  }
  quorlen_tool::free_setup(setup);
  return status;
}

int run_check(const std::vector<std::string>& paths) {
  int worst = EXIT_CLEAN;
  for (const auto& path : paths) {
    camera_setup setup{};
    int status = parse_reporting(path, setup);
    quorlen_tool::free_setup(setup);
    if (status > worst) worst = status;
  }
  return worst;
}

// The whole file, or false with errno set.
bool read_file(const std::string& path, std::string& bytes) {
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  char block[65536];
  std::size_t got;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0) {
    bytes.append(block, got);
  }
  const bool failed = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);
  if (failed) errno = error != 0 ? error : EIO;
  return !failed;
}

struct lint_options {
  std::vector<std::string> paths;
  std::string format = "gcc";
  std::string color = "auto";
  std::string severity = "warning";
  std::vector<std::string> disable;
};

quorlen_tool::level level_named(const std::string& name) {
  if (name == "error") return quorlen_tool::level::error;
  if (name == "info") return quorlen_tool::level::info;
  return quorlen_tool::level::warning;
}

bool use_color(const std::string& choice) {
  if (choice == "always") return true;
  if (choice == "never") return false;
  const char* term = std::getenv("TERM");
  return isatty(STDOUT_FILENO) != 0 && std::getenv("NO_COLOR") == nullptr &&
         (term == nullptr || std::strcmp(term, "dumb") != 0);
}

// Everything is gathered first, so that nothing half-written is left when a
// file turns out to be unreadable half-way.
int run_lint(const lint_options& options) {
  const quorlen_tool::level floor = level_named(options.severity);
  const bool color = use_color(options.color);
  int status = EXIT_CLEAN;
  std::string text;
  nlohmann::ordered_json all = nlohmann::ordered_json::array();
  for (const auto& path : options.paths) {
    std::string bytes;
    if (!read_file(path, bytes)) {
      std::fprintf(stderr, "quorlen-config: %s: cannot read: %s\n",
                   quorlen_tool::escape_text(path).c_str(),
                   std::strerror(errno));
      status = EXIT_TROUBLE;
      continue;
    }
    camera_setup setup{};
    quorlen_tool::lint_outcome outcome =
        quorlen_tool::lint_bytes(bytes, &setup);
    quorlen_tool::free_setup(setup);
    auto& found = outcome.findings;
    found.erase(std::remove_if(found.begin(), found.end(),
                               [&](const quorlen_tool::finding& f) {
                                 return f.severity < floor ||
                                        std::find(options.disable.begin(),
                                                  options.disable.end(),
                                                  f.code) !=
                                            options.disable.end();
                               }),
                found.end());
    if (!found.empty() && status == EXIT_CLEAN) status = EXIT_FAULTY;
    if (options.format == "json") {
      quorlen_tool::json_report(all, path, found);
    } else {
      text += quorlen_tool::gcc_report(path, bytes, found, color);
    }
  }
  if (options.format == "json") {
    nlohmann::ordered_json document = {{"findings", all}};
    text = document.dump(2, ' ', false,
                         nlohmann::ordered_json::error_handler_t::replace) +
           "\n";
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  return status;
}

// A whole input: a file, or standard input for "-".
bool read_input(const std::string& path, std::string& bytes) {
  if (path != "-") return read_file(path, bytes);
  char block[65536];
  std::size_t got;
  while ((got = std::fread(block, 1, sizeof block, stdin)) > 0)
    bytes.append(block, got);
  return std::ferror(stdin) == 0;
}

int trouble(const std::string& what, const std::string& why) {
  std::fprintf(stderr, "quorlen-config: %s: %s\n",
               quorlen_tool::escape_text(what).c_str(),
               quorlen_tool::escape_text(why).c_str());
  return EXIT_TROUBLE;
}

int run_format(const std::string& path) {
  std::string bytes;
  if (!read_input(path, bytes))
    return trouble(path, std::string("cannot read: ") + std::strerror(errno));
  nlohmann::json document;
  try {
    document = nlohmann::json::parse(bytes);
  } catch (const nlohmann::json::exception& e) {
    return trouble(path, std::string("not JSON: ") + e.what());
  }
  camera_setup setup{};
  std::string text;
  try {
    quorlen_tool::record_from_json(document, setup);
    text = quorlen_tool::write_config(setup);
  } catch (const quorlen_tool::unwritable& e) {
    quorlen_tool::free_setup(setup);
    return trouble(path, e.what());
  }
  quorlen_tool::free_setup(setup);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return EXIT_CLEAN;
}

int run_diff(const std::string& first, const std::string& second,
             const std::string& format) {
  quorlen_tool::parsed_file a, b;
  a.path = first;
  b.path = second;
  for (quorlen_tool::parsed_file* file : {&a, &b}) {
    std::string bytes;
    if (!read_file(file->path, bytes)) {
      return trouble(file->path,
                     std::string("cannot read: ") + std::strerror(errno));
    }
    quorlen_tool::parse_file_bytes(bytes, *file);
  }
  quorlen_tool::record_diff diff = quorlen_tool::diff_records(a, b);
  std::string text = diff.text;
  if (format == "json") {
    text = diff.json.dump(2, ' ', false,
                          nlohmann::ordered_json::error_handler_t::replace) +
           "\n";
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  return diff.same ? EXIT_CLEAN : EXIT_FAULTY;
}

std::string rule_table() {
  std::string table = "Lint codes (level, meaning):\n";
  for (const auto& r : quorlen_tool::lint_rules) {
    table += std::string("  ") + r.code + "  " +
             quorlen_tool::level_name(r.severity) +
             std::string(8 - std::strlen(quorlen_tool::level_name(r.severity)),
                         ' ') +
             r.summary + "\n";
  }
  return table;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Reads camera module configuration files.", "quorlen-config"};
  app.set_version_flag("--version",
                       std::string("quorlen-config ") + QUORLEN_TOOL_VERSION);
  app.require_subcommand(1, 1);

  std::string dump_path, json_path;
  std::vector<std::string> check_paths;
  CLI::App* dump = app.add_subcommand(
      "dump",
      "Print camera parameters and controls (standard error) and "
      "register values (standard output)");
  dump->add_option("FILE", dump_path, "Configuration file")->required();
  CLI::App* json =
      app.add_subcommand("json", "Print the whole record as one JSON document");
  json->add_option("FILE", json_path, "Configuration file")->required();
  CLI::App* check = app.add_subcommand(
      "check", "List every faulty line; print nothing for a clean file");
  check->add_option("FILE", check_paths, "Configuration files")->required();
  lint_options lint_opts;
  CLI::App* lint = app.add_subcommand(
      "lint",
      "Report every place where what a file says differs from what the "
      "record will hold");
  lint->add_option("--format", lint_opts.format,
                   "gcc: file:line:column: level: message [code], the line and "
                   "a caret; json: one document {\"findings\": [...]}")
      ->check(CLI::IsMember({"gcc", "json"}))
      ->capture_default_str();
  lint->add_option(
          "--color", lint_opts.color,
          "Colour the gcc format: auto (only on a terminal), always, never")
      ->check(CLI::IsMember({"auto", "always", "never"}))
      ->capture_default_str();
  lint->add_option(
          "--severity", lint_opts.severity,
          "Report findings of this level and above: error, warning, info")
      ->check(CLI::IsMember({"error", "warning", "info"}))
      ->capture_default_str();
  lint->add_option("--disable", lint_opts.disable,
                   "Codes not to report, separated by commas (Q201,Q301)")
      ->delimiter(',')
      ->check([](const std::string& code) {
        return quorlen_tool::find_rule(code) != nullptr
                   ? std::string()
                   : "unknown code " + code;
      });
  lint->add_option("FILE", lint_opts.paths, "Configuration files")->required();
  lint->footer(
      "A comment '; quorlen-config: disable=CODE[,CODE]' silences those codes "
      "on the next line, or in the whole file when it stands before the first "
      "section header.\nExit status: 0 nothing reported, 1 findings reported, "
      "2 "
      "a file could not be read or the usage is wrong.\n\n" +
      rule_table());
  std::string format_path;
  CLI::App* format = app.add_subcommand(
      "format",
      "Print a configuration file whose parse gives exactly the record that "
      "a 'json' document describes (comments are not kept)");
  format
      ->add_option("FILE", format_path,
                   "JSON document from 'json'; - for standard input")
      ->required();
  std::vector<std::string> diff_paths;
  std::string diff_format = "text";
  CLI::App* diff = app.add_subcommand(
      "diff",
      "Compare what two files set: camera fields, entries per section, "
      "controls by CTRL_NAME");
  diff->add_option("--format", diff_format, "text or json")
      ->check(CLI::IsMember({"text", "json"}))
      ->capture_default_str();
  diff->add_option("FILE", diff_paths, "The two configuration files")
      ->required()
      ->expected(2);
  diff->footer(
      "Exit status: 0 the records are the same, 1 they differ, 2 trouble.");
  bool lsp_stdio = true;
  CLI::App* lsp = app.add_subcommand(
      "lsp",
      "Run a language server for editors (LSP 3.17) on standard input and "
      "output: diagnostics, hover, completion, quick fixes, outline");
  lsp->add_flag("--stdio", lsp_stdio,
                "Talk over standard input and output: the default and only "
                "way, accepted for clients that pass it");
  lsp->footer(
      "Exit status: 0 when the editor sent 'exit' after 'shutdown', 1 when "
      "the session ended otherwise.");
  app.footer(
      "Exit status: 0 all clean, 1 a faulty line, 2 a file could not be "
      "read or the usage is wrong.");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "quorlen-config: %s\n%s", e.what(),
                 app.help().c_str());
    return EXIT_TROUBLE;
  }
  if (dump->parsed()) return run_dump(dump_path);
  if (json->parsed()) return run_json(json_path);
  if (lint->parsed()) return run_lint(lint_opts);
  if (lsp->parsed()) return quorlen_lsp::run_lsp(stdin, stdout);
  if (format->parsed()) return run_format(format_path);
  if (diff->parsed())
    return run_diff(diff_paths[0], diff_paths[1], diff_format);
  return run_check(check_paths);
}
