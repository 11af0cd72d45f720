// Shared by the fuzz targets: parse helpers that record every event, and a
// field-by-field comparison of two records.
#ifndef QUORLEN_FUZZ_SUPPORT_H
#define QUORLEN_FUZZ_SUPPORT_H

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "quorlen_core.h"
#include "record/record_compare.h"
#include "test_support.h"

namespace quorlen_fuzz {

// Passes each event on to the setup handler and appends it to a log.
struct logging_context {
  quorlen::setup_watch setup;
  std::string log;

  static int handle(void* user, const char* section, const char* name,
                    const char* value) {
    auto* self = static_cast<logging_context*>(user);
    self->log += section;
    self->log += '\x1f';
    self->log += name != nullptr ? name : "<null>";
    self->log += '\x1f';
    self->log += value != nullptr ? value : "<null>";
    self->log += '\x1e';
    return self->setup.event(section, name, value);
  }
};

inline void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
  }
}

using quorlen_tool::same_but_entries;
using quorlen_tool::same_setup;

// Everything a caller may read is readable and in its place.
inline void check_consistent(const camera_setup& s) {
  check(s.entry_count == 0 || s.entries != nullptr, "entries missing");
  check(s.control_count == 0 || s.controls != nullptr, "controls missing");
  check(std::memchr(s.type, '\0', sizeof s.type) != nullptr, "type unended");
  for (std::uint32_t i = 0; i < s.entry_count; ++i) {
    const register_entry& e = s.entries[i];
    check(e.value_count <= QUORLEN_MAX_VALUES, "value_count");
    for (unsigned v = e.value_count; v < QUORLEN_MAX_VALUES; ++v) {
      check(e.values[v] == 0, "a value past value_count is not 0");
    }
  }
  for (std::uint32_t i = 0; i < s.control_count; ++i) {
    const control_entry& c = s.controls[i];
    check(std::memchr(c.ctrl_name, '\0', sizeof c.ctrl_name) != nullptr,
          "ctrl_name unended");
    check(std::memchr(c.func_name, '\0', sizeof c.func_name) != nullptr,
          "func_name unended");
    if (c.code != nullptr) (void)std::strlen(c.code);
  }
}

// Parses text (NUL-terminated) into the record through memory.
inline int parse_from_text(const char* text, logging_context& context) {
  return quorlen::parse_text(text, logging_context::handle, &context);
}

// Parses the same bytes through a stdio stream; -2 when none can be made.
inline int parse_from_stream(const char* bytes, std::size_t size,
                             logging_context& context) {
  if (size == 0)
    return quorlen::parse_text("", logging_context::handle, &context);
  std::FILE* stream = fmemopen(const_cast<char*>(bytes), size, "r");
  if (stream == nullptr) return -2;
  int result =
      quorlen::parse_open_stream(stream, logging_context::handle, &context);
  std::fclose(stream);
  return result;
}

}  // namespace quorlen_fuzz

#endif
