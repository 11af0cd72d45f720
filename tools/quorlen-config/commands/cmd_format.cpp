// format: a configuration file written the way a person would, from a json
// document or from a configuration file as it is.
#include <new>

#include "commands/tool.h"
#include "input/diagnostics.h"
#include "input/load.h"
#include "quorlen_core.h"
#include "record/record_json.h"
#include "record/record_text.h"

namespace quorlen_tool {

namespace {

struct format_options {
  std::string path;
  std::string stdin_name = "<stdin>";
  std::string from = "auto";
};

// A document of json starts with '{'; a configuration file hardly does.
bool is_json(const format_options& options, const std::string& bytes) {
  if (options.from != "auto") return options.from == "json";
  for (char c : bytes) {
    if (!is_blank(c)) return c == '{';
  }
  return false;
}

int run_format(const format_options& options) {
  loaded_file file;
  int status = EXIT_CLEAN;
  try {
    input in;
    if (!read_input(options.path, options.stdin_name, in)) return EXIT_TROUBLE;
    file.name = in.name;
    if (is_json(options, in.bytes)) {
      read_document(in.bytes, file.record, file.entries);
    } else {
      load(in.bytes, entries_go::list, file);
      print_faults(file);
      if (file.result != 0) status = EXIT_FAULTY;
    }
  } catch (const unwritable& e) {
    return trouble(file.name, e.what());
  } catch (const std::bad_alloc&) {
    return trouble(file.name, "out of memory");
  }
  std::string text;
  try {
    text = write_config(file.record, &file.entries);
  } catch (const unwritable& e) {
    return trouble(file.name, e.what());
  } catch (const std::bad_alloc&) {
    return trouble(file.name, "out of memory");
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  return written(status);
}

}  // namespace

runner declare_format(CLI::App& app) {
  auto options = std::make_shared<format_options>();
  app.add_option("FILE", options->path,
                 "A JSON document of 'json', or a configuration file; - for "
                 "standard input")
      ->required();
  app.add_option("--from", options->from,
                 "What FILE is: json, config, or auto (json when it starts "
                 "with '{')")
      ->check(CLI::IsMember({"auto", "json", "config"}))
      ->capture_default_str();
  add_stdin_name(app, options->stdin_name);
  app.footer(
      "A JSON document must be exactly what 'json' writes (its JSON Schema: "
      "'json --schema'); anything else is refused with the JSON path of the "
      "first problem.  A record that no file can give is refused too; "
      "nothing is printed that would read back differently.\nExit status: 0 "
      "written, 1 written from a configuration file with faulty lines "
      "(listed as check lists them), 2 refused or unreadable.");
  return [options] { return run_format(*options); };
}

}  // namespace quorlen_tool
