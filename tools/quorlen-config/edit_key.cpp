#include "edit_key.h"

#include <algorithm>
#include <string_view>

#include "char_class.h"
#include "diagnostics.h"
#include "edit_locate.h"
#include "number_reading.h"
#include "parser/line_parser.h"
#include "record_compare.h"
#include "record_json.h"
#include "record_text.h"
#include "setup/setup_internal.h"

namespace quorlen_tool {

namespace {

using quorlen::field;
using quorlen::field_kind;

bool blank(char c) { return quorlen::space_class()(c); }

std::string in_quotes(std::string_view text) {
  return "'" + escape_text(text) + "'";
}

bool starts_like_comment(std::string_view text) {
  return !text.empty() &&
         (text[0] == ';' || text[0] == '#' || text.substr(0, 2) == "//");
}

// The row that names a control.
const field& name_row() {
  static const field* row =
      quorlen::find_field(quorlen::CONTROL_SECTION, "CTRL_NAME");
  return *row;
}

// The part of a record a key lies in: the camera_setup, or a control.
const void* part_of(const camera_setup& s, int control) {
  if (control < 0) return &s;
  return &s.controls[control];
}
void* part_of(camera_setup& s, int control) {
  if (control < 0) return &s;
  return &s.controls[control];
}

// The bytes of the members a row fills; SIZE fills two.
std::string member_bytes(const void* record, const field& f) {
  std::string out(static_cast<const char*>(quorlen::member_of(record, f)),
                  f.size);
  if (f.kind == field_kind::pair_first) {
    const field& second = (&f)[1];
    out.append(static_cast<const char*>(quorlen::member_of(record, second)),
               second.size);
  }
  return out;
}

void put_member_bytes(void* record, const field& f, const std::string& bytes) {
  bytes.copy(static_cast<char*>(quorlen::member_of(record, f)), f.size);
  if (f.kind == field_kind::pair_first) {
    const field& second = (&f)[1];
    bytes.copy(static_cast<char*>(quorlen::member_of(record, second)),
               second.size, f.size);
  }
}

// The control a key means: the first of that CTRL_NAME; -1 with the reason
// when there is none.
int choose_control(const file_map& map, const record_key& key,
                   std::vector<std::string>& notes, std::string& error) {
  const camera_setup& s = map.record();
  std::vector<int> named;
  std::string names;
  for (std::uint32_t i = 0; i < s.control_count; ++i) {
    const std::string name = held_text(&s.controls[i], name_row());
    names += (names.empty() ? "" : ", ") + in_quotes(name);
    if (name == key.control_name) named.push_back(static_cast<int>(i));
  }
  if (named.empty()) {
    error = "no control is named " + in_quotes(key.control_name) +
            (names.empty() ? "; the file has no control"
                           : "; the controls are " + names);
    return -1;
  }
  if (named.size() > 1) {
    int line = 0;
    for (const section_span& span : map.sections()) {
      if (span.control == named[0]) line = map.line_number(span.header);
    }
    notes.push_back(std::to_string(named.size()) + " controls are named " +
                    in_quotes(key.control_name) + "; the first, at line " +
                    std::to_string(line) + ", is meant");
  }
  return named[0];
}

// The column where text ends when it starts a line, with a tab stop every
// 8 columns; the continuation bytes of UTF-8 take no room.
std::size_t width_of(std::string_view text) {
  std::size_t column = 0;
  for (const char c : text) {
    if (c == '\t') {
      column = (column / 8 + 1) * 8;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++column;
    }
  }
  return column;
}

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

// Every line of a text fits one read of the library.
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

// One way to write a value: the change, and the value the line that sets
// the key last then carries.
struct spelling {
  edit change;
  std::string carried;
};

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
    while (rest < text.size() && blank(text[rest])) ++rest;
    if (rest == end ||
        !starts_like_comment(std::string_view(text).substr(rest)))
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

// Ways to add a key to a section that does not set it, best first: after its
// last name/value line (or its header), then after its last line that is
// neither blank nor a comment.  The new line copies the layout of the
// section's last pair line: its separator, the white space around it, and
// the column it stands at when the keys are padded to one.
std::vector<spelling> insertions(const file_map& map, const section_span& span,
                                 const field& f, const std::string& value) {
  const std::string& bytes = map.bytes();
  const key_line* model = nullptr;
  for (const key_line& k : map.keys()) {
    if (k.control == span.control && !k.continuation &&
        k.library_line >= span.header && k.library_line <= span.last_key) {
      model = &k;
    }
  }
  const std::string key = f.key;
  std::string head = key + " = ";
  std::string tight = key + " =";
  if (model != nullptr) {
    const std::string_view text(bytes);
    const std::size_t line = map.line_begin(model->library_line);
    const std::size_t name_end = model->name_begin + model->name.size();
    const std::string_view style =
        text.substr(name_end, model->separator - name_end);
    const std::size_t column =
        width_of(text.substr(line, model->separator - line)) -
        width_of(text.substr(line, model->name_begin - line));
    // Padding aligns separators: the new one joins them.  One blank or
    // none is a habit, not an alignment.
    tight = key +
            (style.size() <= 1 ? std::string(style)
                               : pad_to(key, column, style, true)) +
            bytes[model->separator];
    head = tight;
    // The model's value may be empty: the new one still gets a blank.
    head += model->value_end > model->value_begin
                ? text.substr(model->separator + 1,
                              model->value_begin - model->separator - 1)
                : " ";
  }
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

// What the record holds for a key once the value is stored over what it
// held: the members' bytes, and as get shows them.
struct expected_value {
  std::string members;
  std::string holds;
};

expected_value expected(const camera_setup& s, int control, const field& f,
                        const std::string& value) {
  if (control < 0) {
    camera_setup copy = s;
    quorlen::store_field(&copy, f, value.c_str());
    return {member_bytes(&copy, f), held_text(&copy, f)};
  }
  control_entry copy = s.controls[control];
  quorlen::store_field(&copy, f, value.c_str());
  return {member_bytes(&copy, f), held_text(&copy, f)};
}

// The last line that sets a key of the camera (control -1) or a control.
const key_line* last_setting(const file_map& map, int control,
                             const char* key) {
  const key_line* last = nullptr;
  for (const key_line& k : map.keys()) {
    if (k.control == control && k.name == key) last = &k;
  }
  return last;
}

// Whether the line of the edited file that sets the key last carries what
// it should, and the file gives the record before, the key's members aside,
// which must hold what is expected, with the same faulty lines as before.
bool reads_as_edit(const file_map& before, const std::string& after,
                   int control, const field& f, const std::string& carried,
                   const std::string& members) {
  const file_map edited(after);
  const key_line* last = last_setting(edited, control, f.key);
  const camera_setup& old = before.record();
  // A copy to put the old members back into, for comparing only.
  camera_setup now = edited.record();
  std::vector<control_entry> controls(now.controls,
                                      now.controls + now.control_count);
  now.controls = controls.data();
  if (last == nullptr ||
      after.compare(last->value_begin, last->value_end - last->value_begin,
                    carried) != 0 ||
      edited.faults() != before.faults() ||
      now.control_count != old.control_count) {
    return false;
  }
  void* part = part_of(now, control);
  if (member_bytes(part, f) != members) return false;
  put_member_bytes(part, f, member_bytes(part_of(old, control), f));
  return same_setup(old, now);
}

}  // namespace

get_outcome get_value(const std::string& bytes, const record_key& key) {
  get_outcome out;
  const file_map map(bytes);
  int control = -1;
  if (key.control) {
    control = choose_control(map, key, out.notes, out.error);
    if (control < 0) return out;
  }
  out.value = held_text(part_of(map.record(), control), *key.field);
  out.ok = true;
  return out;
}

set_outcome set_value(const std::string& bytes, const record_key& key,
                      const std::string& value, bool force) {
  set_outcome out;
  const field& f = *key.field;
  const value_check check = check_value(f, value);
  if (check.hopeless || (!check.problem.empty() && !force)) {
    out.error = check.problem;
    if (!check.hopeless) {
      out.error += "; the record would hold " + in_quotes(check.holds) +
                   " (--force writes it anyway)";
    }
    return out;
  }
  const file_map map(bytes);
  const camera_setup& record = map.record();
  int control = -1;
  if (key.control) {
    control = choose_control(map, key, out.notes, out.error);
    if (control < 0) return out;
  }
  const expected_value want = expected(record, control, f, value);
  if (&f == &name_row() && !force) {
    for (std::uint32_t i = 0; i < record.control_count; ++i) {
      if (static_cast<int>(i) != control &&
          held_text(&record.controls[i], f) == want.holds) {
        out.error = "another control is named " + in_quotes(want.holds) +
                    " already, and get and set could not tell the two "
                    "apart (--force writes it anyway)";
        return out;
      }
    }
  }

  const key_line* last = last_setting(map, control, f.key);
  std::vector<spelling> candidates;
  if (last != nullptr) {
    out.line = map.line_number(last->library_line);
    if (!map.lines().read_whole(out.line)) {
      out.error = "the line that sets " + std::string(f.key) +
                  " is longer than 199 characters, so the library reads it "
                  "in pieces; edit it by hand";
      return out;
    }
    candidates = rewriter(map, *last, f, value).candidates();
  } else {
    const section_span* span = nullptr;
    for (const section_span& s : map.sections()) {
      if (s.control == control) span = &s;
    }
    if (span == nullptr) {
      out.error = "the file has no [" +
                  std::string(section_name(quorlen::CAMERA_SECTION)) +
                  "] section to add " + f.key + " to";
      return out;
    }
    out.line = map.line_number(span->last_key) + 1;
    candidates = insertions(map, *span, f, value);
  }

  bool too_long = true;
  for (spelling& candidate : candidates) {
    edit& change = candidate.change;
    if (!fits(change.text)) continue;
    too_long = false;
    std::string after =
        bytes.substr(0, change.begin) + change.text + bytes.substr(change.end);
    if (!reads_as_edit(map, after, control, f, candidate.carried,
                       want.members)) {
      continue;
    }
    out.ok = true;
    out.line =
        1 +
        static_cast<int>(std::count(
            bytes.begin(),
            bytes.begin() + static_cast<std::ptrdiff_t>(change.begin), '\n'));
    // An addition to a file without a final line end begins with one.
    if (change.begin == bytes.size() && bytes.back() != '\n') ++out.line;
    out.bytes = std::move(after);
    out.change = std::move(change);
    out.holds = want.holds;
    if (!check.problem.empty()) {
      out.notes.push_back(escape_text(key.text) + ": " + check.problem +
                          "; the record holds " + in_quotes(want.holds));
    }
    return out;
  }
  if (too_long) {
    out.error =
        "the line would be longer than the 199 characters the "
        "library reads at a time";
  } else if (starts_like_comment(value)) {
    out.error =
        "a value that starts like a comment (';', '#' or '//') "
        "cannot stand on this line";
  } else {
    out.error = "no spelling of " + in_quotes(value) +
                " on this line reads back as the record should hold it";
  }
  return out;
}

}  // namespace quorlen_tool
