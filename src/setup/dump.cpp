#include "dump.h"

#include <cinttypes>
#include <cstdio>

namespace quorlen {

void dump_camera_parameters(const camera_setup* setup) {
  const camera_setup& s = *setup;
  std::fprintf(stderr, "CFG_MODE : %d\n", s.cfg_mode);
  std::fprintf(stderr, "TYPE     : %.*s\n", static_cast<int>(sizeof s.type),
               s.type);
  std::fprintf(stderr, "WIDTH    : %d\n", s.width);
  std::fprintf(stderr, "HEIGHT   : %d\n", s.height);
  std::fprintf(stderr, "BIT_WIDTH: %d\n", s.bit_width);
  std::fprintf(stderr, "FORMAT   : 0x%02X\n", unsigned{s.format});
  std::fprintf(stderr, "I2C_MODE : %d\n", s.i2c_mode);
  std::fprintf(stderr, "I2C_ADDR : %d\n", s.i2c_addr);
  std::fprintf(stderr, "TRANS_LVL: %d\n", s.trans_lvl);
}

// The 64-bit fields need PRId64: "%ld" is 32 bits on ARM.  A control
// without a code block prints an empty line in place of the code.
void dump_controls(camera_setup setup) {
  for (std::uint32_t i = 0; i < setup.control_count; ++i) {
    const control_entry& c = setup.controls[i];
    std::fprintf(stderr, "MIN_VALUE  = %" PRId64 "\n", c.min_value);
    std::fprintf(stderr, "MAX_VALUE  = %" PRId64 "\n", c.max_value);
    std::fprintf(stderr, "STEP       = %d\n", c.step);
    std::fprintf(stderr, "DEF        = %" PRId64 "\n", c.def);
    std::fprintf(stderr, "CTRL_NAME\t= %.*s\n",
                 static_cast<int>(sizeof c.ctrl_name), c.ctrl_name);
    std::fprintf(stderr, "FUNC_NAME\t= %.*s\n",
                 static_cast<int>(sizeof c.func_name), c.func_name);
    std::fprintf(stderr, "%s\n", c.code != nullptr ? c.code : "");
  }
}

// A header for each run of entries from one section: the upper half of
// the type, which is the section's code.
void dump_register_entries(const camera_setup* setup) {
  std::uint32_t group = 0;
  for (std::uint32_t i = 0; i < setup->entry_count; ++i) {
    const register_entry& e = setup->entries[i];
    std::uint32_t entry_group = e.entry_type >> 16;
    if (entry_group != group) {
      std::fprintf(stderr, "[0x%04X]\n", unsigned{entry_group});
      group = entry_group;
    }
    for (int v = 0; v < e.value_count && v < QUORLEN_MAX_VALUES; ++v) {
      std::printf("0x%04X ", static_cast<unsigned>(e.values[v]));
    }
    std::putchar('\n');
  }
}

}  // namespace quorlen
