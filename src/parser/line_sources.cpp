#include "line_sources.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "block_reader.h"

namespace quorlen {

// fgets ends a failed read the same way as the end of input; without the
// error flag a file that could not be read would look like a clean parse.
int parse_open_stream(std::FILE* stream, entry_handler handler, void* user,
                      parse_observer* observer) {
  // A reader rather than a cast: calling fgets through a reader type whose
  // stream is void* would be undefined.
  const line_reader read_file_line = [](char* buffer, int size, void* file) {
    return std::fgets(buffer, size, static_cast<std::FILE*>(file));
  };
  int result = parse_lines(read_file_line, stream, handler, user, observer);
  return std::ferror(stream) ? -1 : result;
}

namespace {

// A short read is the end of the file or an error, told apart by the caller
// with ferror.
std::size_t read_file(void* file, char* to, std::size_t room) {
  return std::fread(to, 1, room, static_cast<std::FILE*>(file));
}

struct byte_span {
  const char* next;
  std::size_t left;
};

std::size_t read_span(void* span, char* to, std::size_t room) {
  auto& bytes = *static_cast<byte_span*>(span);
  const std::size_t got = bytes.left < room ? bytes.left : room;
  std::memcpy(to, bytes.next, got);
  bytes.next += got;
  bytes.left -= got;
  return got;
}

}  // namespace

int parse_path(const char* path, entry_handler handler, void* user,
               parse_observer* observer) {
  if (path == nullptr) return -1;
  std::FILE* file = std::fopen(path, "r");
  if (file == nullptr) return -1;
  int result;
  block_reader reader(read_file, file);
  if (reader.ok()) {
    // The reader's blocks are the buffer: the stream needs none of its own.
    std::setvbuf(file, nullptr, _IONBF, 0);
    result = parse_blocks(reader, handler, user, observer);
    if (std::ferror(file)) result = -1;
  } else {
    result = parse_open_stream(file, handler, user, observer);
  }
  std::fclose(file);
  return result;
}

// Without memory for a block, a line at a time through read_text_line,
// which copies NUL bytes as fgets does.
int parse_bytes(const char* bytes, std::size_t size, entry_handler handler,
                void* user, parse_observer* observer) {
  byte_span span{bytes, size};
  block_reader reader(read_span, &span);
  if (reader.ok()) return parse_blocks(reader, handler, user, observer);
  text_cursor cursor{bytes, size};
  return parse_lines(read_text_line, &cursor, handler, user, observer);
}

// Copies the next line of the text, at most size - 1 characters, into
// buffer and terminates it.
char* read_text_line(char* buffer, int size, void* stream) {
  auto& cursor = *static_cast<text_cursor*>(stream);
  if (cursor.left == 0 || size < 2) return nullptr;
  const auto room = static_cast<std::size_t>(size) - 1;
  std::size_t count = cursor.left < room ? cursor.left : room;
  const void* newline = std::memchr(cursor.next, '\n', count);
  if (newline != nullptr) {
    count = static_cast<std::size_t>(static_cast<const char*>(newline) -
                                     cursor.next) +
            1;
  }
  std::memcpy(buffer, cursor.next, count);
  buffer[count] = '\0';
  cursor.next += count;
  cursor.left -= count;
  return buffer;
}

}  // namespace quorlen
