#include "dump.h"

#include <cctype>
#include <cinttypes>
#include <cstdio>

#include "fields.h"
#include "setup_internal.h"

namespace quorlen {

namespace {

// A field as the dump shows it: the camera's labelled by their members, in
// capitals and padded to nine, the controls' by their keys; texts bounded
// by their field, the format code in hex.  64-bit values need PRId64:
// "%ld" is 32 bits on ARM.
void dump_field(const void* record, const field& f) {
  char label[16] = {};
  for (std::size_t i = 0; f.member[i] != '\0' && i < sizeof label - 1; ++i) {
    label[i] = static_cast<char>(std::toupper(f.member[i]));
  }
  const bool camera = f.family == CAMERA_SECTION;
  const std::int64_t number =
      f.kind == field_kind::text ? 0 : field_number(record, f);
  if (f.kind == field_kind::text) {
    const auto* text = static_cast<const char*>(member_of(record, f));
    std::fprintf(stderr, camera ? "%-9s: %.*s\n" : "%s\t= %.*s\n",
                 camera ? label : f.key, static_cast<int>(f.size), text);
  } else if (f.kind == field_kind::byte_pair) {
    std::fprintf(stderr, "%-9s: 0x%02X\n", label,
                 static_cast<unsigned>(number));
  } else if (camera || f.size == 4) {
    std::fprintf(stderr, camera ? "%-9s: %d\n" : "%-11s= %d\n",
                 camera ? label : f.key, static_cast<int>(number));
  } else {
    std::fprintf(stderr, "%-11s= %" PRId64 "\n", f.key, number);
  }
}

}  // namespace

void dump_camera_parameters(const camera_setup* setup) {
  for (const field* f = fields; f->key != nullptr; ++f) {
    if (f->family == CAMERA_SECTION) dump_field(setup, *f);
  }
}

// A control without a code block prints an empty line in place of the code.
void dump_controls(camera_setup setup) {
  for (std::uint32_t i = 0; i < setup.control_count; ++i) {
    const control_entry& c = setup.controls[i];
    for (const field* f = fields; f->key != nullptr; ++f) {
      if (f->family == CONTROL_SECTION) dump_field(&c, *f);
    }
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
