// Texts shared by the tool's commands that report on a file.
#ifndef QUORLEN_DIAGNOSTICS_H
#define QUORLEN_DIAGNOSTICS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "quorlen_core.h"

namespace quorlen_tool {

// Why a line is faulty, in the file's own terms.
std::string fault_reason(const quorlen::fault& f);

// Length of the valid UTF-8 sequence at text[i] (setting *code to the code
// point it spells), or 0 when none starts there.
std::size_t utf8_sequence(std::string_view text, std::size_t i,
                          std::uint32_t* code);

bool valid_utf8(std::string_view text);

// The bytes as they may be shown on a terminal: valid UTF-8 passes, while
// control characters (C0, DEL and C1) and bytes that are not UTF-8 become
// \xNN, so that a hostile file cannot drive the terminal; a tab becomes \t.
// An escape is never followed by a hex digit it could be read with: before
// one the byte is written \x{NN}.  A backslash of the text passes as it is.
// With keep_tabs a tab stays a tab, for echoing a line above a caret.
std::string escape_text(std::string_view text, bool keep_tabs = false);

// Only the control characters escaped (C0 but tab and newline, DEL, and
// C1, as a byte of its own or in UTF-8), in the forms above: what the dump
// prints stays as it was for any file without them, whatever its encoding.
std::string escape_controls(std::string_view text);

// escape_controls of a text that may go on: appends what can be shown of
// it now and returns how many of its bytes that used.  With more set, a
// UTF-8 sequence cut at the end waits for its end, and a control at the end
// for the character after it, which decides its form.
std::size_t append_controls_escaped(std::string& out, std::string_view text,
                                    bool more);

// 'text', escaped.
std::string in_quotes(std::string_view text);

// White space as the library reads it.
bool is_blank(char c);

// The column where text ends when it starts a line, with a tab stop every
// 8 columns; the continuation bytes of UTF-8 take no room.
std::size_t width_of(std::string_view text);

// A number in decimal, or as 0x and upper-case hex digits; a negative
// number always in decimal.
std::string number_text(std::int64_t value, bool hex);

// What to put under an echoed line (escaped as above) so that a caret lands
// at the byte offset given: blanks, and the line's own tabs.
std::string caret_padding(std::string_view text, std::size_t offset);

// The caret and the tildes that follow it under the bytes [begin, end) of
// an echoed line: "^~~~".
std::string caret_marks(std::string_view text, std::size_t begin,
                        std::size_t end);

}  // namespace quorlen_tool

#endif
