// The file reader: hands out an input's lines as fgets with a MAX_LINE
// buffer would, from large blocks, each line left where it lies.
#ifndef QUORLEN_BLOCK_READER_H
#define QUORLEN_BLOCK_READER_H

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "line_parser.h"

namespace quorlen {

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
        block_(static_cast<char*>(std::malloc(BLOCK_SIZE + PADDING))),
        next_(block_),
        end_(block_),
        nul_(block_),
        semicolon_(block_),
        slash_(block_),
        watch_(block_) {
    if (block_ != nullptr) std::memset(block_, 0, PADDING);
  }
  ~block_reader() { std::free(block_); }
  block_reader(const block_reader&) = delete;
  block_reader& operator=(const block_reader&) = delete;

  // Readable bytes after the input's end: what the scans read past it.
  static constexpr std::size_t PADDING = 16;

  bool ok() const { return block_ != nullptr; }

  // The next line, terminated, with its length up to the first NUL, and
  // where its first ';' or '/' stands, the bytes that may start an inline
  // comment (its terminator for none); null at the end of the input.  The line
  // may be changed until the next call, and PADDING bytes after its terminator
  // can be read.
  [[gnu::always_inline]] char* line(std::size_t* length, char** mark) {
    std::size_t left = static_cast<std::size_t>(end_ - next_);
    if (left < LINE_ROOM && !drained_) left = refill();
    if (left == 0) return nullptr;
    char* const line = next_;
    // The input's next NUL, ';' and '/' are each found once for all the
    // lines before them: a NUL inside a line ends its text, as it does
    // after fgets, and most lines hold no comment mark.
    if (std::less<char*>()(watch_, line)) watch(line);
    const std::size_t limit = left < LINE_ROOM ? left : LINE_ROOM;
    char* const stop = static_cast<char*>(std::memchr(line, '\n', limit));
    if (stop == nullptr) return cut(line, line + limit, length, mark);
    next_ = stop + 1;
    describe(line, stop, length, mark);
    return line;
  }

 private:
  static constexpr std::size_t LINE_ROOM = MAX_LINE - 1;
  static constexpr std::size_t BLOCK_SIZE = 64 * 1024;

  // Terminates the line that ends at stop, with its length and first mark.
  [[gnu::always_inline]] void describe(char* line, char* stop,
                                       std::size_t* length, char** mark) {
    if (watch_ < stop) {
      *length = static_cast<std::size_t>((nul_ < stop ? nul_ : stop) - line);
      char* const first_mark = semicolon_ < slash_ ? semicolon_ : slash_;
      *mark = first_mark < stop ? first_mark : stop;
    } else {
      *length = static_cast<std::size_t>(stop - line);
      *mark = stop;
    }
    *stop = '\0';
  }

  // A read that ends without a newline: its terminator covers the next
  // line's first byte.  With no watch point the next call goes through
  // watch(), which puts the byte back, so that a line pays no test for it.
  [[gnu::noinline]] char* cut(char* line, char* stop, std::size_t* length,
                              char** mark) {
    next_ = stop;
    held_ = *stop;
    holding_ = true;
    describe(line, stop, length, mark);
    watch_ = nullptr;
    return line;
  }

  void put_back() {
    if (!holding_) return;
    *next_ = held_;
    holding_ = false;
  }

  // Keeps the unread bytes and reads after them; returns what is unread.
  std::size_t refill() {
    put_back();
    const std::size_t left = static_cast<std::size_t>(end_ - next_);
    std::memmove(block_, next_, left);
    next_ = block_;
    const std::size_t room = BLOCK_SIZE - left;
    const std::size_t got = fill_(from_, block_ + left, room);
    drained_ = got < room;
    end_ = block_ + left + got;
    std::memset(end_, 0, PADDING);
    nul_ = first(next_, '\0');
    semicolon_ = first(next_, ';');
    slash_ = first(next_, '/');
    watch(next_);
    return left + got;
  }

  // Finds again the NUL, ';' and '/' that lie before p, and the nearest.
  [[gnu::noinline]] void watch(char* p) {
    put_back();
    if (nul_ < p) nul_ = first(p, '\0');
    if (semicolon_ < p) semicolon_ = first(p, ';');
    if (slash_ < p) slash_ = first(p, '/');
    watch_ = nul_ < semicolon_ ? nul_ : semicolon_;
    if (slash_ < watch_) watch_ = slash_;
  }

  // The first c at or after p, or end_ for none (where a NUL stands).
  char* first(char* p, char c) const {
    void* at = std::memchr(p, c, static_cast<std::size_t>(end_ - p));
    return at != nullptr ? static_cast<char*>(at) : end_;
  }

  byte_source fill_;
  void* from_;
  char* block_;
  char* next_;  // the unread bytes are [next_, end_)
  char* end_;
  char* nul_;        // the input's first NUL at or after the last line's start
  char* semicolon_;  // the same for ';'
  char* slash_;      // and for '/'
  char* watch_;      // the nearest of the three; null when a byte is held
  char held_ = '\0';
  bool holding_ = false;
  bool drained_ = false;
};

// Parses the reader's lines; the engine reads them without a call.
int parse_blocks(block_reader& reader, entry_handler handler, void* user,
                 parse_observer* observer);

}  // namespace quorlen

#endif
