// A record written back as a configuration file.
#ifndef QUORLEN_RECORD_TEXT_H
#define QUORLEN_RECORD_TEXT_H

#include <stdexcept>
#include <string>

#include "quorlen_config_parser.h"
#include "record_compare.h"

namespace quorlen_tool {

// A record that no file can give: the field, and why.
class unwritable : public std::runtime_error {
 public:
  unwritable(const std::string& field, const std::string& why)
      : std::runtime_error(field + ": " + why) {}
};

// The configuration text whose parse, into a zero-filled record, gives
// exactly this record; throws unwritable rather than write anything that
// would read back differently.
std::string write_config(const camera_setup& setup);

// The section text a file writes for a section code, and the key text for
// a register key code; null for none.
const char* section_name(std::uint32_t code);
const char* register_key_name(std::uint32_t code);

}  // namespace quorlen_tool

#endif
