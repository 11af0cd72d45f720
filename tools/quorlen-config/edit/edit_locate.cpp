#include "edit/edit_locate.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <new>

#include "input/diagnostics.h"
#include "input/load.h"
#include "quorlen_core.h"
#include "record/record_json.h"

namespace quorlen_tool {

// Follows the parse line by line: the engine tells of each line before the
// events it causes, with pointers into the line as read, which give the
// offsets in the file.
class map_builder {
 public:
  explicit map_builder(file_map& map) : map_(map), setup_(&map.record_) {}

  void run() {
    quorlen::parse_observer observer{on_fault, this, on_line};
    parse_bytes(map_.bytes_, on_event, this, &observer);
    if (failure_) std::rethrow_exception(failure_);
  }

 private:
  static void on_fault(void* self, const quorlen::fault& f) {
    ++static_cast<map_builder*>(self)
          ->map_.faults_[static_cast<std::size_t>(f.kind)];
  }

  static void on_line(void* self, const quorlen::line_facts& facts) {
    auto* b = static_cast<map_builder*>(self);
    b->facts_ = facts;
    b->piece_ = b->map_.lines_.piece_at(facts.number);
    b->line_ = facts.number;
    using quorlen::line_kind;
    if (b->current_ != no_section && facts.kind != line_kind::blank &&
        facts.kind != line_kind::comment &&
        facts.kind != line_kind::section_header) {
      b->map_.sections_[b->current_].last_content = b->line_;
    }
  }

  // The engine is built without exceptions, so none may cross it: a
  // failure is kept and raised again once the parse is over.
  static int on_event(void* self, const char* section, const char* name,
                      const char* value) {
    auto* b = static_cast<map_builder*>(self);
    const int accepted = b->setup_.event(section, name, value);
    try {
      b->event(section, name, value);
    } catch (...) {
      if (!b->failure_) b->failure_ = std::current_exception();
    }
    return accepted;
  }

  void event(const char* section, const char* name, const char* value) {
    if (name == nullptr && value == nullptr) {
      const std::uint32_t code =
          quorlen::code_of(quorlen::section_codes, section);
      current_ = no_section;
      int control = -1;
      if (code == quorlen::CONTROL_SECTION && setup_.control_open()) {
        control = static_cast<int>(map_.record_.control_count) - 1;
      } else if (code != quorlen::CAMERA_SECTION) {
        return;
      }
      current_ = map_.sections_.size();
      map_.sections_.push_back({control, line_, line_, line_});
      return;
    }
    if (current_ == no_section || name == nullptr || value == nullptr) return;
    section_span& span = map_.sections_[current_];
    span.last_key = line_;
    map_.keys_.push_back(key_at(name, value, span.control));
  }

  std::size_t offset_of(const char* p) const {
    const auto base = reinterpret_cast<std::uintptr_t>(facts_.buffer);
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    const std::size_t in_line =
        at >= base && at < base + quorlen::MAX_LINE ? at - base : 0;
    return piece_.offset + in_line;
  }

  key_line key_at(const char* name, const char* value, int control) const {
    const std::string& bytes = map_.bytes_;
    const std::size_t begin = piece_.offset;
    const std::size_t end = std::min(begin + LINE_ROOM, bytes.size());
    // The text the engine saw: up to the first NUL, trimmed.
    std::size_t text_end = begin;
    while (text_end < end && bytes[text_end] != '\0' &&
           bytes[text_end] != '\n') {
      ++text_end;
    }
    while (text_end > begin && is_blank(bytes[text_end - 1])) --text_end;

    key_line k;
    k.library_line = line_;
    k.continuation = facts_.kind == quorlen::line_kind::continuation;
    k.name = name;
    k.control = control;
    k.value_begin = offset_of(value);
    k.value_end = k.value_begin + std::strlen(value);
    k.text_end = text_end;
    k.name_begin = offset_of(facts_.start);
    k.separator = no_offset;
    k.comment = no_offset;
    if (!k.continuation) {
      // Only white space stands between the separator and the value.
      std::size_t s = k.value_begin;
      while (s > k.name_begin && is_blank(bytes[s - 1])) --s;
      k.separator = s - 1;
      const std::size_t cut = offset_of(facts_.value_end);
      if (cut < text_end) k.comment = cut;
    }
    return k;
  }

  static constexpr std::size_t no_section = static_cast<std::size_t>(-1);
  file_map& map_;
  quorlen::setup_watch setup_;
  quorlen::line_facts facts_{};
  source_map::piece piece_{};  // of the line being read
  int line_ = 0;
  std::size_t current_ = no_section;
  std::exception_ptr failure_;
};

file_map::file_map(const std::string& bytes) : bytes_(bytes), lines_(bytes) {
  try {
    map_builder(*this).run();
  } catch (...) {
    quorlen::release_setup(record_);
    throw;
  }
}

file_map::~file_map() { quorlen::release_setup(record_); }

std::size_t file_map::line_begin(int library_line) const {
  return lines_.line_offset(lines_.editor_line(library_line));
}

std::size_t file_map::line_end(int library_line) const {
  const std::size_t end =
      bytes_.find('\n', lines_.piece_at(library_line).offset);
  return end == std::string::npos ? bytes_.size() : end;
}

}  // namespace quorlen_tool
