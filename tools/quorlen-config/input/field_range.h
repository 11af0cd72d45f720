// The values a numeric field can hold, from its row's width.
#ifndef QUORLEN_FIELD_RANGE_H
#define QUORLEN_FIELD_RANGE_H

#include <cstdint>

#include "quorlen_core.h"

namespace quorlen {

// The members are 8 or 16 bits unsigned, or 32 or 64 bits signed.
inline std::int64_t field_min(const field& f) {
  return f.size < 4 ? 0 : f.size == 4 ? INT32_MIN : INT64_MIN;
}

inline std::int64_t field_max(const field& f) {
  return f.size < 4    ? (std::int64_t{1} << (8 * f.size)) - 1
         : f.size == 4 ? INT32_MAX
                       : INT64_MAX;
}

}  // namespace quorlen

#endif
