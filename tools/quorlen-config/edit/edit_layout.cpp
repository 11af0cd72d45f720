// Writing a value as the file's author lays out lines: the line that sets
// its key rewritten with its indentation, spacing and comment, or a line
// added to its section like the pair line before it.
#include "edit/edit_layout.h"

#include <string_view>
#include <utility>

#include "input/diagnostics.h"
#include "input/number_reading.h"
#include "quorlen_core.h"

namespace quorlen_tool {

namespace {

using quorlen::field;
using quorlen::field_kind;

// White space that takes a line from head to the column given, with tabs
// where the white space it replaces had any; at least one blank when least
// is set.
std::string pad_to(std::string_view head, std::size_t column,
                   std::string_view style, bool least) {
  std::size_t at = width_of(head);
  std::string pad;
  if (style.find('\t') != std::string_view::npos) {
    while ((at / 8 + 1) * 8 <= column) {
      pad += '\t';
      at = (at / 8 + 1) * 8;
    }
  }
  if (at < column) pad.append(column - at, ' ');
  if (pad.empty() && least) pad = " ";
  return pad;
}

}  // namespace

bool fits(std::string_view text) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find('\n', start);
    const std::size_t stop = end == std::string_view::npos ? text.size() : end;
    if (stop - start > LINE_ROOM) return false;
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

namespace {

bool number_kind(field_kind kind) {
  switch (kind) {
  case field_kind::int32:
  case field_kind::low8:
  case field_kind::low16:
  case field_kind::int64:
  case field_kind::low32_of_64: return true;
  default: return false;
  }
}

// Ways to write a value on the line that sets its key last, best first.
class rewriter {
 public:
  rewriter(const file_map& map, const key_line& k, const field& f,
           const std::string& value)
      : k_(k),
        f_(f),
        value_(value),
        begin_(map.line_begin(k.library_line)),
        end_(map.line_end(k.library_line)),
        line_(map.bytes().substr(begin_, end_ - begin_)),
        trailing_(line_.substr(at(k.text_end))) {}

  std::vector<spelling> candidates() const {
    std::vector<spelling> out;
    const auto add = [&](std::string text, std::string carried) {
      out.push_back({{begin_, end_, std::move(text)}, std::move(carried)});
    };
    if (k_.continuation) {
      // A continuation's whole text is its value; the comment after a
      // number is kept, since the number ends before it.
      const std::string indent = line_.substr(0, at(k_.value_begin));
      if (const std::string kept = kept_comment(); !kept.empty()) {
        add(indent + value_ + kept + trailing_, value_ + kept);
      }
      add(indent + value_ + trailing_, value_);
      return out;
    }
    const std::size_t after_separator = at(k_.separator) + 1;
    const std::string tight = line_.substr(0, after_separator);
    std::string head = line_.substr(0, at(k_.value_begin));
    if (value_.empty()) {
      head = tight;  // no blank after "KEY =" for nothing
    } else if (k_.value_end == k_.value_begin) {
      head = tight + ' ';  // "KEY =" gains its value after a blank
    }
    add(with_comment(head, value_), value_);
    // After a blank a ';' or "//" would start a comment; straight after the
    // separator it does not.
    if (tight != head) add(with_comment(tight, value_), value_);
    if (f_.kind == field_kind::text) {
      // A continuation line keeps what a pair line would cut off.
      add(with_comment(tight, "") + "\n  " + value_ + trailing_, value_);
    }
    return out;
  }

 private:
  std::size_t at(std::size_t offset) const { return offset - begin_; }

  // The line from head on with its comment where it stood: padded to its
  // column, or one blank before it when the value has grown past it.
  std::string with_comment(const std::string& head,
                           const std::string& value) const {
    std::string line = head + value;
    if (k_.comment == no_offset) return line + trailing_;
    // The white space before the comment; all of it after the separator
    // when the old value was empty.
    const std::size_t gap_start =
        k_.value_end > k_.value_begin ? at(k_.value_end) : at(k_.separator) + 1;
    const std::size_t comment = at(k_.comment);
    const std::string_view old(line_);
    const std::string_view gap = old.substr(gap_start, comment - gap_start);
    if (width_of(line) == width_of(old.substr(0, gap_start)) && !gap.empty()) {
      line += gap;
    } else {
      line += pad_to(line, width_of(old.substr(0, comment)), gap, true);
    }
    return line + line_.substr(comment, at(k_.text_end) - comment) + trailing_;
  }

