// What the record holds for the line under the cursor.
#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstring>
#include <optional>

#include "input/diagnostics.h"
#include "lsp/handlers.h"
#include "lsp/hover_values.h"
#include "lsp/walk.h"
#include "input/number_reading.h"
#include "quorlen_core.h"
#include "input/source_map.h"

namespace quorlen_lsp {
namespace {

using quorlen::field;
using quorlen::field_kind;
using quorlen::line_kind;
using namespace hover_values;

// {=== the story of one line ===}

// The story of one library line, told once the parse is over (a control's
// name and what later lines do are known only then).
class line_story : public record_watch {
 public:
  line_story(int target, const quorlen_tool::source_map& pieces)
      : target_(target), pieces_(pieces) {}

  void line(const quorlen::line_facts& facts) override {
    if (facts.kind == line_kind::block_start) block_open_ = facts.number;
    if (facts.number == target_) kind_ = facts.kind;
  }

  void event(const event_view& e) override {
    const bool starts = e.name == nullptr && e.value == nullptr;
    if (e.name == nullptr && !starts && block_open_ <= target_ &&
        target_ <= e.line) {
      return block(e);
    }
    if (e.name == nullptr && !starts && block_control_ &&
        e.control_before != nullptr &&
        static_cast<int>(e.after.control_count) - 1 == control_) {
      later_ = "The code block at line " +
               std::to_string(editor_line(block_open_)) + " replaces it";
    }
    if (e.line == target_) {
      if (starts) return header(e);
      return pair(e);
    }
    if (e.line > target_) follow(e, starts);
  }

  void fault(const quorlen::fault& f) override {
    using quorlen::fault_kind;
    const bool block_fault = f.kind == fault_kind::block_unterminated ||
                             f.kind == fault_kind::block_broken_off;
    if (block_fault && f.block_line <= target_ && target_ <= f.line) {
      quorlen::fault shown = f;
      shown.block_line = editor_line(f.block_line);
      head_ = "code block: never stored: " + quorlen_tool::fault_reason(shown);
      return;
    }
    if (f.line == target_ && head_.empty()) {
      head_ = "faulty line: " + quorlen_tool::fault_reason(f);
    }
  }

  void done(const camera_setup& record) override {
    if (entries_open_) {
      entries_end_ = record.entry_count;
      entries_open_ = false;
    }
    if (control_ >= 0 &&
        static_cast<std::uint32_t>(control_) < record.control_count) {
      const control_entry& c = record.controls[control_];
      name_ = c.ctrl_name[0] != '\0'
                  ? "'" + quorlen_tool::escape_text(c.ctrl_name) + "'"
                  : "(no CTRL_NAME)";
    }
    if (follow_field_ != nullptr && later_line_ != 0) {
      const void* holder =
          follow_field_->family == quorlen::CAMERA_SECTION
              ? static_cast<const void*>(&record)
              : static_cast<const void*>(&record.controls[control_]);
      later_ = "line " + std::to_string(editor_line(later_line_)) +
               " sets it again: the record ends with " +
               value_text(*follow_field_, holder);
    }
  }

  std::string text() const {
    std::string out;
    if (control_ >= 0 && kind_ != line_kind::section_header) {
      out = "control #" + std::to_string(control_ + 1) + " " + name_ + ": ";
    }
    out += head_;
    if (header_entries_) {
      const std::uint32_t n = entries_end_ - entries_begin_;
      out += n == 0 ? "; it appends no entries"
                    : "; it appends " + std::to_string(n) +
                          (n == 1 ? " entry" : " entries") + " (entries[" +
                          std::to_string(entries_begin_) +
                          (n == 1 ? ""
                                  : "] .. entries[" +
                                        std::to_string(entries_end_ - 1)) +
                          "])";
    }
    if (header_control_) out += ", CTRL_NAME " + name_;
    if (out.empty()) return out;
    for (const std::string& more : {detail_, later_}) {
      if (!more.empty()) out += "\n" + more;
    }
    const quorlen_tool::source_map::piece p = pieces_.piece_at(target_);
    if (target_ <= pieces_.pieces() && (p.line != target_ || p.column0 != 0)) {
      out += "\nThe library counts this as its line " +
             std::to_string(target_) +
             (p.column0 != 0
                  ? ": a line over " + std::to_string(quorlen_tool::LINE_ROOM) +
                        " characters is read in pieces"
                  : std::string());
    }
    return out;
  }

 private:
  int editor_line(int library_line) const {
    return library_line >= 1 && library_line <= pieces_.pieces()
               ? pieces_.editor_line(library_line)
               : library_line;
  }

