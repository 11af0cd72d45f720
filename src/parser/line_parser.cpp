#include "line_parser.h"

#include <strings.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "block_reader.h"
#include "text_helpers.h"

namespace quorlen {
namespace {

constexpr std::size_t BLOCK_INITIAL = 256;
// The bytes a name copy takes at least; a line source keeps them readable
// after a line's terminator.
constexpr std::size_t NAME_BLOCK = 8;
static_assert(block_reader::PADDING >= NAME_BLOCK, "names are copied whole");

// The text of one code block.  Once an allocation fails the block is dropped:
// its remaining lines are still consumed, but nothing is delivered.
class block_text {
 public:
  block_text() : data_(static_cast<char*>(std::malloc(BLOCK_INITIAL))) {
    if (data_ != nullptr) data_[0] = '\0';
  }
  ~block_text() { std::free(data_); }
  block_text(const block_text&) = delete;
  block_text& operator=(const block_text&) = delete;

  bool ok() const { return data_ != nullptr; }
  const char* text() const { return data_; }

  // Appends the line and a newline, growing geometrically so that a long
  // block costs linear time; false (and the block dropped) when the text
  // cannot grow.
  bool append(const char* line, std::size_t length) {
    const std::size_t need = size_ + length + 2;
    if (need > capacity_) {
      std::size_t grown = capacity_ > SIZE_MAX / 2 ? SIZE_MAX : capacity_ * 2;
      if (grown < need) grown = need;
      char* larger = need < size_
                         ? nullptr
                         : static_cast<char*>(std::realloc(data_, grown));
      if (larger == nullptr) {
        std::free(data_);
        data_ = nullptr;
        return false;
      }
      data_ = larger;
      capacity_ = grown;
    }
    std::memcpy(data_ + size_, line, length);
    size_ += length;
    data_[size_++] = '\n';
    data_[size_] = '\0';
    return true;
  }

 private:
  char* data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = BLOCK_INITIAL;
};

// Lines read through an fgets-style reader, measured as they come.
struct reader_input {
  line_reader reader;
  void* stream;
  char* buffer;  // MAX_LINE + NAME_BLOCK bytes, the last never written

  char* line(std::size_t* length, char** mark) {
    char* line = reader(buffer, MAX_LINE, stream);
    if (line != nullptr) *length = std::strlen(line);
    *mark = line;  // not known: look from the start
    return line;
  }
};

// Built for each input, the file reader's lines read without a call, and
// with or without an observer, so that a plain parse tests for neither.
template <class Input, bool observed>
class engine {
 public:
  engine(Input* input, entry_handler handler, void* user,
         parse_observer* observer)
      : input_(input), handler_(handler), user_(user), observer_(observer) {}

  int run() {
    while (read()) {
      char* start = line_;
      // A byte-order mark opens the first line only; strncmp stops at a
      // short line's terminator.
      const bool mark =
          line_number_ == 1 && std::strncmp(start, "\xEF\xBB\xBF", 3) == 0;
      if (mark) start += 3;
      end_ = trim_space_end(start, line_ + length_, is_space_);
      start = skip_space(start, is_space_);
      keep_for_observer(start);
      classify(start);
    }
    return first_error_;
  }

 private:
  [[gnu::always_inline]] bool read() {
    line_ = input_->line(&length_, &mark_);
    if (line_ == nullptr) return false;
    line_number_ += line_number_ < INT_MAX;  // a 4 GiB file must not wrap
    return true;
  }

  // The first rule that applies wins.  Most lines are name/value lines that
  // start with a letter at the line's start, which no other rule takes.
  void classify(char* start) {
    const char first = *start;
    if (start == line_ &&
        static_cast<unsigned char>((first | 0x20) - 'a') < 26) {
      return name_value(start);
    }
    if (first == '\0') return note(line_kind::blank, start);
    // Not blank: its second byte is there to read, the terminator at least.
    if (starts_comment(std::string_view(start, 2))) {
      return note(line_kind::comment, start);
    }
    if (last_name_[0] != '\0' && start > line_) {
      // An indented line continues the last name's value, taken whole.
      note(line_kind::continuation, start);
      deliver(last_name_, start);
    } else if (first == '[') {
      section_header(start);
    } else if (first == '=' && strcasecmp(start, BLOCK_START) == 0) {
      note(line_kind::block_start, start);
      code_block();
    } else {
      name_value(start);
    }
  }

  // Where the bracket group from from closes, or where the scan for its
  // ']' stops.  A line without a byte that may start an inline comment
  // needs only the C library's search, which pays where the rest is long.
  char* group_close(char* from) {
    if (mark_ >= end_ && end_ - from > 16) {
      void* close =
          std::memchr(from, ']', static_cast<std::size_t>(end_ - from));
      return close != nullptr ? static_cast<char*>(close) : end_;
    }
    return find_stop_char(from, stop_set::close_bracket, is_space_);
  }

  // "[a][b]" joins to the section "a||b"; only the first group must close.
  void section_header(char* start) {
    char* close = group_close(start + 1);
    if (*close != ']') return faulty(start, fault_kind::unclosed_section);
    bool open_group = false;
    while (!open_group && close[1] == '[') {
      close[0] = close[1] = '|';
      close = group_close(close + 1);
      open_group = *close != ']';
    }
    *close = '\0';
    std::size_t length = static_cast<std::size_t>(close - start - 1);
    if (length > sizeof section_ - 1) length = sizeof section_ - 1;
    std::memcpy(section_, start + 1, length);
    section_[length] = '\0';
    last_name_[0] = '\0';
    note(line_kind::section_header, start, close, open_group);
    deliver(nullptr, nullptr);
  }

