#include <cstdlib>
#include <cstring>
#include <utility>

#include "fields.h"
#include "number_scan.h"
#include "setup_internal.h"

namespace quorlen {
namespace {

// Whether count elements of size bytes can be asked for without the byte
// count wrapping, as it would first on 32-bit targets.
bool fits(std::uint64_t count, std::size_t size) {
  return count <= SIZE_MAX / size;
}

// The room a count promises a later call: 100 elements for the first, 100
// more each time the count reaches a multiple of 100.
std::uint64_t promised_room(std::uint64_t count) {
  return (count / ENTRY_GROWTH + 1) * ENTRY_GROWTH;
}

// The section's code is looked up when it starts and kept while the events
// carry the same text, which the engine does not change between starts.
std::uint32_t section_code(setup_context& context, const char* section,
                           bool starts) {
  if (!starts && section == context.section_text) return context.section_code;
  const std::uint32_t code =
      lookup_code(section_codes, section, &context.last_section);
  context.section_text = section;
  context.section_code = code;
  context.lists =
      code != 0 && code != CAMERA_SECTION && code != CONTROL_SECTION;
  return code;
}

// Each control section appends one element, cleared so that names are
// terminated and code is null until the file sets them.
int new_control(setup_context& context) {
  camera_setup& setup = *context.setup;
  context.control_open = false;
  const std::uint64_t count = setup.control_count;
  if (count == UINT32_MAX || !fits(count + 1, sizeof(control_entry))) return 0;
  const auto bytes =
      static_cast<std::size_t>(count + 1) * sizeof(control_entry);
  // With no array yet, realloc gives a fresh one.
  void* grown = std::realloc(setup.controls, bytes);
  if (grown == nullptr) return 0;  // the record keeps its old array
  setup.controls = static_cast<control_entry*>(grown);
  std::memset(&setup.controls[count], 0, sizeof(control_entry));
  setup.control_count = static_cast<std::uint32_t>(count + 1);
  context.control_open = true;
  return 1;
}

int control_event(setup_context& context, const char* name, const char* value) {
  if (!context.control_open) return 1;  // its header line is already faulty
  camera_setup& setup = *context.setup;
  control_entry& control = setup.controls[setup.control_count - 1];
  if (name == nullptr) {
    const std::size_t size = std::strlen(value) + 1;
    auto* code = static_cast<char*>(std::malloc(size));
    if (code == nullptr) return 0;  // the earlier block, if any, stays
    std::memcpy(code, value, size);
    std::free(control.code);
    control.code = code;
  } else if (const field* f = find_delivered_field(CONTROL_SECTION, name,
                                                   context.last_field)) {
    store_field(&control, *f, value, context.is_space);
    context.last_field = f;
  }
  return 1;
}

// Each piece is converted where it stands: the conversion stops at the ','
// anyway.  Pieces after the sixteenth are counted, not stored.
struct store_value {
  std::int32_t* values;
  const space_class& is_space;
  [[gnu::always_inline]] const char* operator()(const char* p,
                                                unsigned index) const {
    const std::int32_t value = scan::convert32(p, &p, is_space);
    if (index < QUORLEN_MAX_VALUES) values[index] = value;
    return p;
  }
};

[[gnu::always_inline]] inline unsigned read_values(std::int32_t* values,
                                                   const char* text,
                                                   space_class is_space) {
  return scan::for_each_piece(text, store_value{values, is_space});
}

// Every value set to 0, a store each: written as a loop, it becomes a call
// to memset, which costs a register line three times as much on 32-bit ARM.
template <std::size_t... place>
[[gnu::always_inline]] inline void clear_values(std::int32_t* values,
                                                std::index_sequence<place...>) {
  ((values[place] = 0), ...);
}

[[gnu::always_inline]] inline void fill_list(register_entry* entry,
                                             const char* text,
                                             space_class is_space) {
  // What the line does not fill is zero, never what the heap held: callers
  // copy, compare and store whole entries.
  clear_values(entry->values, std::make_index_sequence<QUORLEN_MAX_VALUES>());
  const unsigned count = read_values(entry->values, text, is_space);
  entry->value_count = static_cast<std::uint8_t>(
      count < QUORLEN_MAX_VALUES ? count : QUORLEN_MAX_VALUES);
}

[[gnu::always_inline]] inline int register_line(setup_context& context,
                                                std::uint32_t section,
                                                const char* name,
                                                const char* value) {
  const std::uint32_t key = lookup_register_key(name);
  if (key == 0) return 1;
  register_entry* entry;
  if (!append_entry(context, &entry)) return 0;
  entry->entry_type = section | key;
  fill_list(entry, value, context.is_space);
  return 1;
}

[[gnu::noinline]] int dispatch(setup_context& c, const char* section,
                               const char* name, const char* value) {
  if (c.setup == nullptr) return 0;
  const bool starts = name == nullptr && value == nullptr;
  const std::uint32_t code =
      section_code(c, section != nullptr ? section : "", starts);
  if (code == 0) return 1;  // unknown section, or none yet
  if (starts) return code == CONTROL_SECTION ? new_control(c) : 1;
  if (code == CONTROL_SECTION) return control_event(c, name, value);
  // A code block outside a control section is accepted and ignored, like an
  // unknown key.
  if (name == nullptr || value == nullptr) return 1;
  if (code != CAMERA_SECTION) return register_line(c, code, name, value);
  if (const field* f =
          find_delivered_field(CAMERA_SECTION, name, c.last_field)) {
    store_field(c.setup, *f, value, c.is_space);
    c.last_field = f;
  }
  return 1;
}

}  // namespace

// The array grows only where the room the count promises grows: at the
// first element, which starts a fresh array whatever the field held, and at
// each multiple of 100.  It grows by half again at least, so that a long
// file costs a few resizes; an array from an earlier call holds what its
// count promises.
register_entry* append_growing(setup_context& context) {
  camera_setup& setup = *context.setup;
  const std::uint32_t n = setup.entry_count + 1;
  if (n == 0) return nullptr;  // the count is full
  if (n == 1 || n % ENTRY_GROWTH == 0) {
    const std::uint64_t had = n == 1              ? 0
                              : context.room != 0 ? context.room
                                                  : promised_room(n - 1);
    const std::uint64_t want = promised_room(n);
    if (want > had) {
      std::uint64_t room = had + had / 2;
      if (room < want || !fits(room, sizeof(register_entry))) room = want;
      if (!fits(room, sizeof(register_entry))) return nullptr;
      const auto bytes =
          static_cast<std::size_t>(room) * sizeof(register_entry);
      void* grown =
          n == 1 ? std::malloc(bytes) : std::realloc(setup.entries, bytes);
      if (grown == nullptr) return nullptr;  // the record keeps its array
      setup.entries = static_cast<register_entry*>(grown);
      context.room = static_cast<std::size_t>(room);
    } else {
      context.room = static_cast<std::size_t>(had);
    }
  }
  const std::uint64_t next = promised_room(n) - 1;  // where to look again
  context.room_below =
      next < UINT32_MAX ? static_cast<std::uint32_t>(next) : UINT32_MAX;
  setup.entry_count = n;
  return &setup.entries[n - 1];
}

void parse_value_list(register_entry* entry, const char* text,
                      space_class is_space) {
  fill_list(entry, text, is_space);
}

// Nothing here can throw: the record is filled with the C library's
// allocator, whose failures are results, and no C++ library call is made.
int setup_handler(void* context, const char* section, const char* name,
                  const char* value) {
  if (context == nullptr) return 0;
  setup_context& c = *static_cast<setup_context*>(context);
  // Most events are register lines in the section of the event before.
  if (section == c.section_text && c.lists && name != nullptr &&
      value != nullptr) {
    return register_line(c, c.section_code, name, value);
  }
  return dispatch(c, section, name, value);
}

// What the parse allocated is released; an array that was already the
// caller's and has moved keeps its new place, since the old one is gone.
void restore_record(camera_setup* record, const camera_setup& saved) {
  camera_setup restored = saved;
  for (std::uint32_t i = saved.control_count; i < record->control_count; ++i) {
    std::free(record->controls[i].code);
  }
  if (saved.controls == nullptr)
    std::free(record->controls);  // none, or the parse's
  else
    restored.controls = record->controls;
  if (record->entries != saved.entries) {
    if (saved.entry_count == 0)
      std::free(record->entries);
    else
      restored.entries = record->entries;
  }
  *record = restored;
}

}  // namespace quorlen
