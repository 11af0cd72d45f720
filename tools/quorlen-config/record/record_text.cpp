#include "record/record_text.h"

#include <strings.h>

#include <cstring>
#include <string_view>

#include "input/diagnostics.h"
#include "input/load.h"
#include "input/source_map.h"
#include "quorlen_core.h"
#include "record/record_json.h"

namespace quorlen_tool {

namespace {

using quorlen::field;
using quorlen::field_kind;

// Whether the engine's value scan over this text stops before its end, at
// an inline comment.
bool cut_by_comment(std::string text) {
  return *quorlen::find_stop_char(&text[0], quorlen::stop_set::none) != '\0';
}

class writer {
 public:
  writer(const camera_setup& s, const entry_list* entries)
      : s_(s), list_(entries) {}

  std::string run() {
    camera();
    entries();
    controls();
    return std::move(out_);
  }

 private:
  void line(const std::string& text, const std::string& path) {
    if (text.size() > LINE_ROOM) {
      throw unwritable(path, "the line it needs is longer than " +
                                 std::to_string(LINE_ROOM) + " characters");
    }
    out_ += text;
    out_ += '\n';
  }

  // A blank line sets sections apart, as in a hand-written file.
  void header(const std::string& text) {
    if (!out_.empty()) out_ += '\n';
    line(text, "$");
  }

  // A text as a pair line, or, when a pair line would cut a comment off it,
  // as an empty pair followed by a continuation line, which keeps comments.
  // room is what the field keeps: a text that fills it may be followed by
  // more, which the field cuts off again, so that a blank at its end is not
  // trimmed away.
  void text_key(const char* key, std::string_view whole,
                const std::string& path, std::size_t room) {
    if (whole.empty()) return;
    std::string padded(whole);
    if (whole.size() == room && is_blank(whole.back())) padded += 'x';
    const std::string_view text = padded;
    if (text.find_first_of(std::string_view("\n\0", 2)) !=
        std::string_view::npos) {
      throw unwritable(path, "a line end or NUL byte cannot stand in a value");
    }
    if (is_blank(text.front()) || is_blank(text.back())) {
      throw unwritable(path, "white space at either end of a value is trimmed");
    }
    // The value scan starts just after the separator, and its first
    // character never starts a comment: so "KEY =;x" keeps ";x".
    if (!cut_by_comment(" " + std::string(text))) {
      return line(std::string(key) + " = " + std::string(text), path);
    }
    if (!cut_by_comment(std::string(text))) {
      return line(std::string(key) + " =" + std::string(text), path);
    }
    if (quorlen::starts_comment(text)) {
      throw unwritable(path,
                       "a value that starts like a comment and holds "
                       "an inline comment has no spelling");
    }
    line(std::string(key) + " =", path);
    line("  " + std::string(text), path);
  }

  static bool set(const void* record, const field& f) {
    if (f.kind == field_kind::text) return !text_of(record, f).empty();
    if (f.kind == field_kind::pair_first) {
      return quorlen::field_number(record, f) != 0 ||
             quorlen::field_number(record, (&f)[1]) != 0;
    }
    return quorlen::field_number(record, f) != 0;
  }

  // One member as the row says a file sets it; nothing for an unset one,
  // which a zero-filled record holds already.
  void put(const void* record, const field& f, const std::string& path) {
    if (f.kind == field_kind::pair_second || !set(record, f)) return;
    const std::string key = f.key;
    const auto number = [&](const field& row) {
      return std::to_string(quorlen::field_number(record, row));
    };
    switch (f.kind) {
    case field_kind::text: {
      const std::string text = text_of(record, f);
      if (text.size() == f.size) {
        throw unwritable(
            path, "more than " + std::to_string(f.size - 1) + " characters");
      }
      return text_key(f.key, text, path, f.size - 1);
    }
    case field_kind::pair_first:
      return line(key + " = " + number(f) + ", " + number((&f)[1]), path);
    case field_kind::byte_pair: {
      const std::int64_t v = quorlen::field_number(record, f);
      return line(key + " = " + std::to_string(v >> 8) + ", " +
                      std::to_string(v & 0xFF),
                  path);
    }
    default: return line(key + " = " + number(f), path);
    }
  }

  // Names first, as people write them: then the numbers, in table order.
  void fields(const void* record, std::uint32_t family,
              const std::string& path) {
    for (const bool texts : {true, false}) {
      for (const field* f = quorlen::fields; f->key != nullptr; ++f) {
        if (f->family == family && (f->kind == field_kind::text) == texts) {
          put(record, *f, path + "." + f->member);
        }
      }
    }
  }

  void camera() {
    bool any = false;
    for (const field* f = quorlen::fields; f->key != nullptr; ++f) {
      any = any || (f->family == quorlen::CAMERA_SECTION && set(&s_, *f));
    }
    if (!any) return;
    header("[camera parameter]");
    fields(&s_, quorlen::CAMERA_SECTION, "$.camera");
  }

