// What the record holds for the line under the cursor.
#include <algorithm>
#include <climits>
#include <optional>
#include <string>

#include "input/diagnostics.h"
#include "input/number_reading.h"
#include "input/source_map.h"
#include "lsp/handlers.h"
#include "lsp/hover_values.h"
#include "lsp/walk.h"
#include "quorlen_core.h"

namespace quorlen_lsp {
namespace {

using quorlen::field;
using quorlen::field_kind;
using quorlen::line_kind;
using quorlen_tool::source_map;
using namespace hover_values;

// {=== what one parse tells about one line ===}

// A row's value as the record held it at one moment: the record itself is
// gone once the parse is over.
struct field_value {
  std::string text;
  std::int64_t number = 0;
  std::int64_t second = 0;  // a pair's second member
};

enum class event_shape { header, pair, block };

// The event of the target line, or the code block that holds it, copied
// out of the parse.
struct seen_event {
  event_shape shape = event_shape::pair;
  int line = 0;        // the library's line that caused it
  int block_open = 0;  // a block's first line
  std::string section, name, value;
  std::uint32_t code = 0;
  bool accepted = false;
  bool in_control = false;        // the newest control was open before it
  bool control_had_code = false;  // ... and held a code block already
  std::uint32_t control_count = 0, entries_before = 0, entries_after = 0;
  register_entry added{};      // the entry it appended, if it did
  const field* row = nullptr;  // its key's row in a camera or control
  field_value before, after;   // that row's value around the event
};

enum class head_source { none, event, fault };

// What the parse said about the target line, and what later lines did.
struct line_facts_seen {
  line_kind kind = line_kind::blank;
  int block_open = INT_MAX;  // the newest code block start so far
  head_source head = head_source::none;
  std::optional<seen_event> event;
  quorlen::fault fault{};
  bool block_fault = false;  // the fault drops the block holding the line
  int control = -1;          // the control the line belongs to
  std::optional<std::string> control_name;   // its CTRL_NAME at the end
  std::optional<std::uint32_t> entries_end;  // a header's entries end here
  const field* follow = nullptr;             // the row the line sets
  int later_line = 0;       // the last later line that sets it too
  field_value last;         // the row's value as the record ends
  int replacing_block = 0;  // a later code block of the line's control
};

// {=== reading the record and the line ===}

field_value read_value(const field& f, const void* holder) {
  field_value v;
  if (f.kind == field_kind::text) {
    v.text = static_cast<const char*>(quorlen::member_of(holder, f));
    return v;
  }
  v.number = quorlen::field_number(holder, f);
  if (f.kind == field_kind::pair_first) {
    v.second = quorlen::field_number(holder, (&f)[1]);
  }
  return v;
}

// SIZE needs exactly two values, FORMAT one or two; other rows any.
bool applies(const field& f, const std::string& value) {
  if (f.kind == field_kind::pair_first) return pieces_in(value.c_str()) == 2;
  if (f.kind != field_kind::byte_pair) return true;
  const unsigned count = pieces_in(value.c_str());
  return count == 1 || count == 2;
}

bool is_list(const field& f) {
  return f.kind == field_kind::pair_first || f.kind == field_kind::byte_pair;
}

// Whether the event changed its row: a list of the wrong count does not.
bool sets_row(const seen_event& s) {
  return s.row != nullptr && (!is_list(*s.row) || applies(*s.row, s.value));
}

// The row of a pair in a camera or in a stored control, and its values.
void take_row(seen_event& s, const event_view& e) {
  const std::uint32_t family = quorlen::section_family(e.code);
  const bool camera = family == quorlen::CAMERA_SECTION;
  if (s.code == 0 || (!camera && family != quorlen::CONTROL_SECTION)) return;
  if (!camera && e.control_before == nullptr) return;
  s.row = quorlen::find_field(family, e.name);
  if (s.row == nullptr) return;
  const void* before = camera ? static_cast<const void*>(&e.before)
                              : static_cast<const void*>(e.control_before);
  const void* after = camera
                          ? static_cast<const void*>(&e.after)
                          : static_cast<const void*>(
                                &e.after.controls[e.after.control_count - 1]);
  if (is_list(*s.row)) s.before = read_value(*s.row, before);
  s.after = read_value(*s.row, after);
}

seen_event copy_event(const event_view& e, event_shape shape, int opened) {
  seen_event s;
  s.shape = shape;
  s.line = e.line;
  s.block_open = opened;
  s.section = e.section;
  if (e.name != nullptr) s.name = e.name;
  if (e.value != nullptr) s.value = e.value;
  s.code = e.code;
  s.accepted = e.accepted;
  s.in_control = e.control_before != nullptr;
  s.control_had_code = s.in_control && e.control_before->code != nullptr;
  s.control_count = e.after.control_count;
  s.entries_before = e.before.entry_count;
  s.entries_after = e.after.entry_count;
  if (s.entries_after != s.entries_before && s.entries_after > 0) {
    s.added = e.after.entries[s.entries_after - 1];
  }
  if (shape == event_shape::pair) take_row(s, e);
  return s;
}

// The control the event stored into, or -1.
int control_of(const seen_event& s) {
  if (quorlen::section_family(s.code) != quorlen::CONTROL_SECTION) return -1;
  bool stored = s.in_control && s.accepted;
  if (s.shape == event_shape::header) stored = s.code != 0 && s.accepted;
  if (s.shape == event_shape::pair) stored = s.code != 0 && s.in_control;
  return stored ? static_cast<int>(s.control_count) - 1 : -1;
}

bool opens_entries(const seen_event& s) {
  const std::uint32_t family = quorlen::section_family(s.code);
  return s.shape == event_shape::header && s.code != 0 &&
         family != quorlen::CAMERA_SECTION &&
         family != quorlen::CONTROL_SECTION;
}

bool entries_open(const line_facts_seen& facts) {
  return facts.event && opens_entries(*facts.event) && !facts.entries_end;
}

bool is_control_block(const line_facts_seen& facts) {
  return facts.event && facts.event->shape == event_shape::block &&
         facts.control >= 0;
}

bool names_control(const line_facts_seen& facts) {
  return facts.event && facts.event->shape == event_shape::header &&
         control_of(*facts.event) >= 0;
}

// {=== one walk ===}

void take_target(line_facts_seen& facts, const event_view& e,
                 event_shape shape) {
  facts.event = copy_event(e, shape, facts.block_open);
  facts.head = head_source::event;
  const int control = control_of(*facts.event);
  if (control >= 0) facts.control = control;
  if (sets_row(*facts.event)) facts.follow = facts.event->row;
}

// Later lines that set the row again, and the end of a header's entries.
void take_later(line_facts_seen& facts, const event_view& e, bool starts) {
  if (starts && entries_open(facts)) facts.entries_end = e.before.entry_count;
  if (facts.follow == nullptr || e.name == nullptr) return;
  const field& f = *facts.follow;
  const bool here =
      f.family == quorlen::CAMERA_SECTION
          ? quorlen::section_family(e.code) == quorlen::CAMERA_SECTION
          : e.control_before != nullptr &&
                static_cast<int>(e.after.control_count) - 1 == facts.control;
  if (!here || quorlen::find_field(f.family, e.name) != &f) return;
  if (!applies(f, e.value)) return;  // a list that changes nothing
  facts.later_line = e.line;
}

void take_event(line_facts_seen& facts, int target, const event_view& e) {
  const bool starts = e.name == nullptr && e.value == nullptr;
  const bool block = e.name == nullptr && !starts;
  if (block && facts.block_open <= target && target <= e.line) {
    return take_target(facts, e, event_shape::block);
  }
  if (block && is_control_block(facts) && e.control_before != nullptr &&
      static_cast<int>(e.after.control_count) - 1 == facts.control) {
    facts.replacing_block = facts.block_open;
  }
  if (e.line == target) {
    return take_target(facts, e,
                       starts ? event_shape::header : event_shape::pair);
  }
  if (e.line > target) take_later(facts, e, starts);
}

void take_fault(line_facts_seen& facts, int target, const quorlen::fault& f) {
  using quorlen::fault_kind;
  const bool block_fault = f.kind == fault_kind::block_unterminated ||
                           f.kind == fault_kind::block_broken_off;
  const bool drops = block_fault && f.block_line <= target && target <= f.line;
  if (!drops && (f.line != target || facts.head != head_source::none)) return;
  facts.fault = f;
  facts.fault.text = nullptr;  // valid only during the call
  facts.block_fault = drops;
  facts.head = head_source::fault;
}

void take_end(line_facts_seen& facts, const camera_setup& record) {
  if (entries_open(facts)) facts.entries_end = record.entry_count;
  const bool known =
      facts.control >= 0 &&
      static_cast<std::uint32_t>(facts.control) < record.control_count;
  if (known) {
    const control_entry& c = record.controls[facts.control];
    facts.control_name =
        c.ctrl_name[0] != '\0'
            ? "'" + quorlen_tool::escape_text(c.ctrl_name) + "'"
            : "(no CTRL_NAME)";
  }
  if (facts.follow == nullptr || facts.later_line == 0) return;
  if (facts.follow->family == quorlen::CAMERA_SECTION) {
    facts.last = read_value(*facts.follow, &record);
  } else if (known) {
    facts.last = read_value(*facts.follow, &record.controls[facts.control]);
  }
}

// Hands what the parse reports to the functions above; holds nothing.
class fact_taker : public record_watch {
 public:
  fact_taker(int target, line_facts_seen& facts)
      : target_(target), facts_(facts) {}
  void line(const quorlen::line_facts& l) override {
    if (l.kind == line_kind::block_start) facts_.block_open = l.number;
    if (l.number == target_) facts_.kind = l.kind;
  }
  void event(const event_view& e) override { take_event(facts_, target_, e); }
  void fault(const quorlen::fault& f) override {
    take_fault(facts_, target_, f);
  }
  void done(const camera_setup& record) override { take_end(facts_, record); }

