#include <cstdlib>
#include <cstring>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#endif
#include <cerrno>

#include "number_scan.h"
#include "setup_internal.h"

namespace quorlen {
namespace {

// Whether count + extra elements of size bytes can be asked for without the
// byte count wrapping, as it would first on 32-bit targets.
bool fits(std::size_t count, std::size_t extra, std::size_t size) {
  return count <= SIZE_MAX - extra && count + extra <= SIZE_MAX / size;
}

// The section's code is looked up when it starts and kept while the events
// carry the same text, which the engine does not change between starts.
std::uint32_t section_code(setup_context& context, const char* section,
                           bool starts) {
  if (!starts && section == context.section_text) return context.section_code;
  context.section_text = section;
  context.section_code = lookup_code(section_codes, section);
  context.lists = context.section_code != 0 &&
                  context.section_code != CAMERA_SECTION &&
                  context.section_code != CONTROL_SECTION;
  return context.section_code;
}

// Reads a "SIZE" or "FORMAT" list; pieces past the places it has are
// dropped, so such a list never has the count that changes anything.
register_entry read_list(const char* value) {
  register_entry scratch;
  parse_value_list(&scratch, value);
  return scratch;
}

void camera_key(camera_setup& setup, const char* name, const char* value) {
  switch (lookup_code(camera_key_codes, name)) {
  case CAMERA_CFG_MODE: setup.cfg_mode = parse_int32(value); break;
  case CAMERA_TYPE:
    std::strncpy(setup.type, value, sizeof setup.type - 1);
    setup.type[sizeof setup.type - 1] = '\0';
    break;
  case CAMERA_BIT_WIDTH:
    setup.bit_width = static_cast<std::uint8_t>(parse_int32(value));
    break;
  case CAMERA_I2C_MODE:
    setup.i2c_mode = static_cast<std::uint8_t>(parse_int32(value));
    break;
  case CAMERA_I2C_ADDR:
    setup.i2c_addr = static_cast<std::uint16_t>(parse_int32(value));
    break;
  case CAMERA_TRANS_LVL: setup.trans_lvl = parse_int32(value); break;
  case CAMERA_SIZE: {
    const register_entry list = read_list(value);
    if (list.value_count == 2) {
      setup.width = list.values[0];
      setup.height = list.values[1];
    }
    break;
  }
  case CAMERA_FORMAT: {
    const register_entry list = read_list(value);
    // The second value is not masked to 8 bits before it is merged.
    if (list.value_count == 2) {
      setup.format = static_cast<std::uint16_t>(
          (static_cast<std::uint32_t>(list.values[0]) << 8) |
          static_cast<std::uint32_t>(list.values[1]));
    } else if (list.value_count == 1) {
      setup.format = static_cast<std::uint16_t>(
          static_cast<std::uint32_t>(list.values[0]) << 8);
    }
    break;
  }
  default: break;
  }
}

// Each control section appends one element, cleared so that names are
// terminated and code is null until the file sets them.
int new_control(setup_context& context) {
  camera_setup& setup = *context.setup;
  context.control_open = false;
  std::uint32_t count = setup.control_count;
  control_entry* controls;
  if (count == 0 && setup.controls == nullptr) {
    controls = static_cast<control_entry*>(std::malloc(sizeof(control_entry)));
  } else {
    if (count == UINT32_MAX || !fits(count, 1, sizeof(control_entry))) {
      return 0;
    }
    controls = static_cast<control_entry*>(
        std::realloc(setup.controls, (count + 1) * sizeof(control_entry)));
  }
  if (controls == nullptr) return 0;  // the record keeps its old array
  std::memset(&controls[count], 0, sizeof(control_entry));
  setup.controls = controls;
  setup.control_count = count + 1;
  context.control_open = true;
  return 1;
}

void copy_name(char (&field)[128], const char* value) {
  std::strncpy(field, value, sizeof field - 1);
  field[sizeof field - 1] = '\0';
}

int control_event(setup_context& context, const char* name, const char* value) {
  if (!context.control_open) return 1;  // its header line is already faulty
  camera_setup& setup = *context.setup;
  control_entry& control = setup.controls[setup.control_count - 1];
  if (name == nullptr) {
    std::size_t size = std::strlen(value) + 1;
    auto* code = static_cast<char*>(std::malloc(size));
    if (code == nullptr) return 0;  // the earlier block, if any, stays
    std::memcpy(code, value, size);
    std::free(control.code);
    control.code = code;
    return 1;
  }
  switch (lookup_code(control_key_codes, name)) {
  case CONTROL_MIN_VALUE: control.min_value = parse_int64(value); break;
  case CONTROL_MAX_VALUE: control.max_value = parse_int64(value); break;
  case CONTROL_STEP:
    control.step = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(parse_int64(value)));
    break;
  case CONTROL_DEF: control.def = parse_int64(value); break;
  case CONTROL_CTRL_NAME: copy_name(control.ctrl_name, value); break;
  case CONTROL_FUNC_NAME: copy_name(control.func_name, value); break;
  default: break;
  }
  return 1;
}

// What the array's block really holds, in elements.  Where the allocator
// cannot tell, the room that the count guarantees.
std::size_t room_of(const register_entry* entries, std::uint32_t count) {
#if defined(__GLIBC__)
  (void)count;
  return malloc_usable_size(const_cast<register_entry*>(entries)) /
         sizeof(register_entry);
#else
  return (std::size_t{count} / ENTRY_GROWTH + 1) * ENTRY_GROWTH;
#endif
}

// A large block's fresh pages each cost a fault when the entries first
// reach them; asking the kernel to map the next stretch in one call costs
// about half.  Called every ENTRY_GROWTH entries, it names a stretch only
// when the next ENTRY_GROWTH entries cross into it, and only memory inside
// the block.  A kernel without the request refuses it, and nothing changes.
void map_ahead(register_entry* entries, std::uint32_t n, std::size_t room) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
  constexpr std::uintptr_t STRETCH = 256 * 1024;
  const std::uintptr_t block = reinterpret_cast<std::uintptr_t>(entries);
  const std::uintptr_t bytes = room * sizeof(register_entry);
  if (bytes < 4 * STRETCH) return;
  const std::uintptr_t from = block + (n - 1) * sizeof(register_entry);
  const std::uintptr_t to = from + ENTRY_GROWTH * sizeof(register_entry);
  const std::uintptr_t start = to & ~(STRETCH - 1);
  if (start <= from) return;
  std::uintptr_t end = start + STRETCH;
  // Whole 4 KiB pages: a larger page the kernel rounds to holds the
  // block's own end.
  if (end > block + bytes) end = (block + bytes) & ~std::uintptr_t{4095};
  if (end <= start) return;
  const int saved = errno;
  madvise(reinterpret_cast<void*>(start), end - start, MADV_POPULATE_WRITE);
  errno = saved;
#else
  (void)entries;
  (void)n;
  (void)room;
#endif
}

}  // namespace

