// json: the whole record as one JSON document, written as it goes; or the
// JSON Schema of such a document.
#include <new>

#include "commands/tool.h"
#include "input/load.h"
#include "record/record_json.h"

namespace quorlen_tool {

namespace {

struct json_options {
  std::string path;
  std::string stdin_name = "<stdin>";
  bool schema = false;
};

int run_json(const json_options& options) {
  if (options.schema) {
    json_writer out(stdout);
    write_schema(out);
    out.finish();
    return written(EXIT_CLEAN);
  }
  if (options.path.empty()) {
    return trouble("json", "a FILE is needed (or --schema)");
  }
  loaded_file file;
  {
    input in;
    if (!read_input(options.path, options.stdin_name, in)) return EXIT_TROUBLE;
    file.name = in.name;
    try {
      load(in.bytes, entries_go::list, file);
    } catch (const std::bad_alloc&) {
      return trouble(in.name, "out of memory");
    }
  }
  print_faults(file);
  json_writer out(stdout);
  write_document(out, file.name, file.result == 0, file.record, &file.entries);
  out.finish();
  return written(file.result == 0 ? EXIT_CLEAN : EXIT_FAULTY);
}

}  // namespace

runner declare_json(CLI::App& app) {
  auto options = std::make_shared<json_options>();
  app.add_option("FILE", options->path,
                 "Configuration file; - for standard input");
  add_stdin_name(app, options->stdin_name);
  app.add_flag("--schema", options->schema,
               "Print the JSON Schema of the document instead");
  app.footer(
      "The document holds every camera field, every register entry (section "
      "and key, their codes, type and values) and every control; a text that "
      "is not UTF-8 shows with U+FFFD, and its exact bytes in hex beside it "
      "(NAME_hex).\nExit status: 0 the file is clean, 1 a faulty line "
      "(listed on standard error, as check lists it), 2 the file could not "
      "be read.");
  return [options] { return run_json(*options); };
}

}  // namespace quorlen_tool
