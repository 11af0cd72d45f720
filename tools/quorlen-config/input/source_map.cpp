#include "input/source_map.h"

#include <algorithm>
#include <cstring>

namespace quorlen_tool {

namespace {

const char* find_newline(std::string_view bytes, std::size_t from) {
  return static_cast<const char*>(
      std::memchr(bytes.data() + from, '\n', bytes.size() - from));
}

}  // namespace

// A line of n bytes and its newline takes ceil((n + 1) / LINE_ROOM) reads; a
// last line without a newline ceil(n / LINE_ROOM).
source_map::source_map(std::string_view bytes) : bytes_(bytes) {
  int extra = 0;
  for (std::size_t start = 0; start < bytes.size();) {
    if (lines_ % CHECKPOINT == 0) checkpoints_.push_back(start);
    ++lines_;
    const char* newline = find_newline(bytes, start);
    const std::size_t end =
        newline != nullptr ? static_cast<std::size_t>(newline - bytes.data())
                           : bytes.size();
    const std::size_t taken = end - start + (newline != nullptr ? 1 : 0);
    const auto reads = static_cast<int>((taken + LINE_ROOM - 1) / LINE_ROOM);
    if (reads > 1) {
      long_.push_back({lines_, lines_ + extra, reads, end - start});
      extra += reads - 1;
    }
    start = end + 1;
  }
  pieces_ = lines_ + extra;
}

int source_map::library_line(int line) const {
  auto after = std::lower_bound(
      long_.begin(), long_.end(), line,
      [](const long_line& l, int wanted) { return l.line < wanted; });
  if (after == long_.begin()) return line;
  const long_line& before = *(after - 1);
  return before.first_piece + before.pieces - 1 + (line - before.line);
}

source_map::piece source_map::piece_at(int library_line) const {
  if (pieces_ == 0) return {1, 0, 0};
  library_line = std::clamp(library_line, 1, pieces_);
  auto after = std::upper_bound(
      long_.begin(), long_.end(), library_line,
      [](int wanted, const long_line& l) { return wanted < l.first_piece; });
  int line = library_line;
  std::size_t column0 = 0;
  if (after != long_.begin()) {
    const long_line& before = *(after - 1);
    const int last_piece = before.first_piece + before.pieces - 1;
    if (library_line <= last_piece) {
      line = before.line;
      column0 = static_cast<std::size_t>(library_line - before.first_piece) *
                LINE_ROOM;
    } else {
      line = before.line + (library_line - last_piece);
    }
  }
  return {line, column0, line_offset(line) + column0};
}

std::size_t source_map::line_offset(int line) const {
  if (lines_ == 0) return 0;
  line = std::clamp(line, 1, lines_);
  const int checkpoint = (line - 1) / CHECKPOINT;
  int at = checkpoint * CHECKPOINT + 1;
  std::size_t offset = checkpoints_[static_cast<std::size_t>(checkpoint)];
  if (cached_line_ <= line && cached_line_ > at) {
    at = cached_line_;
    offset = cached_offset_;
  }
  for (; at < line; ++at) {
    offset =
        static_cast<std::size_t>(find_newline(bytes_, offset) - bytes_.data()) +
        1;
  }
  cached_line_ = line;
  cached_offset_ = offset;
  return offset;
}

std::string_view source_map::line_text(int line) const {
  if (line < 1 || line > lines_) return {};
  const std::size_t start = line_offset(line);
  const char* newline = find_newline(bytes_, start);
  std::size_t end = newline != nullptr
                        ? static_cast<std::size_t>(newline - bytes_.data())
                        : bytes_.size();
  if (newline != nullptr && end > start && bytes_[end - 1] == '\r') --end;
  return bytes_.substr(start, end - start);
}

int source_map::library_line_at(std::size_t offset) const {
  if (offset >= bytes_.size()) {
    return bytes_.empty() || bytes_.back() == '\n' ? pieces_ + 1 : pieces_;
  }
  const auto checkpoint =
      std::upper_bound(checkpoints_.begin(), checkpoints_.end(), offset) - 1;
  int line =
      static_cast<int>(checkpoint - checkpoints_.begin()) * CHECKPOINT + 1;
  std::size_t start = *checkpoint;
  for (const char* newline; (newline = find_newline(bytes_, start)) != nullptr;
       ++line) {
    const auto end = static_cast<std::size_t>(newline - bytes_.data());
    if (end >= offset) break;
    start = end + 1;
  }
  return library_line(line) + static_cast<int>((offset - start) / LINE_ROOM);
}

std::string_view source_map::piece_bytes(int library_line) const {
  if (pieces_ == 0) return {};
  const piece p = piece_at(library_line);
  const std::size_t line_end = p.offset - p.column0 + line_size(p.line);
  return bytes_.substr(p.offset, std::min(LINE_ROOM, line_end - p.offset));
}

bool source_map::read_whole(int line) const {
  auto it = std::lower_bound(
      long_.begin(), long_.end(), line,
      [](const long_line& l, int wanted) { return l.line < wanted; });
  if (it == long_.end() || it->line != line) return true;
  return it->pieces == 2 && it->length == LINE_ROOM;
}

std::size_t source_map::line_size(int line) const {
  if (line < 1 || line > lines_) return 0;
  const std::size_t start = line_offset(line);
  const char* newline = find_newline(bytes_, start);
  return (newline != nullptr
              ? static_cast<std::size_t>(newline - bytes_.data()) + 1
              : bytes_.size()) -
         start;
}

}  // namespace quorlen_tool
