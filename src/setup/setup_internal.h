// The camera setup model: maps sections and keys onto the caller's record.
// It sees only events (section, name, value), never lines or buffers.
#ifndef QUORLEN_SETUP_INTERNAL_H
#define QUORLEN_SETUP_INTERNAL_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "char_class.h"
#include "input_progress.h"
#include "quorlen_config_parser.h"

namespace quorlen {

// {name, code} rows ending with {nullptr, 0}.
struct code_row {
  const char* name;
  std::uint32_t code;
};

// Keys of a control section.
enum control_key : std::uint32_t {
  CONTROL_MIN_VALUE = 1,
  CONTROL_MAX_VALUE,
  CONTROL_STEP,
  CONTROL_DEF,
  CONTROL_CTRL_NAME,
  CONTROL_FUNC_NAME,
};

// Keys of the camera section.
enum camera_key : std::uint32_t {
  CAMERA_CFG_MODE = 1,
  CAMERA_TYPE,
  CAMERA_BIT_WIDTH,
  CAMERA_I2C_MODE,
  CAMERA_I2C_ADDR,
  CAMERA_TRANS_LVL,
  CAMERA_SIZE,
  CAMERA_FORMAT,
};

extern const code_row section_codes[];
extern const code_row register_key_codes[];
extern const code_row control_key_codes[];
extern const code_row camera_key_codes[];

constexpr std::uint32_t CAMERA_SECTION = QUORLEN_SECTION_CAMERA;
constexpr std::uint32_t CONTROL_SECTION = QUORLEN_SECTION_CONTROL;
constexpr std::uint32_t ENTRY_GROWTH = 100;  // entries grows by 100 elements

// The code of the first row whose name equals key exactly; 0 for none.
// Names are short and most differ in their first bytes, so a plain loop
// beats a call to strcmp.
inline std::uint32_t lookup_code(const code_row* table, const char* key) {
  for (const code_row* row = table; row->name != nullptr; ++row) {
    const char* a = row->name;
    const char* b = key;
    while (*a == *b) {
      if (*a == '\0') return row->code;
      ++a;
      ++b;
    }
  }
  return 0;
}

// lookup_code(register_key_codes, key), written out: register lines are
// most of a file, and a byte-by-byte match against the three keys costs a
// third of the table walk.
inline std::uint32_t register_key_code(const char* key) {
  switch (key[0]) {
  case 'R':
    return key[1] == 'E' && key[2] == 'G' && key[3] == '\0' ? QUORLEN_KEY_REG
                                                            : 0;
  case 'D':
    return key[1] == 'E' && key[2] == 'L' && key[3] == 'A' && key[4] == 'Y' &&
                   key[5] == '\0'
               ? QUORLEN_KEY_DELAY
               : 0;
  case 'V':
    return key[1] == 'R' && key[2] == 'C' && key[3] == 'M' && key[4] == 'D' &&
                   key[5] == '\0'
               ? QUORLEN_KEY_VRCMD
               : 0;
  default: return 0;
  }
}

std::int32_t parse_int32(const char* text);
std::int64_t parse_int64(const char* text);
// The white-space table may be passed by a caller that reads many lists.
void parse_value_list(register_entry* entry, const char* text,
                      space_class is_space = space_class());

// What the array's growth may know of the parse: how far the input has
// been read, and the count of entries before the parse began.
struct page_plan {
  input_progress progress;
  std::uint32_t first_count = 0;
};

// Appends one element to setup.entries, growing the array as a later call
// into the record relies on; the element is not cleared.  Null when the
// array cannot grow, and then the record is unchanged.
register_entry* append_growing(camera_setup& setup,
                               const page_plan* plan = nullptr);

// Whether appending the n-th element may have to grow the array (n is 0
// once the count is full): between multiples of ENTRY_GROWTH the room is
// there already.
inline bool may_grow_at(std::uint32_t n) {
  return n % ENTRY_GROWTH == 0 || n <= 1;
}

inline register_entry* append_entry(camera_setup& setup,
                                    const page_plan* plan = nullptr) {
  const std::uint32_t n = setup.entry_count + 1;
  if (may_grow_at(n)) return append_growing(setup, plan);
  setup.entry_count = n;
  return &setup.entries[n - 1];
}

// What the handler keeps for one parse besides the record itself.
struct setup_context {
  explicit setup_context(camera_setup* record) : setup(record) {
    if (record != nullptr) pages.first_count = record->entry_count;
  }

  camera_setup* setup;
  // False while the newest control section could not be stored, so its keys
  // never land in an older control.
  bool control_open = false;
  // The section text of the last event, its code, and whether its pairs
  // are register lists.
  const char* section_text = nullptr;
  std::uint32_t section_code = 0;
  bool lists = false;
  // The C library's white-space table, taken once a parse.
  space_class is_space;
  page_plan pages;
};

// The entry_handler for a setup_context.
int setup_handler(void* context, const char* section, const char* name,
                  const char* value);

// The record as it was before a parse, to put back when the input turned
// out to be unreadable.
class setup_snapshot {
 public:
  explicit setup_snapshot(const camera_setup* record);
  void restore(camera_setup* record) const;

 private:
  camera_setup saved_{};
  bool present_;
};

// Runs parse(handler, user) into the record, or parse(handler, user,
// progress) where it keeps the input's progress; when it reports -1 (the
// input could not be read) the record is put back as it was.
template <class Parse>
int parse_into(camera_setup* record, Parse parse) {
  setup_snapshot before(record);
  setup_context context(record);
  int result;
  if constexpr (std::is_invocable_v<Parse&, decltype(&setup_handler), void*,
                                    input_progress*>) {
    result = parse(setup_handler, &context, &context.pages.progress);
  } else {
    result = parse(setup_handler, &context);
  }
  if (result == -1) before.restore(record);
  return result;
}

}  // namespace quorlen

#endif