// The room in entries is known only from entry_count: 100 elements for the
// first, then 100 more each time the count reaches a multiple of 100.  A
// later call into the same record relies on exactly this, so at those
// counts the array must hold 100 more; the block is asked to grow only when
// it really holds less, and then by half again, so that a long file costs a
// few resizes instead of one per 100 lines.
register_entry* append_growing(camera_setup& setup) {
  const std::uint32_t n = setup.entry_count + 1;  // 0 once the count is full
  if (n == 0) return nullptr;
  register_entry* entries = setup.entries;
  if (n == 1) {
    entries = static_cast<register_entry*>(
        std::malloc(ENTRY_GROWTH * sizeof(register_entry)));
  } else if (n % ENTRY_GROWTH == 0 &&
             room_of(entries, n - 1) < std::size_t{n} + ENTRY_GROWTH) {
    const std::size_t half = n / 2;
    const std::size_t extra = half > ENTRY_GROWTH ? half : ENTRY_GROWTH;
    if (!fits(n, extra, sizeof(register_entry))) return nullptr;
    entries = static_cast<register_entry*>(
        std::realloc(entries, (n + extra) * sizeof(register_entry)));
  }
  if (entries == nullptr) return nullptr;  // the record keeps its old array
  if (n % ENTRY_GROWTH == 0) map_ahead(entries, n, room_of(entries, n - 1));
  setup.entries = entries;
  setup.entry_count = n;
  return &entries[n - 1];
}

