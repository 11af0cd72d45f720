#include "record/record_build.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "input/diagnostics.h"
#include "quorlen_core.h"

namespace quorlen_tool {

namespace {

// A text member's bytes, from the member after it (NAME_hex) when given.
std::optional<std::string> text_bytes(const object_read& o, std::size_t slot,
                                      std::optional<refusal>& refused) {
  std::optional<std::string> hex;
  if (o.seen[slot + 1]) hex = o.texts[slot + 1];
  const char* why = nullptr;
  std::optional<std::string> bytes = bytes_of(o.texts[slot], hex, &why);
  if (!bytes) refused = refusal{slot + 1, why};
  return bytes;
}

std::optional<refusal> no_nul(const std::string& bytes, std::size_t slot) {
  if (bytes.find('\0') == std::string::npos) return std::nullopt;
  return refusal{slot, "a NUL byte cannot stand in a text"};
}

}  // namespace

record_builder::~record_builder() {
  for (control_entry& c : controls_) std::free(c.code);
}

std::optional<refusal> record_builder::finish(const object_read& o) {
  switch (o.kind) {
  case shape::camera: return fields(o, &record_);
  case shape::entry: return entry(o);
  case shape::control: return control(o);
  default: return std::nullopt;
  }
}

// The numbers and texts of a camera or a control, as the table stores them.
std::optional<refusal> record_builder::fields(const object_read& o,
                                              void* record) {
  const std::vector<slot>& slots = slots_of(o.kind);
  for (std::size_t i = 0; i < slots.size(); ++i) {
    const slot& s = slots[i];
    if (s.type == slot_type::integer && s.row != nullptr) {
      quorlen::set_field_number(record, *s.row, o.numbers[i]);
    }
    if (s.type != slot_type::text) continue;
    std::optional<refusal> refused;
    const auto bytes = text_bytes(o, i, refused);
    if (!bytes) return refused;
    if (bytes->size() > s.row->size - 1) {
      return refusal{
          i, "more than " + std::to_string(s.row->size - 1) + " characters"};
    }
    if (auto nul = no_nul(*bytes, i)) return nul;
    auto* member = static_cast<char*>(quorlen::member_of(record, *s.row));
    std::memset(member, 0, s.row->size);
    std::memcpy(member, bytes->data(), bytes->size());
  }
  return std::nullopt;
}

// Names and codes must agree: the section, the key, and the type that
// joins their codes.
std::optional<refusal> record_builder::entry(const object_read& o) {
  const std::string& section = o.texts[0];
  const std::string& key = o.texts[1];
  const std::uint32_t section_code =
      quorlen::code_of(quorlen::section_codes, section.c_str());
  const std::uint32_t key_code =
      quorlen::code_of(quorlen::register_key_codes, key.c_str());
  if (!register_family(section_code)) {
    return refusal{0, in_quotes(section) + " is no board or register section"};
  }
  if (key_code == 0) return refusal{1, in_quotes(key) + " is no register key"};
  const std::uint32_t type = section_code | key_code;
  const std::uint32_t wanted[] = {section_code, key_code, type};
  const char* const meaning[] = {"the code of the section",
                                 "the code of the key",
                                 "section_code | key_code"};
  for (std::size_t i = 0; i < 3; ++i) {
    const auto given = static_cast<std::uint32_t>(o.numbers[i + 2]);
    if (given != wanted[i]) {
      return refusal{i + 2, std::to_string(given) + " is not " + meaning[i] +
                                " (" + std::to_string(wanted[i]) + ")"};
    }
  }
  entries_.add(type, o.values.data(), static_cast<unsigned>(o.values.size()),
               0);
  return std::nullopt;
}

std::optional<refusal> record_builder::control(const object_read& o) {
  control_entry c{};
  if (auto refused = fields(o, &c)) return refused;
  const std::size_t code = slots_of(o.kind).size() - 2;  // then code_hex
  if (!o.given[code]) {
    if (o.seen[code + 1]) {
      return refusal{code + 1, "given for a code that is null"};
    }
    controls_.push_back(c);
    return std::nullopt;
  }
  std::optional<refusal> refused;
  const auto bytes = text_bytes(o, code, refused);
  if (!bytes) return refused;
  if (auto nul = no_nul(*bytes, code)) return nul;
  c.code = static_cast<char*>(std::malloc(bytes->size() + 1));
  if (c.code == nullptr) throw std::bad_alloc();
  std::memcpy(c.code, bytes->c_str(), bytes->size() + 1);
  controls_.push_back(c);
  return std::nullopt;
}

void record_builder::done() {
  if (controls_.empty()) return;
  auto* array = static_cast<control_entry*>(
      std::malloc(controls_.size() * sizeof(control_entry)));
  if (array == nullptr) throw std::bad_alloc();
  std::memcpy(array, controls_.data(),
              controls_.size() * sizeof(control_entry));
  record_.controls = array;
  record_.control_count = static_cast<std::uint32_t>(controls_.size());
  controls_.clear();
}

}  // namespace quorlen_tool
