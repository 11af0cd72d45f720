#include "record_json.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "diagnostics.h"
#include "record_text.h"
#include "setup/setup_internal.h"

namespace quorlen_tool {
namespace {

// The text as JSON shows it, and where it is not UTF-8 (which JSON shows
// with U+FFFD) its exact bytes in hex beside it, under NAME_hex.
void put_text(nlohmann::ordered_json& object, const std::string& name,
              const std::string& text) {
  object[name] = text;
  if (!valid_utf8(text)) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (char byte : text) {
      const auto c = static_cast<unsigned char>(byte);
      hex += digits[c >> 4];
      hex += digits[c & 0x0F];
    }
    object[name + "_hex"] = hex;
  }
}

}  // namespace

nlohmann::ordered_json record_json(const camera_setup& s) {
  nlohmann::ordered_json camera = {{"cfg_mode", s.cfg_mode}};
  put_text(camera, "type", field_text(s.type));
  camera.update(nlohmann::ordered_json{
      {"width", s.width},
      {"height", s.height},
      {"bit_width", s.bit_width},
      {"format", s.format},
      {"i2c_mode", s.i2c_mode},
      {"i2c_addr", s.i2c_addr},
      {"trans_lvl", s.trans_lvl},
  });
  auto entries = nlohmann::ordered_json::array();
  for (std::uint32_t i = 0; i < s.entry_count; ++i) {
    const register_entry& e = s.entries[i];
    auto values = nlohmann::ordered_json::array();
    for (int v = 0; v < e.value_count && v < QUORLEN_MAX_VALUES; ++v) {
      values.push_back(e.values[v]);
    }
    const std::uint32_t section = e.entry_type & 0xFFFF0000u;
    const std::uint32_t key = e.entry_type & 0xFFFFu;
    const char* section_text = section_name(section);
    const char* key_text = register_key_name(key);
    entries.push_back(
        {{"section", section_text != nullptr
                         ? nlohmann::ordered_json(section_text)
                         : nlohmann::ordered_json(nullptr)},
         {"key", key_text != nullptr ? nlohmann::ordered_json(key_text)
                                     : nlohmann::ordered_json(nullptr)},
         {"section_code", section},
         {"key_code", key},
         {"type", e.entry_type},
         {"values", values}});
  }
  auto controls = nlohmann::ordered_json::array();
  for (std::uint32_t i = 0; i < s.control_count; ++i) {
    const control_entry& c = s.controls[i];
    nlohmann::ordered_json control = {{"min_value", c.min_value},
                                      {"max_value", c.max_value},
                                      {"step", c.step},
                                      {"def", c.def}};
    put_text(control, "ctrl_name", field_text(c.ctrl_name));
    put_text(control, "func_name", field_text(c.func_name));
    if (c.code != nullptr) {
      put_text(control, "code", c.code);
    } else {
      control["code"] = nullptr;
    }
    controls.push_back(control);
  }
  return {{"camera", camera}, {"entries", entries}, {"controls", controls}};
}

namespace {

using json = nlohmann::json;

// A whole number of the document within [low, high], or unwritable.
std::int64_t number(const json& object, const std::string& name,
                    const std::string& field, std::int64_t low,
                    std::int64_t high) {
  if (!object.is_object() || !object.contains(name)) return 0;
  const json& value = object.at(name);
  if (value.is_number_unsigned()) {
    const auto u = value.get<std::uint64_t>();
    if (u > static_cast<std::uint64_t>(high)) {
      throw unwritable(field,
                       std::to_string(u) + " is beyond what the field holds");
    }
    return static_cast<std::int64_t>(u);
  }
  if (!value.is_number_integer()) throw unwritable(field, "not a whole number");
  const auto v = value.get<std::int64_t>();
  if (v < low || v > high) {
    throw unwritable(field,
                     std::to_string(v) + " is beyond what the field holds");
  }
  return v;
}

// A text of the document, by its exact bytes when they are given in hex.
std::string text(const json& object, const std::string& name,
                 const std::string& field) {
  if (!object.contains(name) || object.at(name).is_null()) return "";
  std::string bytes;
  if (object.contains(name + "_hex")) {
    const json& hex = object.at(name + "_hex");
    if (!hex.is_string() || hex.get<std::string>().size() % 2 != 0) {
      throw unwritable(field, "the hex bytes are not pairs of hex digits");
    }
    const std::string digits = hex.get<std::string>();
    for (std::size_t i = 0; i < digits.size(); i += 2) {
      const auto nibble = [&](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        throw unwritable(field, "the hex bytes are not pairs of hex digits");
      };
      bytes +=
          static_cast<char>(nibble(digits[i]) * 16 + nibble(digits[i + 1]));
    }
  } else if (object.at(name).is_string()) {
    bytes = object.at(name).get<std::string>();
  } else {
    throw unwritable(field, "not a text");
  }
  if (bytes.find('\0') != std::string::npos) {
    throw unwritable(field, "a NUL byte cannot stand in a text");
  }
  return bytes;
}

template <std::size_t N>
void fill(char (&field)[N], const std::string& value, const std::string& name) {
  if (value.size() > N - 1) {
    throw unwritable(name,
                     "more than " + std::to_string(N - 1) + " characters");
  }
  std::memset(field, 0, N);
  std::memcpy(field, value.data(), value.size());
}

// A section or key given by its text or by its code.
std::uint32_t code_of(const json& entry, const char* name,
                      const std::string& field,
                      const quorlen::code_row* table) {
  const std::string code_name = std::string(name) + "_code";
  if (entry.contains(name) && entry.at(name).is_string()) {
    const std::string given = entry.at(name).get<std::string>();
    const std::uint32_t code = quorlen::lookup_code(table, given.c_str());
    if (code == 0)
      throw unwritable(field + "." + name, "'" + given + "' is not known");
    return code;
  }
  for (const std::string& numeric : {std::string(name), code_name}) {
    if (entry.contains(numeric) && entry.at(numeric).is_number()) {
      return static_cast<std::uint32_t>(
          number(entry, numeric, field + "." + numeric, 0, UINT32_MAX));
    }
  }
  throw unwritable(field + "." + name, "missing");
}

}  // namespace

