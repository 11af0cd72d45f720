// Whether two records hold the same, field by field.
#ifndef QUORLEN_RECORD_COMPARE_H
#define QUORLEN_RECORD_COMPARE_H

#include <cstring>

#include "quorlen_config_parser.h"

namespace quorlen_tool {

// Every field, entry, control and code byte (values past value_count and
// the reserved field aside).
inline bool same_setup(const camera_setup& a, const camera_setup& b) {
  const auto same_text = [](const char* x, const char* y, std::size_t size) {
    return strncmp(x, y, size) == 0;
  };
  if (a.cfg_mode != b.cfg_mode || !same_text(a.type, b.type, sizeof a.type) ||
      a.width != b.width || a.height != b.height ||
      a.bit_width != b.bit_width || a.format != b.format ||
      a.i2c_mode != b.i2c_mode || a.i2c_addr != b.i2c_addr ||
      a.trans_lvl != b.trans_lvl || a.entry_count != b.entry_count ||
      a.control_count != b.control_count) {
    return false;
  }
  for (std::uint32_t i = 0; i < a.entry_count; ++i) {
    const register_entry& x = a.entries[i];
    const register_entry& y = b.entries[i];
    if (x.entry_type != y.entry_type || x.value_count != y.value_count ||
        std::memcmp(x.values, y.values, sizeof(std::int32_t) * x.value_count) !=
            0) {
      return false;
    }
  }
  for (std::uint32_t i = 0; i < a.control_count; ++i) {
    const control_entry& x = a.controls[i];
    const control_entry& y = b.controls[i];
    if (x.min_value != y.min_value || x.max_value != y.max_value ||
        x.step != y.step || x.def != y.def ||
        !same_text(x.ctrl_name, y.ctrl_name, sizeof x.ctrl_name) ||
        !same_text(x.func_name, y.func_name, sizeof x.func_name) ||
        (x.code == nullptr) != (y.code == nullptr) ||
        (x.code != nullptr && std::strcmp(x.code, y.code) != 0)) {
      return false;
    }
  }
  return true;
}

}  // namespace quorlen_tool

#endif
