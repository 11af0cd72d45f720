// The record as the tool handles it: released, its texts read, and two
// records compared field by field through the field table.
#ifndef QUORLEN_RECORD_COMPARE_H
#define QUORLEN_RECORD_COMPARE_H

#include <cstdlib>
#include <cstring>
#include <string>

#include "input/load.h"
#include "quorlen_config_parser.h"
#include "quorlen_core.h"

namespace quorlen_tool {

// A text member up to its terminator, or its whole size without one.
inline std::string text_of(const void* record, const quorlen::field& f) {
  const auto* text = static_cast<const char*>(quorlen::member_of(record, f));
  return std::string(text, strnlen(text, f.size));
}

// The members of one family (camera or control) in two records of it.
inline bool same_fields(const void* a, const void* b, std::uint32_t family) {
  for (const quorlen::field* f = quorlen::fields; f->key != nullptr; ++f) {
    if (f->family != family) continue;
    const bool same =
        f->kind == quorlen::field_kind::text
            ? text_of(a, *f) == text_of(b, *f)
            : quorlen::field_number(a, *f) == quorlen::field_number(b, *f);
    if (!same) return false;
  }
  return true;
}

inline bool same_entry(const register_entry& x, const register_entry& y) {
  // Every value: past value_count a parse leaves zeros, and so must any
  // other way of making a record.
  return x.entry_type == y.entry_type && x.value_count == y.value_count &&
         std::memcmp(x.values, y.values, sizeof x.values) == 0;
}

inline bool same_code(const char* x, const char* y) {
  return (x == nullptr) == (y == nullptr) &&
         (x == nullptr || std::strcmp(x, y) == 0);
}

inline bool same_control(const control_entry& x, const control_entry& y) {
  return same_fields(&x, &y, quorlen::CONTROL_SECTION) &&
         same_code(x.code, y.code);
}

// Camera fields and controls; entries aside.
inline bool same_but_entries(const camera_setup& a, const camera_setup& b) {
  if (!same_fields(&a, &b, quorlen::CAMERA_SECTION) ||
      a.control_count != b.control_count) {
    return false;
  }
  for (std::uint32_t i = 0; i < a.control_count; ++i) {
    if (!same_control(a.controls[i], b.controls[i])) return false;
  }
  return true;
}

// Every field, entry, control and code byte (the reserved field aside).
inline bool same_setup(const camera_setup& a, const camera_setup& b) {
  if (!same_but_entries(a, b) || a.entry_count != b.entry_count) return false;
  for (std::uint32_t i = 0; i < a.entry_count; ++i) {
    if (!same_entry(a.entries[i], b.entries[i])) return false;
  }
  return true;
}

}  // namespace quorlen_tool

#endif