  // A number's continuation line may end in "; why": that tail, from the
  // white space after the number on.
  std::string kept_comment() const {
    if (!number_kind(f_.kind)) return "";
    const std::string text =
        line_.substr(at(k_.value_begin), at(k_.text_end) - at(k_.value_begin));
    const quorlen::number_reading r = quorlen::read_number(text.c_str());
    const std::size_t end = static_cast<std::size_t>(r.end - text.c_str());
    std::size_t rest = end;
    while (rest < text.size() && is_blank(text[rest])) ++rest;
    if (rest == end ||
        !quorlen::starts_comment(std::string_view(text).substr(rest)))
      return "";
    return text.substr(end);
  }

  const key_line& k_;
  const field& f_;
  const std::string& value_;
  std::size_t begin_;
  std::size_t end_;
  std::string line_;  // the old line, without its '\n'
  std::string trailing_;
};

}  // namespace

std::vector<spelling> rewrites(const file_map& map, const key_line& k,
                               const field& f, const std::string& value) {
  return rewriter(map, k, f, value).candidates();
}

namespace {

// How a new line for a key starts, "KEY = " and "KEY =", in the layout of
// the section's last pair line: its separator, the white space around it,
// and the column it stands at when the keys are padded to one.
std::pair<std::string, std::string> line_start(const file_map& map,
                                               const section_span& span,
                                               const field& f) {
  const std::string& bytes = map.bytes();
  const key_line* model = nullptr;
  for (const key_line& k : map.keys()) {
    if (k.control == span.control && !k.continuation &&
        k.library_line >= span.header && k.library_line <= span.last_key) {
      model = &k;
    }
  }
  const std::string key = f.key;
  if (model == nullptr) return {key + " = ", key + " ="};
  const std::string_view text(bytes);
  const std::size_t line = map.line_begin(model->library_line);
  const std::size_t name_end = model->name_begin + model->name.size();
  const std::string_view style =
      text.substr(name_end, model->separator - name_end);
  const std::size_t column =
      width_of(text.substr(line, model->separator - line)) -
      width_of(text.substr(line, model->name_begin - line));
  // Padding aligns separators: the new one joins them.  One blank or none
  // is a habit, not an alignment.
  const std::string tight =
      key +
      (style.size() <= 1 ? std::string(style)
                         : pad_to(key, column, style, true)) +
      bytes[model->separator];
  // The model's value may be empty: the new one still gets a blank.
  const std::string_view gap =
      model->value_end > model->value_begin
          ? text.substr(model->separator + 1,
                        model->value_begin - model->separator - 1)
          : " ";
  return {tight + std::string(gap), tight};
}

}  // namespace

// Ways to add a key to a section that does not set it, best first: after its
// last name/value line (or its header), then after its last line that is
// neither blank nor a comment, each in the layout of the section's last pair.
std::vector<spelling> insertions(const file_map& map, const section_span& span,
                                 const field& f, const std::string& value) {
  const std::string& bytes = map.bytes();
  const auto [head, tight] = line_start(map, span, f);
  std::vector<std::string> lines = {(value.empty() ? tight : head) + value};
  if (head != tight && !value.empty()) lines.push_back(tight + value);
  if (f.kind == field_kind::text) lines.push_back(tight + "\n  " + value);

  std::vector<spelling> out;
  std::vector<int> after = {span.last_key};
  if (span.last_content > span.last_key) after.push_back(span.last_content);
  for (const int line_after : after) {
    const std::size_t end = map.line_end(line_after);
    // Lines end as the line before does, or, after a last line without an
    // end, as the file's first line does.
    const std::size_t ended = end < bytes.size() ? end : bytes.find('\n');
    const bool crlf =
        ended != std::string::npos && ended > 0 && bytes[ended - 1] == '\r';
    const std::string eol = crlf ? "\r\n" : "\n";
    for (std::string line : lines) {
      if (crlf) {
        // A split line ends each of its lines alike.
        for (std::size_t n = line.find('\n'); n != std::string::npos;
             n = line.find('\n', n + 2)) {
          line.insert(n, "\r");
        }
      }
      if (end < bytes.size()) {
        out.push_back({{end + 1, end + 1, line + eol}, value});
      } else {  // the last line has no line end: the file still will not
        out.push_back({{end, end, eol + line}, value});
      }
    }
  }
  return out;
}

}  // namespace quorlen_tool
