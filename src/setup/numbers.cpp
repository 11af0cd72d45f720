#include "number_scan.h"
#include "setup_internal.h"

namespace quorlen {

std::int64_t parse_int64(const char* text) {
  const char* end;
  return scan::convert(text, &end, space_class());
}

// Saturates at the 32-bit bounds on every platform, as a 32-bit strtol does.
std::int32_t parse_int32(const char* text) {
  return scan::clamp32(parse_int64(text));
}

// Each piece is converted where it stands: the conversion stops at the ','
// anyway.  Pieces after the sixteenth are dropped.
void parse_value_list(register_entry* entry, const char* text,
                      space_class is_space) {
  constexpr unsigned places = QUORLEN_MAX_VALUES;
  unsigned count = 0;
  for (const char* p = text; (p = scan::first_piece(p)) != nullptr; ++count) {
    const std::int32_t value = scan::convert32(p, &p, is_space);
    if (count < places) entry->values[count] = value;
    p = scan::end_of_piece(p);
  }
  entry->value_count =
      static_cast<std::uint8_t>(count < places ? count : places);
}

}  // namespace quorlen