namespace {

// A register line's entry, cleared and filled.
[[gnu::always_inline]] inline void fill_entry(register_entry* entry,
                                              std::uint32_t type,
                                              const char* value,
                                              space_class is_space) {
  std::memset(entry, 0, sizeof *entry);
  entry->entry_type = type;
  scan::fill_value_list(entry, value, is_space);
}

int register_line(camera_setup& setup, std::uint32_t section, const char* name,
                  const char* value, space_class is_space) {
  std::uint32_t key = register_key_code(name);
  if (key == 0) return 1;
  register_entry* entry = append_entry(setup);
  if (entry == nullptr) return 0;
  fill_entry(entry, section | key, value, is_space);
  return 1;
}

[[gnu::noinline]] int dispatch(setup_context& context, const char* section,
                               const char* name, const char* value) {
  if (context.setup == nullptr) return 0;
  const bool starts = name == nullptr && value == nullptr;
  std::uint32_t code =
      section_code(context, section != nullptr ? section : "", starts);
  if (code == 0) return 1;  // unknown section, or none yet
  if (starts) {
    return code == CONTROL_SECTION ? new_control(context) : 1;
  }
  if (code == CONTROL_SECTION) return control_event(context, name, value);
  // A code block outside a control section is accepted and ignored, like an
  // unknown key.
  if (name == nullptr || value == nullptr) return 1;
  if (code == CAMERA_SECTION) {
    camera_key(*context.setup, name, value);
    return 1;
  }
  return register_line(*context.setup, code, name, value, context.is_space);
}

}  // namespace

// Nothing here can throw: the record is filled with the C library's
// allocator, whose failures are results, and no C++ library call is made.
int setup_handler(void* context, const char* section, const char* name,
                  const char* value) {
  if (context == nullptr) return 0;
  setup_context& c = *static_cast<setup_context*>(context);
  // Most events are pairs in the same register or board section as the
  // event before, appended where the array has room already: that path
  // makes no call, so it needs no registers saved.
  if (section == c.section_text && c.lists && name != nullptr &&
      value != nullptr && c.setup != nullptr) {
    camera_setup& setup = *c.setup;
    const std::uint32_t n = setup.entry_count + 1;
    if (!may_grow_at(n)) {
      const std::uint32_t key = register_key_code(name);
      if (key == 0) return 1;
      setup.entry_count = n;
      fill_entry(&setup.entries[n - 1], c.section_code | key, value,
                 c.is_space);
      return 1;
    }
  }
  return dispatch(c, section, name, value);
}

setup_snapshot::setup_snapshot(const camera_setup* record)
    : present_(record != nullptr) {
  if (present_) saved_ = *record;
}

// What the parse allocated is released; an array that was already the
// caller's and has moved keeps its new place, since the old one is gone.
void setup_snapshot::restore(camera_setup* record) const {
  if (!present_ || record == nullptr) return;
  camera_setup restored = saved_;
  for (std::uint32_t i = saved_.control_count; i < record->control_count; ++i) {
    std::free(record->controls[i].code);
  }
  if (record->controls != saved_.controls) {
    if (saved_.controls == nullptr) {
      std::free(record->controls);
    } else {
      restored.controls = record->controls;
    }
  }
  if (record->entries != saved_.entries) {
    if (saved_.entry_count == 0) {
      std::free(record->entries);
    } else {
      restored.entries = record->entries;
    }
  }
  *record = restored;
}

}  // namespace quorlen
