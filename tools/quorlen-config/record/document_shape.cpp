#include "record/document_shape.h"

#include "input/diagnostics.h"
#include "input/field_range.h"
#include "quorlen_config_parser.h"
#include "quorlen_core.h"
#include "record/json_writer.h"
#include "record/record_json.h"

namespace quorlen_tool {

namespace {

using quorlen::field;

std::vector<slot> field_slots(std::uint32_t family) {
  std::vector<slot> slots;
  for (const field* f = quorlen::fields; f->key != nullptr; ++f) {
    if (f->family != family) continue;
    if (f->kind == quorlen::field_kind::text) {
      slots.push_back({f->member, slot_type::text, shape::none, f});
      slots.push_back({std::string(f->member) + "_hex", slot_type::hex,
                       shape::none, f, false});
    } else {
      slots.push_back({f->member, slot_type::integer, shape::none, f, true,
                       quorlen::field_min(*f), quorlen::field_max(*f)});
    }
  }
  return slots;
}

}  // namespace

const std::vector<slot>& slots_of(shape kind) {
  static const std::vector<slot> document = {
      {"file", slot_type::string},
      {"clean", slot_type::boolean},
      {"camera", slot_type::object, shape::camera},
      {"entries", slot_type::array, shape::entries},
      {"controls", slot_type::array, shape::controls}};
  static const std::vector<slot> camera = field_slots(quorlen::CAMERA_SECTION);
  using m = entry_member;
  static const std::vector<slot> entry = {
      {member_name(m::section), slot_type::string},
      {member_name(m::key), slot_type::string},
      {member_name(m::section_code), slot_type::integer, shape::none, nullptr,
       true, 0, UINT32_MAX},
      {member_name(m::key_code), slot_type::integer, shape::none, nullptr, true,
       0, UINT32_MAX},
      {member_name(m::type), slot_type::integer, shape::none, nullptr, true, 0,
       UINT32_MAX},
      {member_name(m::values), slot_type::array, shape::values}};
  static const std::vector<slot> control = [] {
    std::vector<slot> slots = field_slots(quorlen::CONTROL_SECTION);
    slots.push_back({"code", slot_type::code});
    slots.push_back({"code_hex", slot_type::hex, shape::none, nullptr, false});
    return slots;
  }();
  static const std::vector<slot> none;
  switch (kind) {
  case shape::document: return document;
  case shape::camera: return camera;
  case shape::entry: return entry;
  case shape::control: return control;
  default: return none;
  }
}

const char* type_name(slot_type type) {
  switch (type) {
  case slot_type::integer: return "a whole number";
  case slot_type::text:
  case slot_type::hex:
  case slot_type::string: return "a text";
  case slot_type::code: return "a text or null";
  case slot_type::boolean: return "true or false";
  case slot_type::object: return "an object";
  case slot_type::array: return "a list";
  }
  return "something else";
}

std::optional<std::string> bytes_of(const std::string& text,
                                    const std::optional<std::string>& hex,
                                    const char** why) {
  if (!hex) return text;
  const auto nibble = [](char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                  : -1;
  };
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex->size(); i += 2) {
    const int high = nibble((*hex)[i]), low = nibble((*hex)[i + 1]);
    if (high < 0 || low < 0) break;
    bytes += static_cast<char>(high * 16 + low);
  }
  if (bytes.size() * 2 != hex->size()) {
    *why = "not pairs of hex digits (0-9, a-f)";
  } else if (valid_utf8(bytes)) {
    *why = "the bytes are UTF-8, so the text itself says them";
  } else if (json_string(bytes) != json_string(text)) {
    *why = "the bytes disagree with the text";
  } else {
    return bytes;
  }
  return std::nullopt;
}

bool register_family(std::uint32_t code) {
  const std::uint32_t family = quorlen::section_family(code);
  return family == QUORLEN_SECTION_BOARD || family == QUORLEN_SECTION_REGISTER;
}

}  // namespace quorlen_tool