  // The first '=' or ':' splits the line; values may hold both.
  [[gnu::always_inline]] void name_value(char* start) {
    char* separator = find_stop_char(start, stop_set::separator, is_space_);
    if (*separator != '=' && *separator != ':') {
      return faulty(start, fault_kind::missing_separator);
    }
    *separator = '\0';
    const char* name_end = trim_space_end(start, separator, is_space_);
    std::size_t length = static_cast<std::size_t>(name_end - start);
    if (length > sizeof last_name_ - 1) length = sizeof last_name_ - 1;
    // Most names are short: one fixed 8-byte copy, which the bytes every
    // line source keeps readable after a line allow, costs no loop.
    if (length < NAME_BLOCK) {
      std::memcpy(last_name_, start, NAME_BLOCK);
    } else {
      std::memcpy(last_name_, start, length);
    }
    last_name_[length] = '\0';
    // The line is trimmed already, so a value runs to its end unless the
    // line holds a byte that may start an inline comment; then the search
    // for one starts at the first such byte.
    char* value = skip_space(separator + 1, is_space_);
    char* value_end = end_;
    if (mark_ < end_) {
      value_end = find_stop_char(separator + 1, stop_set::none, is_space_,
                                 mark_ > separator ? mark_ : separator + 1);
      *value_end = '\0';
      // Blanks often line comments up: passed first without the table, and
      // without a bound, since the value starts with something else.
      char* end = value_end > value ? value_end : value;
      if (end > value) {
        while (end[-1] == ' ') --end;
      }
      trim_space_end(value, end, is_space_);
    }
    note(line_kind::pair, start, nullptr, false, value_end);
    deliver(start, value);
  }

  // Reads the block's lines verbatim up to the end marker.
  void code_block() {
    int opened = line_number_;
    block_text block;
    if (!block.ok()) record(fault_kind::block_no_memory, opened);
    for (;;) {
      if (!read()) return record(fault_kind::block_unterminated, opened, true);
      char* const end = trim_space_end(line_, line_ + length_, is_space_);
      char* first = skip_space(line_, is_space_);
      keep_for_observer(first);
      if (*first == '[' && *find_stop_char(first + 1, stop_set::close_bracket,
                                           is_space_) == ']') {
        note(line_kind::block_broken_off, first);
        // The header is consumed, not applied.
        return record(fault_kind::block_broken_off, opened, true);
      }
      if (*first == '=' && strcasecmp(first, BLOCK_END) == 0) {
        note(line_kind::block_end, first);
        if (block.ok()) deliver(nullptr, block.text());
        return;
      }
      note(line_kind::block_text, first);
      if (block.ok() &&
          !block.append(line_, static_cast<std::size_t>(end - line_))) {
        record(fault_kind::block_no_memory, opened);
      }
    }
  }

  void deliver(const char* name, const char* value) {
    if (handler_(user_, section_, name, value) == 0)
      record(fault_kind::refused);
  }

  void faulty(const char* start, fault_kind kind) {
    note(line_kind::faulty, start);
    record(kind);
  }

  // A code block's own faults replace any recorded before.
  void record(fault_kind kind, int block_line = 0, bool replace = false) {
    if (first_error_ == 0 || replace) first_error_ = line_number_;
    if (observed && observer_->report != nullptr) {
      const fault f{kind, line_number_, block_line, observer_->shown};
      observer_->report(observer_->context, f);
    }
  }

  // The line is cut in place while it is classified, so the observer is
  // shown a copy taken before that, kept in its own buffer so that an
  // ordinary parse does not carry one on the stack.
  void keep_for_observer(const char* start) {
    if (observed) std::strncpy(observer_->shown, start, MAX_LINE - 1);
  }

  // The facts are put together only for a watcher, so that a parse without
  // one pays a test a line and nothing more.
  void note(line_kind kind, const char* start, const char* close = nullptr,
            bool open_group = false, const char* value_end = nullptr) {
    if (observed && observer_->line != nullptr) {
      const line_facts facts{line_number_, line_,      start,    kind,
                             close,        open_group, value_end};
      observer_->line(observer_->context, facts);
    }
  }

  Input* input_;
  entry_handler handler_;
  void* user_;
  parse_observer* observer_;
  // The C library's white-space table, taken once a parse.
  const space_class is_space_;
  char* line_ = nullptr;  // the line read last
  std::size_t length_ = 0;
  char* mark_ = nullptr;  // where the line's first ';' or '/' may be
  char* end_ = nullptr;   // the line's terminator once trimmed
  char section_[MAX_SECTION] = {};
  char last_name_[MAX_NAME] = {};
  int line_number_ = 0;
  int first_error_ = 0;
};

template <class Input>
int run_engine(Input* input, entry_handler handler, void* user,
               parse_observer* observer) {
  if (observer != nullptr) {
    return engine<Input, true>(input, handler, user, observer).run();
  }
  return engine<Input, false>(input, handler, user, nullptr).run();
}

}  // namespace

int parse_blocks(block_reader& reader, entry_handler handler, void* user,
                 parse_observer* observer) {
  return run_engine(&reader, handler, user, observer);
}

int parse_lines(line_reader reader, void* stream, entry_handler handler,
                void* user, parse_observer* observer) {
  char buffer[MAX_LINE + NAME_BLOCK] = {};  // the reader never writes the last
  reader_input lines{reader, stream, buffer};
  return run_engine(&lines, handler, user, observer);
}

}  // namespace quorlen
