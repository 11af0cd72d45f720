// The section and register key codes, and the number reading the handler
// stores with: what the tool shows and checks the same way.
#ifndef QUORLEN_SETUP_TABLES_H
#define QUORLEN_SETUP_TABLES_H

#include <cstddef>
#include <cstdint>

#include "char_class.h"
#include "quorlen_config_parser.h"

namespace quorlen {

// {name, code, length of name} rows ending with {nullptr, 0, 0}.
struct code_row {
  const char* name;
  std::uint32_t code;
  std::size_t length;
};

extern const code_row section_codes[];
extern const code_row register_key_codes[];

constexpr std::uint32_t CAMERA_SECTION = QUORLEN_SECTION_CAMERA;
constexpr std::uint32_t CONTROL_SECTION = QUORLEN_SECTION_CONTROL;

// The white-space table may be passed by a caller that reads many values.
std::int32_t parse_int32(const char* text,
                         space_class is_space = space_class());
std::int64_t parse_int64(const char* text,
                         space_class is_space = space_class());
void parse_value_list(register_entry* entry, const char* text,
                      space_class is_space = space_class());

}  // namespace quorlen

#endif