  void entry(std::uint32_t type, const std::int32_t* values, unsigned count,
             const std::string& path) {
    const char* section = section_name(type & 0xFFFF0000u);
    const char* key = register_key_name(type & 0xFFFFu);
    const std::uint32_t family = quorlen::section_family(type);
    if (section == nullptr || family == QUORLEN_SECTION_CAMERA ||
        family == QUORLEN_SECTION_CONTROL) {
      throw unwritable(path + ".section",
                       "no board or register section has this code");
    }
    if (key == nullptr) throw unwritable(path + ".key", "no key has this code");
    if (count > QUORLEN_MAX_VALUES) {
      throw unwritable(path + ".values", "more than 16 values");
    }
    if (section != current_) {
      header(std::string("[") + section + "]");
      current_ = section;
    }
    const std::string spaced = std::string(key) + (count > 0 ? " = " : " =") +
                               values_text(type, values, count, ", ");
    const std::string compact =
        std::string(key) + "=" + values_text(type, values, count, ",");
    line(spaced.size() <= LINE_ROOM ? spaced : compact, path + ".values");
  }

  void entries() {
    if (list_ != nullptr) {
      for (std::size_t i = 0; i < list_->size(); ++i) {
        entry(list_->type(i), list_->values(i), list_->count(i),
              "$.entries[" + std::to_string(i) + "]");
      }
      return;
    }
    for (std::uint32_t i = 0; i < s_.entry_count; ++i) {
      const register_entry& e = s_.entries[i];
      entry(e.entry_type, e.values, e.value_count,
            "$.entries[" + std::to_string(i) + "]");
    }
  }

  // Each line of the block verbatim; a line of exactly LINE_ROOM characters is
  // what one read takes, so the next one follows it without a line end.
  void code_block(const char* code, const std::string& path) {
    std::string_view text(code);
    if (!text.empty() && text.back() != '\n') {
      throw unwritable(path, "a code block's text ends without a line end");
    }
    out_ += quorlen::BLOCK_START;
    out_ += '\n';
    while (!text.empty()) {
      const std::size_t end = text.find('\n');
      const std::string_view one = text.substr(0, end);
      text.remove_prefix(end + 1);
      code_line(one, path);
      out_.append(one);
      if (one.size() < LINE_ROOM) out_ += '\n';
    }
    out_ += quorlen::BLOCK_END;
    out_ += '\n';
  }

  static void code_line(std::string_view one, const std::string& path) {
    if (one.size() > LINE_ROOM) {
      throw unwritable(path, "a code line is longer than " +
                                 std::to_string(LINE_ROOM) + " characters");
    }
    if (!one.empty() && is_blank(one.back())) {
      throw unwritable(path,
                       "white space at the end of a code line is trimmed");
    }
    std::size_t first = 0;
    while (first < one.size() && is_blank(one[first])) ++first;
    const std::string rest(one.substr(first));
    if (strcasecmp(rest.c_str(), quorlen::BLOCK_END) == 0) {
      throw unwritable(path, "a code line is the end marker");
    }
    std::string probe = rest + '\0';
    if (probe[0] == '[' &&
        *quorlen::find_stop_char(&probe[1], quorlen::stop_set::close_bracket) ==
            ']') {
      throw unwritable(path, "a code line reads as a section header");
    }
  }

  void controls() {
    for (std::uint32_t i = 0; i < s_.control_count; ++i) {
      const control_entry& c = s_.controls[i];
      const std::string path = "$.controls[" + std::to_string(i) + "]";
      header("[control parameter]");
      fields(&c, quorlen::CONTROL_SECTION, path);
      if (c.code != nullptr) code_block(c.code, path + ".code");
    }
  }

  const camera_setup& s_;
  const entry_list* list_;
  const char* current_ = nullptr;  // the section of the entries last written
  std::string out_;
};

// The entries read back, against those written.
bool same_entries(const camera_setup& s, const entry_list* list,
                  const entry_list& back) {
  const std::size_t count = list != nullptr ? list->size() : s.entry_count;
  if (back.size() != count) return false;
  for (std::size_t i = 0; i < count; ++i) {
    const bool same =
        list != nullptr ? list->same(i, back, i) : back.same(i, s.entries[i]);
    if (!same) return false;
  }
  return true;
}

}  // namespace

std::string write_config(const camera_setup& record,
                         const entry_list* entries) {
  std::string text = writer(record, entries).run();
  // The proof: the library reads the text back into the same record.
  loaded_file back;
  load(text, entries_go::list, back);
  if (back.result != 0 || !same_but_entries(record, back.record) ||
      !same_entries(record, entries, back.entries)) {
    throw unwritable("$", "the written file would read back differently");
  }
  return text;
}

}  // namespace quorlen_tool
