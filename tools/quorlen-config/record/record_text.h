// A record written back as a configuration file.
#ifndef QUORLEN_RECORD_TEXT_H
#define QUORLEN_RECORD_TEXT_H

#include <stdexcept>
#include <string>

#include "input/entry_list.h"
#include "quorlen_config_parser.h"
#include "record/record_compare.h"

namespace quorlen_tool {

// A record that no file can give, or a document that is not one json
// writes: the JSON path of the field, and why.
class unwritable : public std::runtime_error {
 public:
  unwritable(const std::string& path, const std::string& why)
      : std::runtime_error(path + ": " + why) {}
};

// The configuration text whose parse, into a zero-filled record, gives
// exactly this record, with the entries of the list when one is given;
// throws unwritable rather than write anything that would read back
// differently, which it makes sure of by parsing what it wrote.
std::string write_config(const camera_setup& record,
                         const entry_list* entries = nullptr);

}  // namespace quorlen_tool

#endif
