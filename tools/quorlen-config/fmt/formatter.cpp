#include "fmt/formatter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "input/diagnostics.h"
#include "input/entry_list.h"
#include "input/source_map.h"
#include "lint/suppressions.h"
#include "quorlen_core.h"
#include "record/record_compare.h"

namespace quorlen_tool {

namespace {

using quorlen::line_kind;

// The comments that keep a hand-laid region as it is.
constexpr std::string_view FMT_OFF = "fmt off";
constexpr std::string_view FMT_ON = "fmt on";
constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";

// What the engine told of one line it read: offsets into that read.
struct line_view {
  line_kind kind;
  std::uint8_t start;      // the text after the indentation
  std::uint8_t name_end;   // pair: where the name ends
  std::uint8_t value_end;  // pair: where the value was cut
};

struct fault_at {
  quorlen::fault_kind kind;
  int line;
  int block_line;
  bool operator==(const fault_at& o) const {
    return kind == o.kind && line == o.line && block_line == o.block_line;
  }
};

// One watched parse: what each line was, the faults and the record.  The
// register entries are kept compactly, or, given those of another parse,
// only compared with them as they come, so that a proof of a large file
// holds one list.
class watched_parse {
 public:
  watched_parse(std::string_view bytes, const entry_list* against)
      : against_(against), setup_(&record, entry, this, false) {
    quorlen::parse_observer observer{fault, this, line};
    result =
        parse_bytes(bytes, quorlen::setup_watch::handle, &setup_, &observer);
    setup_.finish();
    if (failed_) throw std::bad_alloc();
  }
  ~watched_parse() { quorlen::release_setup(record); }
  watched_parse(const watched_parse&) = delete;
  watched_parse& operator=(const watched_parse&) = delete;

  // Whether the entries met those given, all of them and in order.
  bool same_entries() const {
    return !differ_ && against_ != nullptr && compared_ == against_->size();
  }

  camera_setup record{};
  entry_list entries;            // without another parse's to compare with
  std::vector<line_view> lines;  // a library line each
  std::vector<fault_at> faults;
  int result = 0;

 private:
  // The engine is built without exceptions: a failure is kept and raised
  // once the parse is over.
  static void line(void* self, const quorlen::line_facts& f) {
    auto* w = static_cast<watched_parse*>(self);
    const auto at = [&](const char* p) {
      return static_cast<std::uint8_t>(p - f.buffer);
    };
    line_view v{f.kind, at(f.start), 0, 0};
    if (f.kind == line_kind::pair) {
      // The engine has cut the name where it ends, before the blanks and
      // the separator after it.
      v.name_end = at(f.start + std::strlen(f.start));
      v.value_end = at(f.value_end);
    }
    try {
      w->lines.push_back(v);
    } catch (const std::bad_alloc&) {
      w->failed_ = true;
    }
  }
  static void fault(void* self, const quorlen::fault& f) {
    auto* w = static_cast<watched_parse*>(self);
    try {
      w->faults.push_back({f.kind, f.line, f.block_line});
    } catch (const std::bad_alloc&) {
      w->failed_ = true;
    }
  }
  static void entry(void* self, const register_entry& e) {
    auto* w = static_cast<watched_parse*>(self);
    if (w->against_ == nullptr) {
      try {
        w->entries.add(e, 0);
      } catch (const std::bad_alloc&) {
        w->failed_ = true;
      }
    } else if (w->compared_ >= w->against_->size() ||
               !w->against_->same(w->compared_++, e)) {
      w->differ_ = true;
    }
  }

