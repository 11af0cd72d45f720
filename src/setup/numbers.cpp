#include "number_scan.h"
#include "setup_internal.h"

namespace quorlen {

std::int64_t parse_int64(const char* text, space_class is_space) {
  const char* end;
  std::uint32_t value;
  if (scan::convert_short(&text, &end, &value, is_space)) return value;
  return scan::convert(text, &end, is_space);
}

// Saturates at the 32-bit bounds on every platform, as a 32-bit strtol does.
std::int32_t parse_int32(const char* text, space_class is_space) {
  const char* end;
  return scan::convert32(text, &end, is_space);
}

}  // namespace quorlen
