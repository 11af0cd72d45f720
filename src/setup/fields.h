// Every camera and control key, described once.  The handler stores through
// these rows; everything that lists, reads, writes or explains the record's
// fields walks the same rows, so a new key is one more row.
#ifndef QUORLEN_FIELDS_H
#define QUORLEN_FIELDS_H

#include <cstddef>
#include <cstdint>

#include "char_class.h"
#include "quorlen_config_parser.h"

namespace quorlen {

// A section code's family: its top byte, which every section of one kind
// shares (the board sections, say, whatever their device and interface).
constexpr std::uint32_t section_family(std::uint32_t code) {
  return code & 0xFF000000u;
}

// How a key's value is stored in its member.
enum class field_kind : unsigned char {
  int32,        // parse_int32
  low8,         // the low 8 bits of parse_int32
  low16,        // the low 16 bits of parse_int32
  int64,        // parse_int64
  low32_of_64,  // the low 32 bits of parse_int64
  text,         // at most size - 1 bytes, the rest of the member NULs
  pair_first,   // a list of exactly two values: the first here, the second
                // in the next row's member; another count changes neither
  pair_second,  // filled by the row before
  byte_pair,    // a list of one or two values a[, b]: the low 16 bits of
                // (a << 8) | b, b not masked; another count changes nothing
};

struct field {
  const char* key;       // as the file writes it
  std::uint32_t family;  // the section code: camera or control
  const char* member;    // the member it fills, which JSON names the same
  std::size_t offset;    // in camera_setup or control_entry
  std::size_t size;      // the member's bytes
  field_kind kind;
  const char* summary;  // one line for people
  bool hex;             // a code or an address: shown in hex to people
};

// In member order; ends with a row whose key is null.
extern const field fields[];

// The row of that family and key (exact, case-sensitive), or null.  For
// "SIZE" the row of its first member.  The rows after last, the row found
// last, are tried first: a file's keys mostly come in the table's order.
const field* find_field(std::uint32_t family, const char* key,
                        const field* last = nullptr);

// find_field for a key with four bytes readable from its start, such as a
// name the engine delivers: found with fewer compares.  Every key is at least
// three letters long.
const field* find_delivered_field(std::uint32_t family, const char* key,
                                  const field* last = nullptr);

// The member a row fills, in the camera_setup or control_entry given.
inline void* member_of(void* record, const field& f) {
  return static_cast<char*>(record) + f.offset;
}
inline const void* member_of(const void* record, const field& f) {
  return static_cast<const char*>(record) + f.offset;
}

// Stores a key's value as the row says; a list of another count than its
// rule takes changes nothing.
void store_field(void* record, const field& f, const char* value,
                 space_class is_space = space_class());

// A numeric member's value.
std::int64_t field_number(const void* record, const field& f);
// Sets a numeric member to a value within its range.
void set_field_number(void* record, const field& f, std::int64_t value);

}  // namespace quorlen

#endif
