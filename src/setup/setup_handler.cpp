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

constexpr std::uintptr_t PAGE = 4096;
constexpr std::size_t HUGE_PAGE = std::size_t{2} << 20;
constexpr std::size_t HUGE_FROM = 2 * HUGE_PAGE;

#if defined(__linux__)
// A request about [start, end) of the array's own block; it only helps, so
// a refusal changes nothing, errno included.
[[maybe_unused]] void advise(std::uintptr_t start, std::uintptr_t end,
                             int advice) {
  const int saved = errno;
  madvise(reinterpret_cast<void*>(start), end - start, advice);
  errno = saved;
}
#endif

// A block of several MiB costs one fault for each 4 KiB page that the
// entries reach, and one for each 2 MiB in pages of that size.  The C
// library maps such a block on its own and moves it whole when it grows;
// the kernel keeps 2 MiB pages through the move when the mapping is a whole
// number of them.  So a large block is asked for in that size, less the
// allocator's header (at most four words).
std::size_t block_request(std::size_t bytes) {
  constexpr std::size_t header = 4 * sizeof(std::size_t);
  if (bytes < HUGE_FROM || bytes > SIZE_MAX - HUGE_PAGE) return bytes;
  return ((bytes + header + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1)) - header;
}

#if defined(__linux__) && defined(__GLIBC__) && defined(MADV_HUGEPAGE)
#define QUORLEN_PAGE_SIZES 1
// A block that is a mapping of its own: it starts two words into a page
// and ends at a page's end.  A block in the allocator's heap shares its
// pages with the caller's other memory and is never marked.
bool own_mapping(const register_entry* entries, std::size_t at_least = 0) {
  const std::uintptr_t block = reinterpret_cast<std::uintptr_t>(entries);
  const std::size_t bytes =
      malloc_usable_size(const_cast<register_entry*>(entries));
  return bytes >= at_least && block % PAGE == 2 * sizeof(std::size_t) &&
         (block + bytes) % PAGE == 0;
}

// Marks such a block for 2 MiB pages or for 4 KiB ones, from then on; the
// pages it has keep their size.  The mark spans the whole mapping, which
// stays one piece that the C library can move.
void mark_pages(register_entry* entries, bool huge) {
  if (!own_mapping(entries, HUGE_FROM)) return;
  const std::uintptr_t block = reinterpret_cast<std::uintptr_t>(entries);
  advise(block & ~(PAGE - 1), block + malloc_usable_size(entries),
         huge ? MADV_HUGEPAGE : MADV_NOHUGEPAGE);
}

// Whether the entries still to come, as many to the byte as the input read
// so far held (from entry count n, the last at fill), are expected to reach
// three quarters of the 2 MiB that starts at region.  Without a plan, or
// before anything was read, yes.
bool fills_most(const page_plan* plan, std::uint32_t n, std::uintptr_t fill,
                std::uintptr_t region) {
  if (plan == nullptr || plan->progress.read == 0) return true;
  const std::uint32_t added = n > plan->first_count ? n - plan->first_count : 0;
  const double coming = static_cast<double>(added) *
                        static_cast<double>(plan->progress.unread) /
                        static_cast<double>(plan->progress.read);
  return static_cast<double>(fill) +
             coming * static_cast<double>(sizeof(register_entry)) >=
         static_cast<double>(region + HUGE_PAGE / 4 * 3);
}
#endif

// A large block's fresh pages each cost a fault when the entries first
// reach them; asking the kernel to map the next stretch in one call costs
// about half.  Called every ENTRY_GROWTH entries, it names a stretch only
// when the next ENTRY_GROWTH entries cross into it, and only memory inside
// the block.  Where they cross into a new 2 MiB, the block is marked for
// pages of that size if the entries to come will fill three quarters of
// it, so that the last one holds at most 512 KiB beyond them.  A kernel
// without these requests refuses them, and nothing changes.
void map_ahead(register_entry* entries, std::uint32_t n, std::size_t room,
               const page_plan* plan) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
  constexpr std::uintptr_t STRETCH = 256 * 1024;
  const std::uintptr_t block = reinterpret_cast<std::uintptr_t>(entries);
  const std::uintptr_t bytes = room * sizeof(register_entry);
  if (bytes < 4 * STRETCH) return;
  const std::uintptr_t from = block + (n - 1) * sizeof(register_entry);
  const std::uintptr_t to = from + ENTRY_GROWTH * sizeof(register_entry);
  const std::uintptr_t start = to & ~(STRETCH - 1);
  if (start <= from) return;
#if defined(QUORLEN_PAGE_SIZES)
  if (start % HUGE_PAGE == 0) {
    mark_pages(entries, fills_most(plan, n, from, start));
  }
#else
  (void)plan;
#endif
  std::uintptr_t end = start + STRETCH;
  // Whole 4 KiB pages: a larger page the kernel rounds to holds the
  // block's own end.
  if (end > block + bytes) end = (block + bytes) & ~(PAGE - 1);
  if (end <= start) return;
  advise(start, end, MADV_POPULATE_WRITE);
#else
  (void)entries;
  (void)n;
  (void)room;
  (void)plan;
#endif
}

// The array grown to hold bytes, its first n - 1 elements kept.  A block
// of more than 6 MiB that leaves the heap for a mapping of its own is moved
// here rather than by realloc, so that the mapping is marked before the
// copy reaches it.  A smaller one is left to realloc: the heap may grow it
// in place, which costs no copy and no fresh page at all.
register_entry* resize(register_entry* entries, std::uint32_t n,
                       std::size_t bytes, const page_plan* plan) {
  const std::size_t request = block_request(bytes);
#if defined(QUORLEN_PAGE_SIZES)
  constexpr std::size_t MOVE_FROM = 3 * HUGE_PAGE;
  if (bytes > MOVE_FROM && !own_mapping(entries)) {
    auto* moved = static_cast<register_entry*>(std::malloc(request));
    if (moved != nullptr && own_mapping(moved, HUGE_FROM)) {
      const std::size_t used = std::size_t{n - 1} * sizeof(register_entry);
      const std::uintptr_t fill =
          reinterpret_cast<std::uintptr_t>(moved) + used;
      mark_pages(moved, fills_most(plan, n, fill, fill & ~(HUGE_PAGE - 1)));
      std::memcpy(moved, entries, used);
      std::free(entries);
      return moved;
    }
    std::free(moved);
  }
#else
  (void)plan;
#endif
  return static_cast<register_entry*>(std::realloc(entries, request));
}

}  // namespace

// The room in entries is known only from entry_count: 100 elements for the
// first, then 100 more each time the count reaches a multiple of 100.  A
// later call into the same record relies on exactly this, so at those
// counts the array must hold 100 more; the block is asked to grow only when
// it really holds less, and then by half again, so that a long file costs a
// few resizes instead of one per 100 lines.
register_entry* append_growing(camera_setup& setup, const page_plan* plan) {
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
    entries = resize(entries, n, (n + extra) * sizeof(register_entry), plan);
  }
  if (entries == nullptr) return nullptr;  // the record keeps its old array
  if (n % ENTRY_GROWTH == 0) {
    map_ahead(entries, n, room_of(entries, n - 1), plan);
  }
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

int register_line(setup_context& context, std::uint32_t section,
                  const char* name, const char* value) {
  std::uint32_t key = register_key_code(name);
  if (key == 0) return 1;
  register_entry* entry = append_entry(*context.setup, &context.pages);
  if (entry == nullptr) return 0;
  fill_entry(entry, section | key, value, context.is_space);
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
  return register_line(context, code, name, value);
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