  void header(const event_view& e) {
    const std::string name = in_quotes(e.section);
    if (e.code == 0) {
      head_ = "unknown section " + name +
              ": no code, so the lines in it "
              "change nothing";
      return;
    }
    head_ = "section " + name + ", code " + code_hex(e.code);
    const std::uint32_t family = quorlen::section_family(e.code);
    if (family == quorlen::CAMERA_SECTION) {
      head_ += ": its keys set the camera fields";
      detail_ = "Keys: " + keys(quorlen::CAMERA_SECTION);
    } else if (family == quorlen::CONTROL_SECTION) {
      if (!e.accepted) {
        head_ += ": the control could not be stored (out of memory)";
        return;
      }
      control_ = static_cast<int>(e.after.control_count) - 1;
      head_ += ": appends control #" + std::to_string(control_ + 1) +
               " (controls[" + std::to_string(control_) + "])";
      header_control_ = true;
      detail_ = "Keys: " + keys(quorlen::CONTROL_SECTION) + ", a code block";
    } else {
      header_entries_ = entries_open_ = true;
      entries_begin_ = e.after.entry_count;
      head_ += ": each " + register_keys(true) +
               " line appends an entry of type " + code_hex(e.code) +
               " | its key's code";
    }
  }

  static std::string register_keys(bool codes) {
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

  static std::string keys(std::uint32_t family) {
    std::string list;
    for (const field* f = quorlen::fields; f->key != nullptr; ++f) {
      if (f->family != family || f->kind == field_kind::pair_second) continue;
      list += (list.empty() ? "" : ", ") + std::string(f->key);
    }
    return list;
  }

  void pair(const event_view& e) {
    const std::string name = in_quotes(e.name);
    if (e.code == 0) {
      head_ = name + " is ignored: " +
              (e.section[0] == '\0'
                   ? std::string("no section header stands before it")
                   : "section " + in_quotes(e.section) + " is unknown");
      return;
    }
    const std::uint32_t family = quorlen::section_family(e.code);
    if (family == quorlen::CAMERA_SECTION) {
      return scalar(e, quorlen::CAMERA_SECTION, &e.before, &e.after);
    }
    if (family == quorlen::CONTROL_SECTION) {
      if (e.control_before == nullptr) {
        head_ = name + " is ignored: its control could not be stored";
        return;
      }
      control_ = static_cast<int>(e.after.control_count) - 1;
      return scalar(e, quorlen::CONTROL_SECTION, e.control_before,
                    &e.after.controls[control_]);
    }
    entry(e);
  }

  void scalar(const event_view& e, std::uint32_t family, const void* before,
              const void* after) {
    const field* f = quorlen::find_field(family, e.name);
    if (f == nullptr) {
      head_ = "unknown key " + in_quotes(e.name) + ": the line changes nothing";
      detail_ = "Keys here: " + keys(family);
      return;
    }
    detail_ = std::string(f->key) + ": " + f->summary + " (" + member(*f) +
              ", " + c_type(*f) +
              (f->kind == field_kind::text ? "[" + std::to_string(f->size) + "]"
                                           : std::string()) +
              ")";
    if (f->kind == field_kind::pair_first || f->kind == field_kind::byte_pair) {
      return list(e, *f, before, after);
    }
    head_ = value_text(*f, after);
    if (f->kind == field_kind::text) {
      const std::size_t length = std::strlen(e.value);
      if (length > f->size - 1) {
        head_ += ": the first " + std::to_string(f->size - 1) + " of its " +
                 std::to_string(length) + " characters";
      }
    } else {
      const std::string how =
          how_read(*f, e.value, quorlen::field_number(after, *f));
      if (!how.empty()) head_ += ": " + how;
    }
    follow_field_ = f;
  }

  // SIZE and FORMAT: a list of a count that changes something, or nothing.
  void list(const event_view& e, const field& f, const void* before,
            const void* after) {
    const bool size = f.kind == field_kind::pair_first;
    const unsigned count = pieces_in(e.value);
    if (!applies(f, e.value)) {
      head_ =
          std::string(f.key) +
          (size ? " needs exactly two values" : " takes one or two values") +
          " but has " + std::to_string(count) +
          ": the line changes nothing; the record keeps " +
          value_text(f, before);
      return;
    }
    head_ = value_text(f, after);
    if (!size) {
      register_entry scratch{};
      quorlen::parse_value_list(&scratch, e.value);
      const auto a = static_cast<std::uint32_t>(scratch.values[0]);
      head_ += count == 1
                   ? ": " + hex(a) + " << 8"
                   : ": (" + hex(a) + " << 8) | " +
                         hex(static_cast<std::uint32_t>(scratch.values[1]));
      const std::uint32_t merged =
          (a << 8) |
          (count == 2 ? static_cast<std::uint32_t>(scratch.values[1]) : 0u);
      if (merged > 0xFFFF) head_ += ", its low 16 bits";
    }
    follow_field_ = &f;
  }

  static std::string value_text(const field& f, const void* holder) {
    switch (f.kind) {
    case field_kind::text:
      return std::string(f.member) + " = " +
             in_quotes(static_cast<const char*>(quorlen::member_of(holder, f)));
    case field_kind::pair_first:
      return std::string(f.member) + " = " +
             std::to_string(quorlen::field_number(holder, f)) + ", " +
             (&f)[1].member + " = " +
             std::to_string(quorlen::field_number(holder, (&f)[1]));
    case field_kind::byte_pair:
      return std::string(f.member) + " = " +
             hex(static_cast<std::uint64_t>(quorlen::field_number(holder, f)),
                 4);
    default:
      return std::string(f.member) + " = " +
             number_shown(f, quorlen::field_number(holder, f));
    }
  }

  void entry(const event_view& e) {
    const std::uint32_t key =
        quorlen::code_of(quorlen::register_key_codes, e.name);
    if (key == 0) {
      head_ = "unknown key " + in_quotes(e.name) + " in section " +
              in_quotes(e.section) + " (its keys are " + register_keys(false) +
              "): the line appends nothing";
      return;
    }
    if (e.after.entry_count == e.before.entry_count) {
      head_ = std::string(e.name) +
              ": the entry could not be stored "
              "(out of memory)";
      return;
    }
    const std::uint32_t index = e.after.entry_count - 1;
    const register_entry& added = e.after.entries[index];
    head_ = std::string(e.name) + " appends entries[" + std::to_string(index) +
            "]: entry_type " + code_hex(added.entry_type) + " = " +
            code_hex(e.code) + " (" + in_quotes(e.section) + ") | " +
            std::to_string(key) + " (" + e.name + ")";
    const unsigned count = pieces_in(e.value);
    detail_ = std::to_string(added.value_count) +
              (added.value_count == 1 ? " value" : " values") +
              (added.value_count == 0 ? "" : ": " + values_hex(added));
    if (count > added.value_count) {
      detail_ += " (" + std::to_string(count) + " written; the first " +
                 std::to_string(added.value_count) + " kept)";
    }
  }

  void block(const event_view& e) {
    const std::size_t bytes = std::strlen(e.value);
    std::size_t lines = 0;
    for (const char* p = e.value; *p != '\0'; ++p) lines += *p == '\n';
    head_ = "code block, lines " + std::to_string(editor_line(block_open_)) +
            " to " + std::to_string(editor_line(e.line)) + ": " +
            std::to_string(lines) + (lines == 1 ? " line, " : " lines, ") +
            std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes") +
            " with their newlines";
    if (quorlen::section_family(e.code) != quorlen::CONTROL_SECTION) {
      head_ += "; ignored: only a control section keeps a code block";
      return;
    }
    if (e.control_before == nullptr || !e.accepted) {
      head_ += "; not stored";
      return;
    }
    control_ = static_cast<int>(e.after.control_count) - 1;
    block_control_ = true;
    head_ += "; the control's code";
    if (e.control_before->code != nullptr) {
      head_ += ", in place of an earlier block";
    }
  }

  // Later lines that set the field again, and the end of a header's entries.
  void follow(const event_view& e, bool starts) {
    if (starts && entries_open_) {
      entries_end_ = e.before.entry_count;
      entries_open_ = false;
    }
    if (follow_field_ == nullptr || e.name == nullptr) return;
    const field& f = *follow_field_;
    const bool here =
        f.family == quorlen::CAMERA_SECTION
            ? quorlen::section_family(e.code) == quorlen::CAMERA_SECTION
            : e.control_before != nullptr &&
                  static_cast<int>(e.after.control_count) - 1 == control_;
    if (!here || quorlen::find_field(f.family, e.name) != &f) {
      return;
    }
    if (!applies(f, e.value)) return;  // a list that changes nothing
    later_line_ = e.line;
  }

  static bool applies(const field& f, const char* value) {
    if (f.kind == field_kind::pair_first) return pieces_in(value) == 2;
    if (f.kind != field_kind::byte_pair) return true;
    const unsigned count = pieces_in(value);
    return count == 1 || count == 2;
  }

  int target_;
  const quorlen_tool::source_map& pieces_;
  line_kind kind_ = line_kind::blank;
  int block_open_ = INT_MAX;
  std::string head_, detail_, later_, name_;
  int control_ = -1;
  bool header_control_ = false;
  bool block_control_ = false;  // the target is a control's code block
  bool header_entries_ = false;
  bool entries_open_ = false;
  std::uint32_t entries_begin_ = 0, entries_end_ = 0;
  const field* follow_field_ = nullptr;
  int later_line_ = 0;
};

}  // namespace

// {=== the request ===}

json hover(document& doc, const json& params, const client_info& client) {
  const text_map map(doc.text);
  const std::size_t offset =
      map.offset(position_from(params.at("position")), client.units);
  const quorlen_tool::source_map pieces(doc.text);
  // The library's line that holds the offset; none past the last.
  const int target = pieces.library_line_at(offset);
  if (target > pieces.pieces()) return nullptr;
  const std::size_t begin = pieces.piece_at(target).offset;
  std::size_t end = begin + pieces.piece_bytes(target).size();
  if (end > begin && doc.text[end - 1] == '\n') --end;
  line_story story(target, pieces);
  watch_parse(doc.text, story);
  const std::string text = story.text();
  if (text.empty()) return nullptr;
  if (end > begin && doc.text[end - 1] == '\r') --end;
  return {{"contents", {{"kind", "plaintext"}, {"value", text}}},
          {"range", range_json(map, begin, end, client.units)}};
}

}  // namespace quorlen_lsp