 private:
  const int target_;
  line_facts_seen& facts_;
};

// The whole story of one library line, told once the parse is over (a
// control's name and what later lines do are known only then).
line_facts_seen gather(const std::string& text, int target) {
  line_facts_seen facts;
  fact_taker taker(target, facts);
  watch_parse(text, taker);
  return facts;
}

// {=== the words ===}

int editor_line(const source_map& pieces, int library_line) {
  return library_line >= 1 && library_line <= pieces.pieces()
             ? pieces.editor_line(library_line)
             : library_line;
}

std::string register_keys(bool codes) {
  std::string list;
  for (const quorlen::code_row* row = quorlen::register_key_codes;
       row->name != nullptr; ++row) {
    list += (list.empty()             ? ""
             : row[1].name == nullptr ? " or "
                                      : ", ") +
            std::string(row->name) +
            (codes ? " (" + std::to_string(row->code) + ")" : "");
  }
  return list;
}

std::string keys(std::uint32_t family) {
  std::string list;
  for (const field* f = quorlen::fields; f->key != nullptr; ++f) {
    if (f->family != family || f->kind == field_kind::pair_second) continue;
    list += (list.empty() ? "" : ", ") + std::string(f->key);
  }
  return list;
}

std::string value_text(const field& f, const field_value& v) {
  switch (f.kind) {
  case field_kind::text:
    return std::string(f.member) + " = " + in_quotes(v.text.c_str());
  case field_kind::pair_first:
    return std::string(f.member) + " = " + std::to_string(v.number) + ", " +
           (&f)[1].member + " = " + std::to_string(v.second);
  case field_kind::byte_pair:
    return std::string(f.member) + " = " +
           hex(static_cast<std::uint64_t>(v.number), 4);
  default: return std::string(f.member) + " = " + number_shown(f, v.number);
  }
}

// The first line of a hover and the one that explains it.
struct told {
  std::string head, detail;
};

told header_told(const seen_event& s) {
  const std::string name = in_quotes(s.section.c_str());
  if (s.code == 0) {
    return {"unknown section " + name +
                ": no code, so the lines in it change nothing",
            ""};
  }
  const std::string head = "section " + name + ", code " + code_hex(s.code);
  const std::uint32_t family = quorlen::section_family(s.code);
  if (family == quorlen::CAMERA_SECTION) {
    return {head + ": its keys set the camera fields",
            "Keys: " + keys(quorlen::CAMERA_SECTION)};
  }
  if (family == quorlen::CONTROL_SECTION) {
    if (!s.accepted) {
      return {head + ": the control could not be stored (out of memory)", ""};
    }
    const int control = static_cast<int>(s.control_count) - 1;
    return {head + ": appends control #" + std::to_string(control + 1) +
                " (controls[" + std::to_string(control) + "])",
            "Keys: " + keys(quorlen::CONTROL_SECTION) + ", a code block"};
  }
  return {head + ": each " + register_keys(true) +
              " line appends an entry of type " + code_hex(s.code) +
              " | its key's code",
          ""};
}

// SIZE and FORMAT: a list of a count that changes something, or nothing.
std::string list_head(const seen_event& s, const field& f) {
  const bool size = f.kind == field_kind::pair_first;
  const unsigned count = pieces_in(s.value.c_str());
  if (!applies(f, s.value)) {
    return std::string(f.key) +
           (size ? " needs exactly two values" : " takes one or two values") +
           " but has " + std::to_string(count) +
           ": the line changes nothing; the record keeps " +
           value_text(f, s.before);
  }
  std::string head = value_text(f, s.after);
  if (size) return head;
  register_entry scratch{};
  quorlen::parse_value_list(&scratch, s.value.c_str());
  const auto a = static_cast<std::uint32_t>(scratch.values[0]);
  const auto b = static_cast<std::uint32_t>(scratch.values[1]);
  head += count == 1 ? ": " + hex(a) + " << 8"
                     : ": (" + hex(a) + " << 8) | " + hex(b);
  const std::uint32_t merged = (a << 8) | (count == 2 ? b : 0u);
  if (merged > 0xFFFF) head += ", its low 16 bits";
  return head;
}

std::string scalar_head(const seen_event& s, const field& f) {
  if (is_list(f)) return list_head(s, f);
  std::string head = value_text(f, s.after);
  if (f.kind == field_kind::text) {
    const std::size_t length = s.value.size();
    if (length > f.size - 1) {
      head += ": the first " + std::to_string(f.size - 1) + " of its " +
              std::to_string(length) + " characters";
    }
    return head;
  }
  const std::string how = how_read(f, s.value.c_str(), s.after.number);
  return how.empty() ? head : head + ": " + how;
}

told scalar_told(const seen_event& s, std::uint32_t family) {
  if (s.row == nullptr) {
    return {"unknown key " + in_quotes(s.name.c_str()) +
                ": the line changes nothing",
            "Keys here: " + keys(family)};
  }
  const field& f = *s.row;
  return {scalar_head(s, f),
          std::string(f.key) + ": " + f.summary + " (" + member(f) + ", " +
              c_type(f) +
              (f.kind == field_kind::text ? "[" + std::to_string(f.size) + "]"
                                          : std::string()) +
              ")"};
}

told entry_told(const seen_event& s) {
  const char* name = s.name.c_str();
  const std::uint32_t key = quorlen::code_of(quorlen::register_key_codes, name);
  if (key == 0) {
    return {"unknown key " + in_quotes(name) + " in section " +
                in_quotes(s.section.c_str()) + " (its keys are " +
                register_keys(false) + "): the line appends nothing",
            ""};
  }
  if (s.entries_after == s.entries_before) {
    return {s.name + ": the entry could not be stored (out of memory)", ""};
  }
  const register_entry& added = s.added;
  const unsigned count = pieces_in(s.value.c_str());
  told t{s.name + " appends entries[" + std::to_string(s.entries_after - 1) +
             "]: entry_type " + code_hex(added.entry_type) + " = " +
             code_hex(s.code) + " (" + in_quotes(s.section.c_str()) + ") | " +
             std::to_string(key) + " (" + s.name + ")",
         std::to_string(added.value_count) +
             (added.value_count == 1 ? " value" : " values") +
             (added.value_count == 0 ? "" : ": " + values_hex(added))};
  if (count > added.value_count) {
    t.detail += " (" + std::to_string(count) + " written; the first " +
                std::to_string(added.value_count) + " kept)";
  }
  return t;
}

told pair_told(const seen_event& s) {
  if (s.code == 0) {
    return {
        in_quotes(s.name.c_str()) + " is ignored: " +
            (s.section.empty()
                 ? std::string("no section header stands before it")
                 : "section " + in_quotes(s.section.c_str()) + " is unknown"),
        ""};
  }
  const std::uint32_t family = quorlen::section_family(s.code);
  if (family == quorlen::CONTROL_SECTION && !s.in_control) {
    return {in_quotes(s.name.c_str()) +
                " is ignored: its control could not be stored",
            ""};
  }
  if (family == quorlen::CAMERA_SECTION || family == quorlen::CONTROL_SECTION) {
    return scalar_told(s, family);
  }
  return entry_told(s);
}

std::string block_head(const seen_event& s, const source_map& pieces) {
  const std::size_t bytes = s.value.size();
  const auto lines = static_cast<std::size_t>(
      std::count(s.value.begin(), s.value.end(), '\n'));
  std::string head =
      "code block, lines " + std::to_string(editor_line(pieces, s.block_open)) +
      " to " + std::to_string(editor_line(pieces, s.line)) + ": " +
      std::to_string(lines) + (lines == 1 ? " line, " : " lines, ") +
      std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes") +
      " with their newlines";
  if (quorlen::section_family(s.code) != quorlen::CONTROL_SECTION) {
    return head + "; ignored: only a control section keeps a code block";
  }
  if (!s.in_control || !s.accepted) return head + "; not stored";
  head += "; the control's code";
  if (s.control_had_code) head += ", in place of an earlier block";
  return head;
}

told event_told(const seen_event& s, const source_map& pieces) {
  switch (s.shape) {
  case event_shape::header: return header_told(s);
  case event_shape::block: return {block_head(s, pieces), ""};
  default: return pair_told(s);
  }
}

std::string fault_head(const line_facts_seen& facts, const source_map& pieces) {
  if (!facts.block_fault) {
    return "faulty line: " + quorlen_tool::fault_reason(facts.fault);
  }
  quorlen::fault shown = facts.fault;
  shown.block_line = editor_line(pieces, facts.fault.block_line);
  return "code block: never stored: " + quorlen_tool::fault_reason(shown);
}

// What a header of register entries appended up to the next header.
std::string entries_text(const line_facts_seen& facts) {
  const std::uint32_t begin = facts.event->entries_after;
  const std::uint32_t end = facts.entries_end.value_or(0);
  const std::uint32_t n = end - begin;
  if (n == 0) return "; it appends no entries";
  return "; it appends " + std::to_string(n) +
         (n == 1 ? " entry" : " entries") + " (entries[" +
         std::to_string(begin) +
         (n == 1 ? "" : "] .. entries[" + std::to_string(end - 1)) + "])";
}

std::string later_text(const line_facts_seen& facts, const source_map& pieces) {
  if (facts.follow != nullptr && facts.later_line != 0) {
    return "line " + std::to_string(editor_line(pieces, facts.later_line)) +
           " sets it again: the record ends with " +
           value_text(*facts.follow, facts.last);
  }
  if (facts.replacing_block == 0) return "";
  return "The code block at line " +
         std::to_string(editor_line(pieces, facts.replacing_block)) +
         " replaces it";
}

// Where the library's line numbers part from the editor's.
std::string piece_note(int target, const source_map& pieces) {
  const source_map::piece p = pieces.piece_at(target);
  if (target > pieces.pieces() || (p.line == target && p.column0 == 0)) {
    return "";
  }
  return "\nThe library counts this as its line " + std::to_string(target) +
         (p.column0 != 0
              ? ": a line over " + std::to_string(quorlen_tool::LINE_ROOM) +
                    " characters is read in pieces"
              : std::string());
}

std::string hover_text(const line_facts_seen& facts, int target,
                       const source_map& pieces) {
  const std::string name = facts.control_name.value_or("");
  std::string out;
  if (facts.control >= 0 && facts.kind != line_kind::section_header) {
    out = "control #" + std::to_string(facts.control + 1) + " " + name + ": ";
  }
  const told t = facts.event ? event_told(*facts.event, pieces) : told{};
  out += facts.head == head_source::fault ? fault_head(facts, pieces) : t.head;
  if (facts.event && opens_entries(*facts.event)) out += entries_text(facts);
  if (names_control(facts)) out += ", CTRL_NAME " + name;
  if (out.empty()) return out;
  for (const std::string& more : {t.detail, later_text(facts, pieces)}) {
    if (!more.empty()) out += "\n" + more;
  }
  return out + piece_note(target, pieces);
}

// What each applied binding says of the key the line sets.
std::string binding_text(
    const line_facts_seen& facts,
    const std::vector<const quorlen_tool::binding*>& applied) {
  if (!facts.event || facts.event->shape != event_shape::pair ||
      facts.event->row == nullptr || facts.head != head_source::event) {
    return "";
  }
  const field& f = *facts.event->row;
  std::string out;
  for (const quorlen_tool::binding* b : applied) {
    const quorlen_tool::value_rule rule =
        quorlen_tool::value_rules(*b, f.family, f.key);
    std::string limits;
    for (const auto& [value, words] : rule.allowed) {
      limits += limits.empty() ? "allowed: " : ", ";
      limits += quorlen_tool::value_text(value, f.hex);
    }
    if (limits.empty()) {
      limits = quorlen_tool::limits_text(rule.low, rule.high, f.hex);
    }
    if (limits.empty() && rule.description.empty()) continue;
    out += "\nbinding " + quorlen_tool::escape_text(b->name) + ": " +
           (rule.description.empty()
                ? limits
                : quorlen_tool::escape_text(rule.description) +
                      (limits.empty() ? "" : " (" + limits + ")"));
  }
  return out;
}

}  // namespace

// {=== the request ===}

json hover(document& doc, const json& params, const client_info& client) {
  const text_map map(doc.text);
  const std::size_t offset =
      map.offset(position_from(params.at("position")), client.units);
  const source_map pieces(doc.text);
  // The library's line that holds the offset; none past the last.
  const int target = pieces.library_line_at(offset);
  if (target > pieces.pieces()) return nullptr;
  const std::size_t begin = pieces.piece_at(target).offset;
  std::size_t end = begin + pieces.piece_bytes(target).size();
  if (end > begin && doc.text[end - 1] == '\n') --end;
  const line_facts_seen facts = gather(doc.text, target);
  std::string text = hover_text(facts, target, pieces);
  if (text.empty()) return nullptr;
  findings_of(doc);  // which bindings applied
  text += binding_text(facts, doc.applied);
  if (end > begin && doc.text[end - 1] == '\r') --end;
  return {{"contents", {{"kind", "plaintext"}, {"value", text}}},
          {"range", range_json(map, begin, end, client.units)}};
}

}  // namespace quorlen_lsp
