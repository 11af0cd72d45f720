#include "line_sources.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quorlen {

// An adapter rather than a cast: calling fgets through a reader type whose
// stream is void* would be undefined.
char* read_file_line(char* buffer, int size, void* stream) {
  return std::fgets(buffer, size, static_cast<std::FILE*>(stream));
}

// fgets ends a failed read the same way as the end of input; without the
// error flag a file that could not be read would look like a clean parse.
int parse_open_stream(std::FILE* stream, entry_handler handler, void* user,
                      const fault_observer* observer) {
  int result = parse_lines(read_file_line, stream, handler, user, observer);
  return std::ferror(stream) ? -1 : result;
}

namespace {

// Hands out the lines of a file with the fgets contract, reading it in large
// blocks: fgets locks and walks the stream on every call, which costs as much
// as parsing the line.
class block_reader {
 public:
  explicit block_reader(std::FILE* file)
      : file_(file), block_(static_cast<char*>(std::malloc(BLOCK_SIZE))) {}
  ~block_reader() { std::free(block_); }
  block_reader(const block_reader&) = delete;
  block_reader& operator=(const block_reader&) = delete;

  bool ok() const { return block_ != nullptr; }

  static char* read(char* buffer, int size, void* self) {
    return static_cast<block_reader*>(self)->line(buffer, size);
  }

 private:
  static constexpr std::size_t BLOCK_SIZE = 64 * 1024;

  char* line(char* buffer, int size) {
    if (size < 2) return nullptr;
    const std::size_t room = static_cast<std::size_t>(size) - 1;
    std::size_t length = 0;
    while (length < room) {
      if (next_ == end_ && !refill()) break;
      std::size_t count = static_cast<std::size_t>(end_ - next_);
      if (count > room - length) count = room - length;
      const void* newline = std::memchr(next_, '\n', count);
      if (newline != nullptr) {
        count = static_cast<std::size_t>(static_cast<const char*>(newline) -
                                         next_) +
                1;
      }
      std::memcpy(buffer + length, next_, count);
      length += count;
      next_ += count;
      if (newline != nullptr) break;
    }
    if (length == 0) return nullptr;
    buffer[length] = '\0';
    return buffer;
  }

  // A short block means the end of the file or a read error; the caller
  // tells them apart with ferror.
  bool refill() {
    const std::size_t count = std::fread(block_, 1, BLOCK_SIZE, file_);
    next_ = block_;
    end_ = block_ + count;
    return count > 0;
  }

  std::FILE* file_;
  char* block_;
  const char* next_ = nullptr;
  const char* end_ = nullptr;
};

}  // namespace

int parse_path(const char* path, entry_handler handler, void* user,
               const fault_observer* observer) {
  if (path == nullptr) return -1;
  std::FILE* file = std::fopen(path, "r");
  if (file == nullptr) return -1;
  int result;
  block_reader reader(file);
  if (reader.ok()) {
    result = parse_lines(block_reader::read, &reader, handler, user, observer);
    if (std::ferror(file)) result = -1;
  } else {
    result = parse_open_stream(file, handler, user, observer);
  }
  std::fclose(file);
  return result;
}

char* read_text_line(char* buffer, int size, void* stream) {
  auto* cursor = static_cast<text_cursor*>(stream);
  if (cursor->left == 0 || size < 2) return nullptr;
  std::size_t room = static_cast<std::size_t>(size) - 1;
  std::size_t count = cursor->left < room ? cursor->left : room;
  const void* newline = std::memchr(cursor->next, '\n', count);
  if (newline != nullptr) {
    count = static_cast<std::size_t>(static_cast<const char*>(newline) -
                                     cursor->next) +
            1;
  }
  std::memcpy(buffer, cursor->next, count);
  buffer[count] = '\0';
  cursor->next += count;
  cursor->left -= count;
  return buffer;
}

int parse_text(const char* text, entry_handler handler, void* user,
               const fault_observer* observer) {
  if (text == nullptr) text = "";
  text_cursor cursor{text, std::strlen(text)};
  return parse_lines(read_text_line, &cursor, handler, user, observer);
}

}  // namespace quorlen