  const entry_list* against_;
  quorlen::setup_watch setup_;
  std::size_t compared_ = 0;
  bool differ_ = false;
  bool failed_ = false;
};

std::string_view trim_end(std::string_view text) {
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

// The comment a line holds: a whole line's, or a pair's inline comment;
// empty for none.
std::string_view comment_in(std::string_view piece, const line_view& v) {
  if (!piece.empty() && piece.back() == '\n') piece.remove_suffix(1);
  const std::string_view text = trim_end(piece);
  if (v.kind == line_kind::comment) {
    return text.substr(std::min<std::size_t>(v.start, text.size()));
  }
  if (v.kind == line_kind::pair && v.value_end < text.size()) {
    return text.substr(v.value_end);
  }
  return {};
}

// The comments of two parses, in order, are the same.
bool same_comments(const source_map& a_map, const watched_parse& a,
                   const source_map& b_map, const watched_parse& b) {
  std::size_t i = 0, j = 0;
  for (;;) {
    std::string_view x, y;
    for (; i < a.lines.size() && x.empty(); ++i) {
      x = comment_in(a_map.piece_bytes(static_cast<int>(i) + 1), a.lines[i]);
    }
    for (; j < b.lines.size() && y.empty(); ++j) {
      y = comment_in(b_map.piece_bytes(static_cast<int>(j) + 1), b.lines[j]);
    }
    if (x != y) return false;
    if (x.empty()) return true;
  }
}

// What becomes of one line of the file.
struct shape {
  enum { verbatim, blank, text } kind = verbatim;
  line_kind read_as = line_kind::blank;
  std::string_view whole;    // the line with its line end, as it is
  std::string code;          // laid out, the inline comment aside
  std::string_view comment;  // an inline comment, or empty
  std::string_view eol;      // the line end it takes when laid out
};

// The file's lines one after the other, with the library's count beside
// an editor's.
struct line_cursor {
  std::size_t offset = 0;
  int line = 1;     // as an editor counts
  int library = 1;  // the library's number for its first read
  std::size_t long_index = 0;
};

class layout {
 public:
  layout(std::string_view bytes, const source_map& map,
         const watched_parse& parse, const fmt_options& options)
      : bytes_(bytes), map_(map), parse_(parse), options_(options) {
    for (const fault_at& f : parse.faults) {
      for (const int n : {f.line, f.block_line}) {
        if (n > 0 && map.editor_line(n) > still_) still_ = map.editor_line(n);
      }
    }
    const std::size_t newline = bytes.find('\n');
    file_eol_ = newline != std::string_view::npos && newline > 0 &&
                        bytes[newline - 1] == '\r'
                    ? "\r\n"
                    : "\n";
  }

  std::string run() {
    out_.reserve(bytes_.size() + bytes_.size() / 16 + 64);
    for (line_cursor at; at.offset < bytes_.size(); advance(at)) {
      shape s = shape_of(at);
      if (off_ || s.kind == shape::verbatim) {
        if (s.kind == shape::text && s.read_as == line_kind::comment) {
          switch_on_off(s.code);
        }
        write_content(s.whole, false);
        continue;
      }
      if (s.kind == shape::blank) {
        blank(at.line, s.eol);
        continue;
      }
      if (s.read_as == line_kind::comment && switch_on_off(s.code)) {
        write_content(s.whole, false);
        continue;
      }
      if (s.read_as == line_kind::section_header) header_gap(at.line, s.eol);
      if (!s.comment.empty()) {
        if (at.line >= run_end_) plan_run(at, s);
        pad(s);
      }
      s.code += s.eol;
      write_content(s.code, s.read_as == line_kind::comment, at.line);
    }
    return std::move(out_);
  }

 private:
  enum class last { nothing, blank, comment, other };

  void advance(line_cursor& at) const {
    const std::size_t newline = bytes_.find('\n', at.offset);
    at.offset = newline == std::string_view::npos ? bytes_.size() : newline + 1;
    const auto& longs = map_.long_lines();
    if (at.long_index < longs.size() && longs[at.long_index].line == at.line) {
      at.library += longs[at.long_index++].pieces;
    } else {
      ++at.library;
    }
    ++at.line;
  }

  shape shape_of(const line_cursor& at) const {
    shape s;
    const std::size_t newline = bytes_.find('\n', at.offset);
    const std::size_t end =
        newline == std::string_view::npos ? bytes_.size() : newline + 1;
    s.whole = bytes_.substr(at.offset, end - at.offset);
    const auto& longs = map_.long_lines();
    const bool whole_read =
        at.long_index >= longs.size() || longs[at.long_index].line != at.line;
    std::string_view body = s.whole;
    if (!body.empty() && body.back() == '\n') body.remove_suffix(1);
    if (!whole_read || body.find('\0') != std::string_view::npos) return s;
    s.eol = !options_.line_end.empty() ? std::string_view(options_.line_end)
            : newline == std::string_view::npos    ? file_eol_
            : !body.empty() && body.back() == '\r' ? "\r\n"
                                                   : "\n";
    const line_view& v = parse_.lines[static_cast<std::size_t>(at.library - 1)];
    s.read_as = v.kind;
    const std::string_view text = trim_end(body);
    const bool mark = at.line == 1 &&
                      text.substr(0, BYTE_ORDER_MARK.size()) == BYTE_ORDER_MARK;
    if (mark) s.code = BYTE_ORDER_MARK;
    switch (v.kind) {
    case line_kind::blank:
      if (mark) return s;
      s.kind = shape::blank;
      return s;
    case line_kind::continuation: s.code += options_.indent; [[fallthrough]];
    case line_kind::comment:
    case line_kind::section_header: s.code += text.substr(v.start); break;
    case line_kind::pair: pair_code(text, v, s); break;
    default: return s;  // faulty lines and code blocks stay as they are
    }
    if (s.code.size() + (s.comment.empty() ? 0 : 1 + s.comment.size()) +
            s.eol.size() >
        LINE_ROOM) {
      return shape{shape::verbatim, v.kind, s.whole, {}, {}, {}};
    }
    s.kind = shape::text;
    return s;
  }

  // Whether the text would start an inline comment after a blank, as the
  // engine reads one.
  static bool starts_inline_comment(std::string_view text) {
    char probe[4] = {' ', text[0], text.size() > 1 ? text[1] : '\0', '\0'};
    return quorlen::find_stop_char(probe, quorlen::stop_set::none) == probe + 1;
  }

  // NAME = value: one blank each side of the separator.  A value that
  // starts as an inline comment does ("=;x" holds ";x") stays against the
  // separator, where it starts none.
  static void pair_code(std::string_view text, const line_view& v, shape& s) {
    const std::string_view name = text.substr(v.start, v.name_end - v.start);
    // A line without a name is no KEY = value: most likely a slip, which
    // the lint names; it stays as it was written.
    if (name.empty()) {
      s.code += text.substr(v.start);
      return;
    }
    std::size_t separator = v.name_end;
    while (is_blank(text[separator])) ++separator;
    std::size_t value = separator + 1;
    while (value < v.value_end && is_blank(text[value])) ++value;
    const std::string_view kept =
        trim_end(text.substr(value, v.value_end - value));
    s.code += name;
    s.code += ' ';
    s.code += text[separator];
    if (!kept.empty()) {
      if (!starts_inline_comment(kept)) s.code += ' ';
      s.code += kept;
    }
    s.comment = text.substr(v.value_end);
  }

  // The column the inline comments of the run from here start in: one
  // blank after the longest code, where every line of the run can take it.
  void plan_run(line_cursor at, const shape& first) {
    std::size_t widest = code_width(first);
    line_cursor next = at;
    for (advance(next); next.offset < bytes_.size(); advance(next)) {
      const shape s = shape_of(next);
      if (s.kind != shape::text || s.comment.empty()) break;
      widest = std::max(widest, code_width(s));
    }
    run_end_ = next.line;
    column_ = widest + 1;
    if (!options_.align) {
      column_ = 0;
      return;
    }
    for (line_cursor l = at; l.line < run_end_; advance(l)) {
      const shape s = shape_of(l);
      if (s.code.size() + column_ - code_width(s) + s.comment.size() +
              s.eol.size() >
          LINE_ROOM) {
        column_ = 0;
        return;
      }
    }
  }

  static std::size_t code_width(const shape& s) {
    std::string_view code = s.code;
    if (code.substr(0, BYTE_ORDER_MARK.size()) == BYTE_ORDER_MARK) {
      code.remove_prefix(BYTE_ORDER_MARK.size());
    }
    return width_of(code);
  }

  void pad(shape& s) const {
    const std::size_t width = code_width(s);
    s.code.append(column_ > width ? column_ - width : 1, ' ');
    s.code += s.comment;
  }

  // Whether the comment turns laying out off or on, and the state after it.
  bool switch_on_off(std::string_view comment) {
    std::string_view text = comment;
    if (text.substr(0, BYTE_ORDER_MARK.size()) == BYTE_ORDER_MARK) {
      text.remove_prefix(BYTE_ORDER_MARK.size());
    }
    const std::optional<std::string_view> words = tool_words(text);
    if (!words) return false;
    if (*words == FMT_OFF) {
      off_ = true;
      return true;
    }
    if (*words == FMT_ON && off_) {
      off_ = false;
      return true;
    }
    return off_;
  }

  // Lines above a faulty one keep their numbers: nothing is added or taken
  // away there.
  bool may_move(int line) const { return line > still_; }

  void blank(int line, std::string_view eol) {
    if (!may_move(line)) {
      write_content(eol, false);
      last_ = last::blank;
      return;
    }
    if (last_ == last::nothing || last_ == last::blank || blank_due_) return;
    blank_due_ = true;
    blank_eol_ = eol;
  }

  // One blank line before a header, or before the comments right above it.
  void header_gap(int line, std::string_view eol) {
    if (blank_due_ || last_ == last::nothing || last_ == last::blank) return;
    if (last_ == last::comment) {
      if (!run_after_gap_ && may_move(run_line_)) {
        out_.insert(run_start_, eol);
      }
      return;
    }
    if (may_move(line)) {
      out_ += eol;
      last_ = last::blank;
    }
  }

  void write_content(std::string_view text, bool comment, int line = 0) {
    if (blank_due_) {
      out_ += blank_eol_;
      last_ = last::blank;
      blank_due_ = false;
    }
    if (comment && last_ != last::comment) {
      run_start_ = out_.size();
      run_line_ = line;
      run_after_gap_ = last_ != last::other;
    }
    out_ += text;
    last_ = comment ? last::comment : last::other;
  }

  std::string_view bytes_;
  const source_map& map_;
  const watched_parse& parse_;
  const fmt_options& options_;
  std::string_view file_eol_;
  int still_ = 0;  // the last line that must keep its number
  std::string out_;
  bool off_ = false;
  last last_ = last::nothing;
  bool blank_due_ = false;
  std::string_view blank_eol_;
  // The comment lines written last: where they start, and whether a blank
  // line or the file's start stands before them.
  std::size_t run_start_ = 0;
  int run_line_ = 0;
  bool run_after_gap_ = false;
  // The run of lines with inline comments being written.
  int run_end_ = 0;
  std::size_t column_ = 0;
};

}  // namespace

fmt_outcome format_config(std::string_view bytes, const fmt_options& options) {
  fmt_outcome outcome;
  const source_map map(bytes);
  const watched_parse before(bytes, nullptr);
  outcome.faulty = !before.faults.empty();
  outcome.text = layout(bytes, map, before, options).run();
  if (outcome.text == bytes) return outcome;
  const source_map after_map(outcome.text);
  const watched_parse after(outcome.text, &before.entries);
  if (after.result != before.result || after.faults != before.faults) {
    outcome.refused = "the faulty lines would change";
  } else if (!after.same_entries() ||
             !same_but_entries(before.record, after.record)) {
    outcome.refused = "the record would change";
  } else if (!same_comments(map, before, after_map, after)) {
    outcome.refused = "a comment would change";
  }
  if (!outcome.refused.empty()) outcome.text = std::string(bytes);
  return outcome;
}

}  // namespace quorlen_tool
