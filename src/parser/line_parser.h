// The configuration text engine: classifies lines and reports section
// starts, name/value pairs and code blocks to a handler.  It knows nothing of
// what the sections and names mean.
#ifndef QUORLEN_LINE_PARSER_H
#define QUORLEN_LINE_PARSER_H

#include <cstddef>
#include <string_view>

namespace quorlen {

constexpr int MAX_LINE = 200;            // line buffer, its terminator included
constexpr int LINE_ROOM = MAX_LINE - 1;  // the characters one read takes
constexpr int MAX_SECTION = 50;  // current section: at most 49 characters
constexpr int MAX_NAME = 50;     // last name kept for continuation lines

// The lines that open and close a code block, compared without regard to
// case once a line's white space is trimmed.
constexpr const char* BLOCK_START = "======CODE_BLOCK_START======";
constexpr const char* BLOCK_END = "======CODE_BLOCK_END======";

// Whether a line is a comment, given its text from the first character after
// white space: ';', '#' or "//".  (An inline comment is another matter: only
// ';' and "//" after a blank start one.)
constexpr bool starts_comment(std::string_view text) {
  return !text.empty() &&
         (text[0] == ';' || text[0] == '#' ||
          (text[0] == '/' && text.size() > 1 && text[1] == '/'));
}

// Reads one line with the contract of fgets: at most size - 1 characters,
// stops after a newline (kept), always terminates, null at end of input.
using line_reader = char* (*)(char* buffer, int size, void* stream);

// Receives every event; returns nonzero to accept it, 0 to mark its line
// faulty.  Section start: name and value null.  Pair: both set.  Code block:
// name null, value the block's text.  The texts live only during the call;
// the section text is the same buffer throughout a parse and changes only
// just before a section start.
using entry_handler = int (*)(void* user, const char* section, const char* name,
                              const char* value);

enum class fault_kind {
  unclosed_section,    // "[" without its closing "]"
  missing_separator,   // neither '=' nor ':'
  refused,             // the handler refused the line's event
  block_unterminated,  // code block still open at the end of input
  block_broken_off,    // code block interrupted by a section header
  block_no_memory,     // the code block's text could not be stored
};

struct fault {
  fault_kind kind;
  int line;          // the faulty line
  int block_line;    // for code-block faults: the line that opened the block
  const char* text;  // the faulty line's text, trimmed; valid during the call
};

// What a line turned out to be.
enum class line_kind : unsigned char {
  blank,
  comment,
  continuation,    // an indented line that continues the last name's value
  section_header,  // a valid header: the section changes
  pair,            // a name/value line
  faulty,          // no closing ']' or no separator: nothing is reported
  block_start,
  block_text,        // a line inside a code block, kept verbatim
  block_end,         // the end marker: the block is reported
  block_broken_off,  // a section header inside a block: consumed, not applied
};

// One line as the engine read and classified it.  Positions point into the
// line as read, so that their distance from buffer is the byte offset; the
// engine has written terminators into it by then.
struct line_facts {
  int number;          // as the engine counts lines
  const char* buffer;  // the line as read
  const char* start;   // first character after white space (and line 1's
                       // byte-order mark)
  line_kind kind;
  const char* close;      // header: where the section name ends, before it
                          // is cut to MAX_SECTION - 1 characters
  bool open_group;        // header: a later bracket group has no ']'
  const char* value_end;  // pair: where the value was cut (an inline
                          // comment, or the end of the line)
};

// Optional watchers: told of every faulty line, not only the first, and of
// every line with what it was (before the events it causes).  They change
// nothing about the result; a parse without them is built without the tests.
struct parse_observer {
  void (*report)(void* context, const fault& f);
  void* context;
  void (*line)(void* context, const line_facts& facts) = nullptr;
  char shown[MAX_LINE] = {};  // the engine's copy of the faulty line's text
};

// Returns 0 when every line was accepted, otherwise the first faulty line;
// a code block left open at the end of input or broken off by a section
// header reports that line instead, whatever was recorded before.
int parse_lines(line_reader reader, void* stream, entry_handler handler,
                void* user, parse_observer* observer = nullptr);

// Opens the file, parses it and closes it.  Returns -1 when the file cannot
// be opened or a read fails (a directory, an I/O error).
int parse_path(const char* path, entry_handler handler, void* user,
               parse_observer* observer = nullptr);

}  // namespace quorlen

#endif
