#include "edit/edit_key.h"

#include <algorithm>
#include <string_view>

#include "edit/edit_layout.h"
#include "edit/edit_locate.h"
#include "input/diagnostics.h"
#include "lint/lint_context.h"
#include "quorlen_core.h"
#include "record/record_compare.h"
#include "record/record_json.h"
#include "record/record_text.h"

namespace quorlen_tool {

namespace {

using quorlen::field;
using quorlen::field_kind;

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

namespace {

// Whether the value may be written; the reason goes to out.error if not.
bool allowed(const value_check& check, bool force, set_outcome& out) {
  if (!check.hopeless && (check.problem.empty() || force)) return true;
  out.error = check.problem;
  if (!check.hopeless) {
    out.error += "; the record would hold " + in_quotes(check.holds) +
                 " (--force writes it anyway)";
  }
  return false;
}

// Whether a new CTRL_NAME is another control's already.
bool name_taken(const camera_setup& record, int control, const field& f,
                const std::string& holds, set_outcome& out) {
  if (&f != &name_row()) return false;
  for (std::uint32_t i = 0; i < record.control_count; ++i) {
    if (static_cast<int>(i) != control &&
        held_text(&record.controls[i], f) == holds) {
      out.error = "another control is named " + in_quotes(holds) +
                  " already, and get and set could not tell the two "
                  "apart (--force writes it anyway)";
      return true;
    }
  }
  return false;
}

// The ways to write the value: the line that sets the key last rewritten,
// or a line added after the section's last key.  Sets out.line, or
// out.error when there is no place for it.
std::vector<spelling> candidates_for(const file_map& map, int control,
                                     const field& f, const std::string& value,
                                     set_outcome& out) {
  if (const key_line* last = last_setting(map, control, f.key)) {
    out.line = map.line_number(last->library_line);
    if (map.lines().read_whole(out.line)) {
      return rewrites(map, *last, f, value);
    }
    out.error = "the line that sets " + std::string(f.key) +
                " is longer than " + std::to_string(LINE_ROOM) +
                " characters, so the library reads it in pieces; edit it by "
                "hand";
    return {};
  }
  const section_span* span = nullptr;
  for (const section_span& s : map.sections()) {
    if (s.control == control) span = &s;
  }
  if (span == nullptr) {
    out.error = "the file has no [" +
                std::string(section_name(quorlen::CAMERA_SECTION)) +
                "] section to add " + f.key + " to";
    return {};
  }
  out.line = map.line_number(span->last_key) + 1;
  return insertions(map, *span, f, value);
}

// The unknown keys of the camera's sections (control -1) or of a control
// whose nearest known name, as the lint suggests one, is the key's.
std::vector<line_note> misspelt_twins(const file_map& map, int control,
                                      const field& f) {
  const std::uint32_t family =
      control < 0 ? quorlen::CAMERA_SECTION : quorlen::CONTROL_SECTION;
  std::vector<const char*> names;
  for (const field* row = quorlen::fields; row->key != nullptr; ++row) {
    if (row->family == family && row->kind != field_kind::pair_second) {
      names.push_back(row->key);
    }
  }
  std::vector<line_note> twins;
  for (const key_line& k : map.keys()) {
    if (k.control != control || k.continuation ||
        lint_context::known_key(family, k.name.c_str())) {
      continue;
    }
    const char* near = nearest(names, k.name, upper);
    if (near == nullptr || std::string_view(near) != f.key) continue;
    const int column =
        1 + static_cast<int>(k.name_begin - map.line_begin(k.library_line));
    twins.push_back({map.line_number(k.library_line), column,
                     in_quotes(k.name) +
                         " is no key the library knows, so it ignores this "
                         "line; did you mean '" +
                         f.key + "'? (set changes " + f.key + " as asked)"});
  }
  return twins;
}

// Why no way of writing the value could be taken.
std::string no_spelling(bool too_long, const std::string& value) {
  if (too_long) {
    return "the line would be longer than the " + std::to_string(LINE_ROOM) +
           " characters the library reads at a time";
  }
  if (quorlen::starts_comment(value)) {
    return "a value that starts like a comment (';', '#' or '//') cannot "
           "stand on this line";
  }
  return "no spelling of " + in_quotes(value) +
         " on this line reads back as the record should hold it";
}

}  // namespace

set_outcome set_value(const std::string& bytes, const record_key& key,
                      const std::string& value, bool force) {
  set_outcome out;
  const field& f = *key.field;
  const value_check check = check_value(f, value);
  if (!allowed(check, force, out)) return out;
  const file_map map(bytes);
  int control = -1;
  if (key.control) {
    control = choose_control(map, key, out.notes, out.error);
    if (control < 0) return out;
  }
  out.twins = misspelt_twins(map, control, f);
  const expected_value want = expected(map.record(), control, f, value);
  if (!force && name_taken(map.record(), control, f, want.holds, out)) {
    return out;
  }
  std::vector<spelling> candidates =
      candidates_for(map, control, f, value, out);
  if (!out.error.empty()) return out;
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
  out.error = no_spelling(too_long, value);
  return out;
}

}  // namespace quorlen_tool
