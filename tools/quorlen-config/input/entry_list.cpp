#include "input/entry_list.h"

#include <cstring>
#include <stdexcept>

namespace quorlen_tool {

void entry_list::add(const register_entry& entry, int line) {
  const unsigned count = entry.value_count < QUORLEN_MAX_VALUES
                             ? entry.value_count
                             : QUORLEN_MAX_VALUES;
  add(entry.entry_type, entry.values, count, line);
}

void entry_list::add(std::uint32_t type, const std::int32_t* values,
                     unsigned count, int line) {
  if (values_.size() > UINT32_MAX - QUORLEN_MAX_VALUES) {
    throw std::length_error("more register values than the tool can hold");
  }
  rows_.push_back({type, line, static_cast<std::uint32_t>(values_.size()),
                   static_cast<std::uint8_t>(count)});
  for (unsigned v = 0; v < count; ++v) values_.push_back(values[v]);
}

// A list without values has no array at all, so entries without values
// are never handed to memcpy or memcmp, whose pointers must not be null.
register_entry entry_list::entry(std::size_t i) const {
  register_entry e{};
  e.entry_type = type(i);
  e.value_count = static_cast<std::uint8_t>(count(i));
  if (count(i) > 0) {
    std::memcpy(e.values, values(i), count(i) * sizeof(std::int32_t));
  }
  return e;
}

bool entry_list::same(std::size_t i, const entry_list& other,
                      std::size_t j) const {
  return type(i) == other.type(j) && count(i) == other.count(j) &&
         (count(i) == 0 || std::memcmp(values(i), other.values(j),
                                       count(i) * sizeof(std::int32_t)) == 0);
}

bool entry_list::same(std::size_t i, const register_entry& e) const {
  return type(i) == e.entry_type && count(i) == e.value_count &&
         (count(i) == 0 || std::memcmp(values(i), e.values,
                                       count(i) * sizeof(std::int32_t)) == 0);
}

}  // namespace quorlen_tool
