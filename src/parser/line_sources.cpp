#include "line_sources.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#if defined(__unix__)
#include <sys/stat.h>
#endif

#include "text_helpers.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Where the first newline or NUL in p[0, limit) stands; limit for none.
// A word at a time: the scan is a good part of a line's cost.  It reads up
// to a word past p + limit, so the caller keeps that much initialised
// memory there.
inline std::size_t line_break(const char* p, std::size_t limit) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  for (std::size_t i = 0; i < limit; i += sizeof(detail::word)) {
    detail::word w;
    std::memcpy(&w, p + i, sizeof w);
    const detail::word found =
        detail::zero_bytes(w) | detail::bytes_equal(w, '\n');
    if (found != 0) {
      const std::size_t at = i + detail::lowest_byte(found);
      return at < limit ? at : limit;
    }
  }
  return limit;
#else
  std::size_t at = 0;
  while (at < limit && p[at] != '\n' && p[at] != '\0') ++at;
  return at;
#endif
}

// The first newline in p[0, limit), or null.  With SSE2, 32 bytes a step
// and no call: a line is short, and the C library's memchr costs more in
// its set-up than in its scan; most lines end within the first step, so
// whether a line is over 16 bytes costs no branch.  Reads up to 31 bytes
// past p + limit.
inline char* find_newline(char* p, std::size_t limit) {
#if defined(__SSE2__)
  const __m128i newline = _mm_set1_epi8('\n');
  const auto found_in = [&](const char* at) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    return static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, newline)));
  };
  for (std::size_t i = 0; i < limit; i += 32) {
    const unsigned found = found_in(p + i) | found_in(p + i + 16) << 16;
    if (found != 0) {
      const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(found));
      return at < limit ? p + at : nullptr;
    }
  }
  return nullptr;
#else
  return static_cast<char*>(std::memchr(p, '\n', limit));
#endif
}

// Hands out the lines of a file as fgets with a MAX_LINE buffer would,
// reading it in large blocks and leaving each line where it lies: fgets
// locks and walks the stream on every call, and a copy per line costs as
// much again.  A line is terminated in place, over its newline; a line
// without one has the byte after it covered, and put back before the next.
class block_reader {
 public:
  block_reader(std::FILE* file, input_progress* progress)
      : file_(file),
        block_(static_cast<char*>(std::malloc(BLOCK_SIZE + PADDING))),
        next_(block_),
        end_(block_),
        nul_(block_),
        progress_(progress) {
    if (block_ != nullptr) std::memset(block_, 0, PADDING);
    if (progress_ != nullptr) {
      size_ = size_of(file);
      progress_->unread = size_;
    }
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
  // The terminator of a line that ends the block, and what the scans read
  // past it: 32 bytes less one here, SCAN_SLACK in the engine.
  static constexpr std::size_t PADDING = 32;
  static_assert(PADDING >= SCAN_SLACK, "the engine's scans read past a line");

  // The common case inline and small: no NUL within a read's reach, so
  // find_newline has only the newline to look for.  Everything else apart.
  char* line(std::size_t* length) {
    if (!holding_) {
      char* const line = next_;
      const std::size_t left = static_cast<std::size_t>(end_ - line);
      const std::size_t limit = left < LINE_ROOM ? left : LINE_ROOM;
      if (nul_ >= line + limit) {
        char* const newline = find_newline(line, limit);
        if (newline != nullptr) {
          *newline = '\0';  // trimmed by the engine in any case
          next_ = newline + 1;
          *length = static_cast<std::size_t>(newline - line);
          return line;
        }
      }
    }
    return other_line(length);
  }

  [[gnu::noinline]] char* other_line(std::size_t* length) {
    if (holding_) {
      *next_ = held_;
      holding_ = false;
    }
    for (bool refilled = false;; refilled = true) {
      char* const line = next_;
      const std::size_t left = static_cast<std::size_t>(end_ - line);
      const std::size_t limit = left < LINE_ROOM ? left : LINE_ROOM;
      const std::size_t at = line_break(line, limit);
      char* const newline =
          at < limit
              ? static_cast<char*>(std::memchr(line + at, '\n', limit - at))
              : nullptr;
      if (newline == nullptr && left < LINE_ROOM && !refilled) {
        refill();  // the line may go on past the block
        continue;
      }
      if (left == 0) return nullptr;
      *length = at;  // where a NUL or the newline stands
      if (newline != nullptr) {
        *newline = '\0';
        next_ = newline + 1;
      } else {  // the read ends without a newline
        next_ = line + limit;
        held_ = *next_;
        holding_ = true;
        *next_ = '\0';
      }
      if (nul_ < next_) nul_ = first_nul(next_);
      return line;
    }
  }

  // Keeps the unread bytes and reads after them; a short read is the end
  // of the file or an error, told apart by the caller with ferror.
  void refill() {
    const std::size_t left = static_cast<std::size_t>(end_ - next_);
    std::memmove(block_, next_, left);
    next_ = block_;
    end_ = block_ + left;
    const std::size_t got = std::fread(end_, 1, BLOCK_SIZE - left, file_);
    end_ += got;
    std::memset(end_, 0, PADDING);
    if (size_ != 0) {
      progress_->read += got;
      progress_->unread = size_ > progress_->read ? size_ - progress_->read : 0;
    }
    nul_ = first_nul(next_);
  }

  // A regular file's size, else 0; apart, so that the parse's deepest
  // chain does not carry the status record.
  [[gnu::noinline]] static std::size_t size_of(std::FILE* file) {
#if defined(__unix__)
    struct stat status;
    if (fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode) &&
        status.st_size > 0 &&
        static_cast<unsigned long long>(status.st_size) <= SIZE_MAX) {
      return static_cast<std::size_t>(status.st_size);
    }
#else
    (void)file;
#endif
    return 0;
  }

  // The first NUL at or after p; the padding after end_ holds one.
  char* first_nul(char* p) const {
    return static_cast<char*>(
        std::memchr(p, '\0', static_cast<std::size_t>(end_ - p) + 1));
  }

  std::FILE* file_;
  char* block_;
  char* next_;  // the unread bytes are [next_, end_)
  char* end_;
  char* nul_;  // the first NUL at or after next_, at end_ at the latest
  char held_ = '\0';
  bool holding_ = false;
  input_progress* progress_;
  std::size_t size_ = 0;  // the file's size when it is known, else 0
};

}  // namespace

int parse_path(const char* path, entry_handler handler, void* user,
               parse_observer* observer, input_progress* progress) {
  if (path == nullptr) return -1;
  std::FILE* file = std::fopen(path, "r");
  if (file == nullptr) return -1;
  int result;
  block_reader reader(file, progress);
  if (reader.ok()) {
    result = parse_lines(block_reader::next, &reader, handler, user, observer);
    if (std::ferror(file)) result = -1;
  } else {
    result = parse_open_stream(file, handler, user, observer);
  }
  std::fclose(file);
  return result;
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
  char buffer[MAX_LINE + SCAN_SLACK];

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
