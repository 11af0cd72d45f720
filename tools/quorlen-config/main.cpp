// quorlen-config: check, dump, convert, lint, write and compare camera
// configuration files.  Each command is a row of the table below and a
// file of its own; help and an unknown command read the same table.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstring>
#include <string>

#include "commands/tool.h"
#include "input/diagnostics.h"
#include "lint/lint_context.h"

namespace {

using namespace quorlen_tool;

const command commands[] = {
    {"check", "List every faulty line; print nothing for a clean file",
     declare_check},
    {"dump",
     "Print camera parameters and controls (standard error) and register "
     "values (standard output)",
     declare_dump},
    {"json", "Print the whole record as one JSON document", declare_json},
    {"lint",
     "Report every place where what a file says differs from what the "
     "record will hold",
     declare_lint},
    {"format",
     "Print a configuration file, written as a person would, from a 'json' "
     "document or a configuration file (comments are not kept)",
     declare_format},
    {"fmt",
     "Lay configuration files out again in place, keeping every comment; "
     "--check and --diff show what would change",
     declare_fmt},
    {"diff",
     "Compare what two files set: camera fields, entries per section, "
     "controls by CTRL_NAME",
     declare_diff},
    {"get", "Print what the record holds for one key", declare_get},
    {"set",
     "Change a file so that the record holds VALUE for KEY, keeping every "
     "other line as it is",
     declare_set},
    {"lsp",
     "Run a language server for editors (LSP 3.17) on standard input and "
     "output: diagnostics, hover, completion, quick fixes, outline",
     declare_lsp},
    {"explain",
     "Explain a lint code: what it means, why it matters for the camera, an "
     "example and its correction, its fix, how to silence it",
     declare_explain},
    {"binding",
     "Check sensor bindings and run their examples (check), or name the "
     "bindings that apply to a file (show)",
     declare_binding},
};

const command* find_command(const std::string& name) {
  for (const command& c : commands) {
    if (name == c.name) return &c;
  }
  return nullptr;
}

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// The list of commands, after why it is shown.
int list_commands(const std::string& why) {
  std::fprintf(stderr, "quorlen-config: %s\nCommands:\n", why.c_str());
  for (const command& c : commands) {
    std::fprintf(stderr, "  %-9s%s\n", c.name, c.summary);
  }
  std::fprintf(stderr, "  %-9s%s\n", "help",
               "Print the help of the tool or of a command");
  std::fprintf(stderr,
               "Run 'quorlen-config help COMMAND' for a command's options.\n");
  return EXIT_TROUBLE;
}

int unknown_command(const std::string& name) {
  std::vector<const char*> names;
  for (const command& c : commands) names.push_back(c.name);
  names.push_back("help");
  const char* near = nearest(names, name, lower);
  return list_commands(
      "unknown command '" + escape_text(name) + "'" +
      (near != nullptr ? "; did you mean '" + std::string(near) + "'?" : ""));
}

// help [COMMAND]: the tool's help or a command's.
runner declare_help(CLI::App& app, CLI::App& tool) {
  auto name = std::make_shared<std::string>();
  app.add_option("COMMAND", *name, "The command to explain");
  return [name, &tool] {
    if (name->empty()) {
      std::fputs(tool.help().c_str(), stdout);
      return written(EXIT_CLEAN);
    }
    if (find_command(*name) == nullptr && *name != "help") {
      return unknown_command(*name);
    }
    std::fputs(tool.get_subcommand(*name)->help(tool.get_name()).c_str(),
               stdout);
    return written(EXIT_CLEAN);
  };
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App tool{"Reads camera module configuration files.", "quorlen-config"};
  tool.set_version_flag("--version",
                        std::string("quorlen-config ") + QUORLEN_TOOL_VERSION);
  tool.require_subcommand(1, 1);
  tool.footer(
      "Every command that reads a file takes - for standard input.\nExit "
      "status: 0 all clean, 1 a faulty line, a finding or a difference, 2 a "
      "file could not be read or the usage is wrong.");
  std::vector<std::pair<CLI::App*, runner>> table;
  for (const command& c : commands) {
    CLI::App* app = tool.add_subcommand(c.name, c.summary);
    table.emplace_back(app, c.declare(*app));
  }
  CLI::App* help =
      tool.add_subcommand("help", "Print the help of the tool or of a command");
  table.emplace_back(help, declare_help(*help, tool));

  if (argc < 2) return list_commands("a command is needed");
  if (argv[1][0] != '-' && find_command(argv[1]) == nullptr &&
      std::strcmp(argv[1], "help") != 0) {
    return unknown_command(argv[1]);
  }
  try {
    tool.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return tool.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return tool.exit(e);
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "quorlen-config: %s\n%s",
                 escape_text(e.what()).c_str(), tool.help().c_str());
    return EXIT_TROUBLE;
  }
  for (auto& [app, run] : table) {
    if (app->parsed()) return run();
  }
  return EXIT_TROUBLE;
}
