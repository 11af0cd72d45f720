// What a json document holds, member by member: the shapes of its objects
// and lists, built from the field table and the section and key tables.
#ifndef QUORLEN_DOCUMENT_SHAPE_H
#define QUORLEN_DOCUMENT_SHAPE_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "quorlen_core.h"

namespace quorlen_tool {

// What a member of an object holds.
enum class slot_type {
  integer,
  text,
  hex,
  code,
  boolean,
  string,
  object,
  array
};
// The objects and lists of a document.
enum class shape {
  none,
  document,
  camera,
  entries,
  entry,
  values,
  controls,
  control
};

struct slot {
  std::string name;
  slot_type type;
  shape inner = shape::none;            // for an object or a list
  const quorlen::field* row = nullptr;  // a field of the table
  bool required = true;
  std::int64_t low = 0, high = 0;  // for an integer
};

// An object's members; none for a list.
const std::vector<slot>& slots_of(shape kind);

// "a whole number", "a text"...
const char* type_name(slot_type type);

// A text's bytes: from NAME_hex where the text is not UTF-8, which must
// then show as the text does; otherwise null, and why in *why.
std::optional<std::string> bytes_of(const std::string& text,
                                    const std::optional<std::string>& hex,
                                    const char** why);

bool register_family(std::uint32_t code);

}  // namespace quorlen_tool

#endif