void record_from_json(const nlohmann::json& document, camera_setup& s) {
  s = camera_setup{};
  if (!document.is_object()) throw unwritable("document", "not a JSON object");
  const json camera = document.value("camera", json::object());
  s.cfg_mode = static_cast<std::int32_t>(
      number(camera, "cfg_mode", "camera.cfg_mode", INT32_MIN, INT32_MAX));
  fill(s.type, text(camera, "type", "camera.type"), "camera.type");
  s.width = static_cast<std::int32_t>(
      number(camera, "width", "camera.width", INT32_MIN, INT32_MAX));
  s.height = static_cast<std::int32_t>(
      number(camera, "height", "camera.height", INT32_MIN, INT32_MAX));
  s.bit_width = static_cast<std::uint8_t>(
      number(camera, "bit_width", "camera.bit_width", 0, UINT8_MAX));
  s.format = static_cast<std::uint16_t>(
      number(camera, "format", "camera.format", 0, UINT16_MAX));
  s.i2c_mode = static_cast<std::uint8_t>(
      number(camera, "i2c_mode", "camera.i2c_mode", 0, UINT8_MAX));
  s.i2c_addr = static_cast<std::uint16_t>(
      number(camera, "i2c_addr", "camera.i2c_addr", 0, UINT16_MAX));
  s.trans_lvl = static_cast<std::int32_t>(
      number(camera, "trans_lvl", "camera.trans_lvl", INT32_MIN, INT32_MAX));

  const json entries = document.value("entries", json::array());
  const json controls = document.value("controls", json::array());
  if (!entries.is_array()) throw unwritable("entries", "not a list");
  if (!controls.is_array()) throw unwritable("controls", "not a list");
  try {
    if (!entries.empty()) {
      s.entries = static_cast<register_entry*>(
          std::calloc(entries.size(), sizeof(register_entry)));
      if (s.entries == nullptr) throw std::bad_alloc();
    }
    for (const json& entry : entries) {
      const std::string field =
          "entries[" + std::to_string(s.entry_count) + "]";
      register_entry& e = s.entries[s.entry_count++];
      const std::uint32_t section =
          code_of(entry, "section", field, quorlen::section_codes);
      const std::uint32_t key =
          code_of(entry, "key", field, quorlen::register_key_codes);
      if ((section & 0xFFFFu) != 0 || (key & 0xFFFF0000u) != 0) {
        throw unwritable(field, "section and key codes overlap");
      }
      e.entry_type = section | key;
      if (entry.contains("type") && number(entry, "type", field + ".type", 0,
                                           UINT32_MAX) != e.entry_type) {
        throw unwritable(field + ".type",
                         "is not the section code OR the key code");
      }
      const json values = entry.value("values", json::array());
      if (!values.is_array()) throw unwritable(field + ".values", "not a list");
      if (values.size() > QUORLEN_MAX_VALUES) {
        throw unwritable(field + ".values",
                         std::to_string(values.size()) +
                             " values; an entry holds at most 16");
      }
      for (std::size_t v = 0; v < values.size(); ++v) {
        const json holder = {{"v", values[v]}};
        e.values[v] = static_cast<std::int32_t>(
            number(holder, "v", field + ".values[" + std::to_string(v) + "]",
                   INT32_MIN, INT32_MAX));
      }
      e.value_count = static_cast<std::uint8_t>(values.size());
    }
    if (!controls.empty()) {
      s.controls = static_cast<control_entry*>(
          std::calloc(controls.size(), sizeof(control_entry)));
      if (s.controls == nullptr) throw std::bad_alloc();
    }
    for (const json& control : controls) {
      const std::string field =
          "controls[" + std::to_string(s.control_count) + "]";
      control_entry& c = s.controls[s.control_count++];
      if (!control.is_object()) throw unwritable(field, "not a JSON object");
      c.min_value = number(control, "min_value", field + ".min_value",
                           INT64_MIN, INT64_MAX);
      c.max_value = number(control, "max_value", field + ".max_value",
                           INT64_MIN, INT64_MAX);
      c.step = static_cast<std::int32_t>(
          number(control, "step", field + ".step", INT32_MIN, INT32_MAX));
      c.def = number(control, "def", field + ".def", INT64_MIN, INT64_MAX);
      fill(c.ctrl_name, text(control, "ctrl_name", field + ".ctrl_name"),
           field + ".ctrl_name");
      fill(c.func_name, text(control, "func_name", field + ".func_name"),
           field + ".func_name");
      if (control.contains("code") && !control.at("code").is_null()) {
        const std::string code = text(control, "code", field + ".code");
        c.code = static_cast<char*>(std::malloc(code.size() + 1));
        if (c.code == nullptr) throw std::bad_alloc();
        std::memcpy(c.code, code.c_str(), code.size() + 1);
      }
    }
  } catch (...) {
    free_setup(s);
    throw;
  }
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
