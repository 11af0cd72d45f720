#include "record_json.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace quorlen_tool {
namespace {

template <std::size_t N>
std::string field_text(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

}  // namespace

nlohmann::ordered_json record_json(const camera_setup& s) {
  nlohmann::ordered_json camera = {
      {"cfg_mode", s.cfg_mode},   {"type", field_text(s.type)},
      {"width", s.width},         {"height", s.height},
      {"bit_width", s.bit_width}, {"format", s.format},
      {"i2c_mode", s.i2c_mode},   {"i2c_addr", s.i2c_addr},
      {"trans_lvl", s.trans_lvl},
  };
  auto entries = nlohmann::ordered_json::array();
  for (std::uint32_t i = 0; i < s.entry_count; ++i) {
    const register_entry& e = s.entries[i];
    auto values = nlohmann::ordered_json::array();
    for (int v = 0; v < e.value_count && v < QUORLEN_MAX_VALUES; ++v) {
      values.push_back(e.values[v]);
    }
    entries.push_back({{"section", e.entry_type & 0xFFFF0000u},
                       {"key", e.entry_type & 0xFFFFu},
                       {"type", e.entry_type},
                       {"values", values}});
  }
  auto controls = nlohmann::ordered_json::array();
  for (std::uint32_t i = 0; i < s.control_count; ++i) {
    const control_entry& c = s.controls[i];
    nlohmann::ordered_json code = nullptr;
    if (c.code != nullptr) code = std::string(c.code);
    controls.push_back({{"min_value", c.min_value},
                        {"max_value", c.max_value},
                        {"step", c.step},
                        {"def", c.def},
                        {"ctrl_name", field_text(c.ctrl_name)},
                        {"func_name", field_text(c.func_name)},
                        {"code", code}});
  }
  return {{"camera", camera}, {"entries", entries}, {"controls", controls}};
}

void free_setup(camera_setup& setup) {
  for (std::uint32_t i = 0; i < setup.control_count; ++i) {
    std::free(setup.controls[i].code);
  }
  std::free(setup.controls);
  std::free(setup.entries);
  setup = camera_setup{};
}

}  // namespace quorlen_tool
