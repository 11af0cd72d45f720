#include "line_sources.h"

#include <cstdio>
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

int parse_path(const char* path, entry_handler handler, void* user,
               const fault_observer* observer) {
  if (path == nullptr) return -1;
  std::FILE* file = std::fopen(path, "r");
  if (file == nullptr) return -1;
  int result = parse_open_stream(file, handler, user, observer);
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
