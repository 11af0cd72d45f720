// quorlen-config: dump, convert to JSON, or check camera configuration files.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "parser/line_parser.h"
#include "record_json.h"
#include "setup/dump.h"
#include "setup/setup_internal.h"

namespace {

constexpr int EXIT_CLEAN = 0;
constexpr int EXIT_FAULTY = 1;   // a faulty line in some file
constexpr int EXIT_TROUBLE = 2;  // a file could not be read, or bad usage

std::string reason(const quorlen::fault& f) {
  const std::string opened = std::to_string(f.block_line);
  switch (f.kind) {
  case quorlen::fault_kind::unclosed_section:
    return "section header without its closing ']'";
  case quorlen::fault_kind::missing_separator:
    return "line has neither '=' nor ':'";
  case quorlen::fault_kind::refused:
    return "the library could not store this entry (out of memory)";
  case quorlen::fault_kind::block_unterminated:
    return "code block opened at line " + opened +
           " reaches the end of the file";
  case quorlen::fault_kind::block_broken_off:
    return "section header inside the code block opened at line " + opened +
           "; the block is dropped and the header not applied";
  case quorlen::fault_kind::block_no_memory:
    return "the code block opened at line " + opened +
           " could not be stored (out of memory)";
  }
  return "faulty line";
}

// Collects every faulty line of one file, in the order they are found.
struct fault_log {
  std::string messages;

  static void report(void* context, const quorlen::fault& f) {
    static_cast<fault_log*>(context)->add(f);
  }
  void add(const quorlen::fault& f) {
    messages += ":" + std::to_string(f.line) + ": " + reason(f) + "\n";
    if (f.text[0] != '\0') messages += "    " + std::string(f.text) + "\n";
  }
};

// Parses one file into the record; prints its faults (or why it could not
// be read) to standard error and returns the exit status it deserves.
int parse_reporting(const std::string& path, camera_setup& setup) {
  fault_log log;
  quorlen::fault_observer observer{fault_log::report, &log};
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
    if (line.rfind(":", 0) == 0) line = path + line;
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
  return run_check(check_paths);
}
