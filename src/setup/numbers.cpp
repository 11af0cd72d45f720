#include "number_scan.h"
#include "setup_internal.h"

namespace quorlen {

std::int64_t parse_int64(const char* text) {
  const char* end;
  return scan::convert(text, &end, space_class());
}

// Saturates at the 32-bit bounds on every platform, as a 32-bit strtol does.
std::int32_t parse_int32(const char* text) {
  const char* end;
  return scan::convert32(text, &end, space_class());
}

}  // namespace quorlen
