// The camera setup model: maps sections and keys onto the caller's record.
// It sees only events (section, name, value), never lines or buffers.
#ifndef QUORLEN_SETUP_INTERNAL_H
#define QUORLEN_SETUP_INTERNAL_H

#include <cstddef>
#include <cstdint>

#include "char_class.h"
#include "quorlen_config_parser.h"
#include "setup_tables.h"

namespace quorlen {

struct field;

constexpr std::uint32_t ENTRY_GROWTH = 100;  // entries grows by 100 elements

// Whether two names are equal: the names of a table mostly differ in their
// first byte, where a loop of its own stops sooner than a call to strcmp.
inline bool same_name(const char* a, const char* b) {
  while (*a == *b && *a != '\0') ++a, ++b;
  return *a == *b;
}

// The four bytes at p as one word, wherever p stands.
inline std::uint32_t word_at(const char* p) {
  std::uint32_t w;
  __builtin_memcpy(&w, p, sizeof w);
  return w;
}

// Whether the n >= 4 bytes at a and b are equal, a word at a time.
inline bool same_bytes(const char* a, const char* b, std::size_t n) {
  for (; n > 4; n -= 4, a += 4, b += 4) {
    if (word_at(a) != word_at(b)) return false;
  }
  return word_at(a + n - 4) == word_at(b + n - 4);
}

// The code of the row whose name equals key exactly; 0 for none.  Given
// last, the row found last and those after it are tried first, and the row
// found is kept there: a file's sections mostly come in the table's order.
inline std::uint32_t lookup_code(const code_row* table, const char* key,
                                 const code_row** last = nullptr) {
  const code_row* const from =
      last != nullptr && *last != nullptr ? *last : table;
  // Long names that share their start (sections) are told apart by length
  // first, then compared a word at a time.
  const std::size_t length = last != nullptr ? __builtin_strlen(key) : 0;
  const code_row* row = from;
  do {
    if (last == nullptr || length < 4
            ? same_name(row->name, key)
            : row->length == length && same_bytes(row->name, key, length)) {
      if (last != nullptr) *last = row;
      return row->code;
    }
    if ((++row)->name == nullptr) row = table;
  } while (row != from);
  return 0;
}

// The code of the register key that equals key; 0 for none.  Its first four
// bytes are taken as one word: a key of three letters then matches with its
// terminator in one compare.  The engine keeps 8 bytes readable from the
// start of every name it delivers, and every key in the table is at least
// three letters long.
inline std::uint32_t lookup_register_key(const char* key) {
  const std::uint32_t head = word_at(key);
  for (const code_row* row = register_key_codes; row->name != nullptr; ++row) {
    if (word_at(row->name) != head) continue;
    // Equal words hold no terminator before the fourth byte, or the same.
    if (row->length < 4 || same_name(row->name + 4, key + 4)) return row->code;
  }
  return 0;
}

// What the handler keeps for one parse besides the record itself.
struct setup_context {
  explicit setup_context(camera_setup* record) : setup(record) {}

  camera_setup* setup;
  // False while the newest control section could not be stored, so its keys
  // never land in an older control.
  bool control_open = false;
  // The section text of the last event, its code, and whether its pairs
  // are register lists.
  const char* section_text = nullptr;
  std::uint32_t section_code = 0;
  bool lists = false;
  // The section row and the field found last, where the next look-ups
  // start.
  const code_row* last_section = nullptr;
  const field* last_field = nullptr;
  // The elements entries is known to hold; 0 until this parse grows it.
  std::size_t room = 0;
  // Below this count an element is appended where the array has room; 0
  // until this parse's first element.
  std::uint32_t room_below = 0;
  // The C library's white-space table, taken once a parse.
  space_class is_space;
};

// The entry_handler for a setup_context.
int setup_handler(void* context, const char* section, const char* name,
                  const char* value);

// Appends one element where the array may have to grow or the count is
// full: at this parse's first element, at a record's first element and at
// each multiple of 100.  Null when the array cannot grow, and then the
// record is unchanged.
register_entry* append_growing(setup_context& context);

// Appends one element to the record's entries, growing the array as a later
// call into the record relies on; false when the array cannot grow, and then
// the record is unchanged.  The element is not cleared: a register line sets
// its type, its count and the values the count covers.
inline bool append_entry(setup_context& context, register_entry** entry) {
  camera_setup& setup = *context.setup;
  const std::uint32_t count = setup.entry_count;
  if (count >= context.room_below) {
    *entry = append_growing(context);
    return *entry != nullptr;
  }
  setup.entry_count = count + 1;
  *entry = &setup.entries[count];
  return true;
}

// Puts the record back as it was before a parse (saved), when the input
// turned out to be unreadable.
void restore_record(camera_setup* record, const camera_setup& saved);

// Runs parse(handler, user) into the record; when it reports -1 (the input
// could not be read) the record is put back as it was.
template <class Parse>
int parse_into(camera_setup* record, Parse parse) {
  const camera_setup before = record != nullptr ? *record : camera_setup{};
  setup_context context(record);
  const int result = parse(setup_handler, &context);
  if (result == -1 && record != nullptr) restore_record(record, before);
  return result;
}

}  // namespace quorlen

#endif
