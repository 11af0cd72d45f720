// Values as the record holds them, and how the text became them: the words
// and numbers hover shows.
#ifndef QUORLEN_LSP_HOVER_VALUES_H
#define QUORLEN_LSP_HOVER_VALUES_H

#include <cstdint>
#include <string>
#include <string_view>

#include "input/diagnostics.h"
#include "quorlen_config_parser.h"
#include "quorlen_core.h"

namespace quorlen_lsp {
namespace hover_values {

// 0x and upper-case hex digits, at least digits of them.
std::string hex(std::uint64_t v, int digits = 0);
std::string code_hex(std::uint32_t code);
using quorlen_tool::in_quotes;
using quorlen_tool::is_blank;
// The text without the white space at its end.
std::string trimmed(const char* text);
// The C type of a row's member, and the member as the record names it.
const char* c_type(const quorlen::field& f);
std::string member(const quorlen::field& f);
// A stored number as the row's kind shows it; a number with its hex.
std::string number_shown(const quorlen::field& f, std::int64_t v);
std::string with_hex(std::int64_t v);
// How the value's text became the number stored: its steps, or empty.
std::string how_read(const quorlen::field& f, const char* value,
                     std::int64_t stored);
// How many values a list holds, as the library splits it.
unsigned pieces_in(const char* value);
// An entry's values in hex, negative ones with their decimal.
std::string values_hex(const register_entry& entry);

}  // namespace hover_values
}  // namespace quorlen_lsp

#endif
