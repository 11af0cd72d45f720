// A file's register entries, kept compactly: a whole record's entries take
// 72 bytes each, where most lines hold two or three values.
#ifndef QUORLEN_ENTRY_LIST_H
#define QUORLEN_ENTRY_LIST_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <type_traits>

#include "quorlen_config_parser.h"

namespace quorlen_tool {

// A growing array of plain values in the C library's allocator: a large one
// grows in place (the kernel moves its pages) rather than by a copy that
// needs the old and the new array at once.
template <class T>
class grow_array {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  grow_array() = default;
  ~grow_array() { std::free(data_); }
  grow_array(const grow_array&) = delete;
  grow_array& operator=(const grow_array&) = delete;
  grow_array(grow_array&& other) noexcept { swap(other); }
  grow_array& operator=(grow_array&& other) noexcept {
    swap(other);
    return *this;
  }

  void push_back(const T& value) {
    if (size_ == room_) grow();
    data_[size_++] = value;
  }
  std::size_t size() const { return size_; }
  const T& operator[](std::size_t i) const { return data_[i]; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T* data() const { return data_; }

 private:
  void grow() {
    const std::size_t room = room_ < 1024 ? 1024 : room_ + room_ / 2;
    if (room > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    void* grown = std::realloc(data_, room * sizeof(T));
    if (grown == nullptr) throw std::bad_alloc();
    data_ = static_cast<T*>(grown);
    room_ = room;
  }
  void swap(grow_array& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(room_, other.room_);
  }

  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t room_ = 0;
};

class entry_list {
 public:
  // line: as an editor counts, 0 when unknown.
  void add(const register_entry& entry, int line);
  void add(std::uint32_t type, const std::int32_t* values, unsigned count,
           int line);

  std::size_t size() const { return rows_.size(); }
  std::uint32_t type(std::size_t i) const { return rows_[i].type; }
  int line(std::size_t i) const { return rows_[i].line; }
  unsigned count(std::size_t i) const { return rows_[i].count; }
  const std::int32_t* values(std::size_t i) const {
    return values_.data() + rows_[i].first;
  }
  // The entry as the record holds it.
  register_entry entry(std::size_t i) const;
  // Same section, key and values.
  bool same(std::size_t i, const entry_list& other, std::size_t j) const;
  bool same(std::size_t i, const register_entry& e) const;

 private:
  struct row {
    std::uint32_t type;
    int line;
    std::uint32_t first;  // in values_
    std::uint8_t count;
  };
  grow_array<row> rows_;
  grow_array<std::int32_t> values_;
};

}  // namespace quorlen_tool

#endif
