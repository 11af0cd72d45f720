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
                      parse_observer* observer) {
  int result = parse_lines(read_file_line, stream, handler, user, observer);
  return std::ferror(stream) ? -1 : result;
}

namespace {

constexpr std::size_t LINE_ROOM = MAX_LINE - 1;  // characters a read takes

// Where a block_reader takes its bytes from: fills to[0, room) as far as it
// can and returns how many it put there; fewer at the end of the input.
using byte_source = std::size_t (*)(void* from, char* to, std::size_t room);

// Hands out the lines of an input as fgets with a MAX_LINE buffer would,
// reading it in large blocks and leaving each line where it lies: fgets
// locks and walks the stream on every call, and a copy per line costs as
// much again.  A line is terminated in place, over its newline; a line cut
// at LINE_ROOM characters has the byte after it covered, and put back
// before the next.
class block_reader {
 public:
  block_reader(byte_source fill, void* from)
      : fill_(fill),
        from_(from),
        block_(static_cast<char*>(std::malloc(BLOCK_SIZE + 1))),
        next_(block_),
        end_(block_),
        nul_(block_) {
    if (block_ != nullptr) *block_ = '\0';
  }
  ~block_reader() { std::free(block_); }
  block_reader(const block_reader&) = delete;
  block_reader& operator=(const block_reader&) = delete;

  bool ok() const { return block_ != nullptr; }

  static char* next(void* self, std::size_t* length) {
    return static_cast<block_reader*>(self)->line(length);
  }

 private:
  static constexpr std::size_t BLOCK_SIZE = 64 * 1024;

  char* line(std::size_t* length) {
    if (holding_) put_back();
    std::size_t left = static_cast<std::size_t>(end_ - next_);
    if (left < LINE_ROOM && !drained_) left = refill();
    if (left == 0) return nullptr;
    char* const line = next_;
    // A NUL byte inside the line ends its text, as it does after fgets.
    if (nul_ < line) nul_ = first_nul(line);
    const std::size_t limit = left < LINE_ROOM ? left : LINE_ROOM;
    char* stop = static_cast<char*>(std::memchr(line, '\n', limit));
    if (stop != nullptr) {
      next_ = stop + 1;
    } else {  // the read ends without a newline
      stop = line + limit;
      next_ = stop;
      held_ = *stop;
      holding_ = true;
    }
    *length = static_cast<std::size_t>((nul_ < stop ? nul_ : stop) - line);
    *stop = '\0';
    return line;
  }

  // The byte that a cut line's terminator covered.
  void put_back() {
    *next_ = held_;
    holding_ = false;
  }

  // Keeps the unread bytes and reads after them; returns what is unread.
  std::size_t refill() {
    const std::size_t left = static_cast<std::size_t>(end_ - next_);
    std::memmove(block_, next_, left);
    next_ = block_;
    const std::size_t room = BLOCK_SIZE - left;
    const std::size_t got = fill_(from_, block_ + left, room);
    drained_ = got < room;
    end_ = block_ + left + got;
    *end_ = '\0';
    nul_ = first_nul(next_);
    return left + got;
  }

  // The first NUL at or after p; there is one at end_.
  char* first_nul(char* p) const {
    return static_cast<char*>(
        std::memchr(p, '\0', static_cast<std::size_t>(end_ - p) + 1));
  }

  byte_source fill_;
  void* from_;
  char* block_;
  char* next_;  // the unread bytes are [next_, end_)
  char* end_;
  char* nul_;  // the input's first NUL at or after the last line's start
  char held_ = '\0';
  bool holding_ = false;
  bool drained_ = false;
};

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
    result = parse_lines(block_reader::next, &reader, handler, user, observer);
    if (std::ferror(file)) result = -1;
  } else {
    result = parse_open_stream(file, handler, user, observer);
  }
  std::fclose(file);
  return result;
}

int parse_bytes(const char* bytes, std::size_t size, entry_handler handler,
                void* user, parse_observer* observer) {
  byte_span span{bytes, size};
  block_reader reader(read_span, &span);
  if (!reader.ok()) return -1;
  return parse_lines(block_reader::next, &reader, handler, user, observer);
}

namespace {

// Copies the next line of the text, at most room characters, into buffer;
// returns how many were copied.
std::size_t take_text_line(text_cursor& cursor, char* buffer,
                           std::size_t room) {
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
  return count;
}

// A text without NUL bytes as a line source.
struct text_source {
  text_cursor cursor;
  char buffer[MAX_LINE];

  static char* next(void* self, std::size_t* length) {
    auto* source = static_cast<text_source*>(self);
    if (source->cursor.left == 0) return nullptr;
    *length = take_text_line(source->cursor, source->buffer, LINE_ROOM);
    return source->buffer;
  }
};

}  // namespace

char* read_text_line(char* buffer, int size, void* stream) {
  auto* cursor = static_cast<text_cursor*>(stream);
  if (cursor->left == 0 || size < 2) return nullptr;
  take_text_line(*cursor, buffer, static_cast<std::size_t>(size) - 1);
  return buffer;
}

int parse_text(const char* text, entry_handler handler, void* user,
               parse_observer* observer) {
  if (text == nullptr) text = "";
  text_source source{{text, std::strlen(text)}, {}};
  return parse_lines(text_source::next, &source, handler, user, observer);
}

}  // namespace quorlen
