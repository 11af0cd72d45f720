#include "commands/edit_commands.h"

#include <cstdio>
#include <new>
#include <vector>

#include "commands/tool.h"
#include "edit/edit_key.h"
#include "edit/edit_value.h"
#include "input/diagnostics.h"
#include "input/edit_file.h"

namespace quorlen_tool {

namespace {

// "quorlen-config: FILE[:LINE]: why" on standard error; the why is escaped
// already.
int trouble_at(const std::string& path, int line, const std::string& why) {
  std::string where = escape_text(path);
  if (line > 0) where += ":" + std::to_string(line);
  std::fprintf(stderr, "quorlen-config: %s: %s\n", where.c_str(), why.c_str());
  return EXIT_TROUBLE;
}

void print_notes(const std::string& path,
                 const std::vector<std::string>& notes) {
  for (const std::string& note : notes) {
    std::fprintf(stderr, "quorlen-config: %s: note: %s\n",
                 escape_text(path).c_str(), note.c_str());
  }
}

// FILE:LINE:COLUMN: note: ..., as the lint reports a place in a file.
void print_line_notes(const std::string& path,
                      const std::vector<line_note>& notes) {
  for (const line_note& note : notes) {
    std::fprintf(stderr, "%s:%d:%d: note: %s\n", escape_text(path).c_str(),
                 note.line, note.column, note.text.c_str());
  }
}

// The key and the input, or the exit status of the trouble.
int prepare(const edit_request& request, record_key& key, input& in) {
  std::string why;
  if (!parse_record_key(request.key, key, why)) {
    std::fprintf(stderr, "quorlen-config: %s\n", why.c_str());
    return EXIT_TROUBLE;
  }
  if (!read_input(request.path, request.stdin_name, in)) return EXIT_TROUBLE;
  return EXIT_CLEAN;
}

}  // namespace

int run_get(const edit_request& request) {
  record_key key;
  input in;
  if (const int status = prepare(request, key, in); status != EXIT_CLEAN) {
    return status;
  }
  get_outcome got;
  try {
    got = get_value(in.bytes, key);
  } catch (const std::bad_alloc&) {
    return trouble_at(in.name, 0, "out of memory");
  }
  print_notes(in.name, got.notes);
  if (!got.ok) return trouble_at(in.name, 0, got.error);
  const std::string shown = escape_text(got.value, true) + "\n";
  std::fwrite(shown.data(), 1, shown.size(), stdout);
  return written(EXIT_CLEAN);
}

int run_set(const edit_request& request) {
  record_key key;
  input in;
  if (const int status = prepare(request, key, in); status != EXIT_CLEAN) {
    return status;
  }
  set_outcome set;
  try {
    set = set_value(in.bytes, key, request.value, request.force);
  } catch (const std::bad_alloc&) {
    return trouble_at(in.name, 0, "out of memory");
  }
  print_line_notes(in.name, set.twins);
  if (!set.ok) {
    print_notes(in.name, set.notes);
    return trouble_at(in.name, set.line,
                      escape_text(key.text) + ": " + set.error);
  }
  const std::string why = write_back(request.path, in.bytes, set.bytes);
  if (!why.empty()) return trouble_at(in.name, 0, escape_text(why));
  print_notes(in.name, set.notes);
  return EXIT_CLEAN;
}

std::string get_help() {
  return "Prints what the record holds for KEY in the spelling set takes "
         "back: numbers in decimal, SIZE as 'width, height', FORMAT as its "
         "two bytes 'high, low' (FORMAT = 0x2B, 0x01 prints '43, 1'), texts "
         "with control bytes escaped (\\x1b).  A key the file does not set "
         "prints what a zero-filled record holds.\n"
         "Exit status: 0 printed, 2 the file could not be read or has no "
         "such control, or the usage is wrong.\n\n" +
         key_help();
}

std::string set_help() {
  return "Rewrites the line that sets KEY last, keeping its indentation, the "
         "spacing around its '=' and its comment at its column; a key the "
         "section does not set is added after the section's last name/value "
         "line.  A value that would not be stored as given (not a number, "
         "beyond its field, a text longer than its field, a count of values "
         "the key does not take) is refused with the reason; --force writes "
         "it anyway where a line can carry it, and says what the record "
         "holds.  What is written is parsed back first: the record changes "
         "in KEY alone.  The file is replaced whole (a temporary file in its "
         "folder, then a rename), its mode kept; FILE - edits standard input "
         "to standard output.  Put -- before a VALUE that starts with '-' "
         "and is not a number.\n"
         "Exit status: 0 written, 2 refused, the file could not be read or "
         "written, or the usage is wrong; nothing is written then.\n\n" +
         key_help();
}

}  // namespace quorlen_tool
