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

// ',' separates; empty pieces do not count, a piece of only white space
// counts as 0.  Each piece is converted where it stands: the conversion
// stops at the ',' anyway, so the text needs no copy and no strtok state.
// Pieces after the sixteenth are dropped.
void parse_value_list(register_entry* entry, const char* text) {
  const space_class is_space;
  const unsigned count =
      scan::for_each_piece(text, [&](const char* piece, unsigned index) {
        if (index >= QUORLEN_MAX_VALUES) return piece;
        const char* end;
        entry->values[index] =
            scan::clamp32(scan::convert(piece, &end, is_space));
        return end;
      });
  entry->value_count = static_cast<std::uint8_t>(
      count < QUORLEN_MAX_VALUES ? count : QUORLEN_MAX_VALUES);
}

}  // namespace quorlen
