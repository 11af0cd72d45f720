#include "lint.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <new>
#include <set>
#include <string_view>

#include "diagnostics.h"
#include "parser/line_parser.h"
#include "parser/line_sources.h"
#include "setup/fields.h"
#include "setup/number_scan.h"
#include "setup/setup_internal.h"

namespace quorlen_tool {

const std::vector<rule> lint_rules = {
    {"Q001", level::error, "section header without its closing ']'"},
    {"Q002", level::error, "line has neither '=' nor ':'"},
    {"Q003", level::error,
     "the library could not store the line (out of memory)"},
    {"Q004", level::error, "code block reaches the end of the file"},
    {"Q005", level::error,
     "section header inside a code block: the block is dropped"},
    {"Q006", level::error, "code block could not be stored (out of memory)"},
    {"Q101", level::warning, "unknown section: all its lines are ignored"},
    {"Q102", level::warning, "a later bracket group of a header is not closed"},
    {"Q103", level::warning, "section name cut at 49 characters"},
    {"Q104", level::warning, "text after a header's closing ']' is ignored"},
    {"Q201", level::warning, "unknown key: the line is ignored"},
    {"Q202", level::warning,
     "name/value line before any section header: ignored"},
    {"Q301", level::warning, "text after the number is ignored"},
    {"Q302", level::warning, "no number at all: read as 0"},
    {"Q303", level::warning, "sign before '0x': read as decimal"},
    {"Q304", level::warning, "number beyond the 32- or 64-bit range: clamped"},
    {"Q305", level::warning,
     "number does not fit its field: cut to its low bits"},
    {"Q401", level::warning, "more than 16 values: the rest are dropped"},
    {"Q402", level::warning,
     "SIZE without exactly two values: the line changes nothing"},
    {"Q403", level::warning,
     "FORMAT without one or two values: the line changes nothing"},
    {"Q404", level::warning,
     "a continuation line keeps its comment: a ',' in it adds values"},
    {"Q501", level::warning, "text longer than its field: cut"},
    {"Q502", level::warning,
     "';' or '//' with no blank before it is kept in the text"},
    {"Q601", level::warning, "line of 199 characters or more: read in pieces"},
    {"Q602", level::warning, "byte-order mark after line 1: read as text"},
    {"Q603", level::info,
     "indented line after a section header: not a continuation"},
    {"Q701", level::warning, "code block outside a control section: ignored"},
    {"Q702", level::warning,
     "second code block in one control: replaces the first"},
    {"Q801", level::warning, "MIN_VALUE above MAX_VALUE"},
    {"Q802", level::warning, "DEF outside MIN_VALUE .. MAX_VALUE"},
    {"Q803", level::warning, "STEP of 0 or below"},
    {"Q804", level::warning, "control without CTRL_NAME"},
    {"Q805", level::warning, "two controls with the same CTRL_NAME"},
    {"Q901", level::info, "camera key set again: the later one wins"},
};

const char* level_name(level l) {
  switch (l) {
  case level::info: return "info";
  case level::warning: return "warning";
  case level::error: return "error";
  }
  return "warning";
}

const rule* find_rule(const std::string& code) {
  for (const rule& r : lint_rules) {
    if (code == r.code) return &r;
  }
  return nullptr;
}

namespace {

using quorlen::line_kind;

constexpr std::size_t LINE_ROOM = quorlen::MAX_LINE - 1;

std::string quoted(std::string_view text) {
  return "'" + escape_text(text) + "'";
}

std::string lines_text(int count) {
  return std::to_string(count) + (count == 1 ? " line" : " lines");
}

bool blank(char c) { return quorlen::space_class()(c); }

// Edit distance, for suggesting the nearest known name.
std::size_t distance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1,
                         diagonal + (a[i - 1] == b[j - 1] ? 0u : 1u)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

// Sections compare with letter case and blanks folded away.
std::string folded_section(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (blank(c)) continue;
    out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return out;
}

// The nearest name of a table under the folding given, if near enough to
// be a slip rather than another word.
template <class Fold>
const char* nearest(const std::vector<const char*>& names,
                    std::string_view name, Fold fold) {
  const std::string wanted = fold(name);
  const char* best = nullptr;
  std::size_t best_distance = 0;
  for (const char* known_name : names) {
    const std::string known = fold(known_name);
    const std::size_t d = distance(wanted, known);
    const std::size_t allowed = std::max<std::size_t>(1, known.size() / 3);
    if (d <= allowed && (best == nullptr || d < best_distance)) {
      best = known_name;
      best_distance = d;
    }
  }
  return best;
}

std::vector<const char*> names_of(const quorlen::code_row* table) {
  std::vector<const char*> names;
  for (const quorlen::code_row* row = table; row->name != nullptr; ++row) {
    names.push_back(row->name);
  }
  return names;
}

std::vector<const char*> keys_of(std::uint32_t family) {
  std::vector<const char*> names;
  for (const quorlen::field* f = quorlen::fields; f->key != nullptr; ++f) {
    if (f->family == family && f->kind != quorlen::field_kind::pair_second) {
      names.push_back(f->key);
    }
  }
  return names;
}

struct position {
  int line = 0;
  int column = 0;
};

// What a control section set, and where.
struct control_state {
  std::uint32_t index;
  position header;
  position min, max, step, def, name;
  int block_line = 0;
};

class linter {
 public:
  linter(const std::string& bytes, camera_setup* record)
      : bytes_(bytes), record_(record), context_(record) {
    split();
  }

  lint_outcome run() {
    quorlen::parse_observer observer{on_fault, this, on_line};
    outcome_.result = parse_bytes(bytes_, on_event, this, &observer);
    if (failure_) std::rethrow_exception(failure_);
    finish_section();
    file_lines();
    outcome_.pieces = static_cast<int>(pieces_.size());
    outcome_.file_lines = static_cast<int>(lines_.size());
    auto& found = outcome_.findings;
    found.erase(std::remove_if(found.begin(), found.end(),
                               [&](const finding& f) { return silenced(f); }),
                found.end());
    std::stable_sort(
        found.begin(), found.end(), [](const finding& a, const finding& b) {
          return a.line != b.line ? a.line < b.line : a.column < b.column;
        });
    return std::move(outcome_);
  }

 private:
  // The file's lines and the library's pieces of them.
  void split() {
    pieces_ = library_pieces(bytes_);
    for (std::size_t start = 0; start < bytes_.size();) {
      std::size_t end = bytes_.find('\n', start);
      if (end == std::string::npos) end = bytes_.size();
      lines_.emplace_back(bytes_.data() + start, end - start);
      start = end + 1;
    }
  }

  const piece& piece_of(int number) const {
    std::size_t i = number > 0 ? static_cast<std::size_t>(number - 1) : 0;
    if (i >= pieces_.size()) i = pieces_.empty() ? 0 : pieces_.size() - 1;
    static const piece none{1, 0, 0, 0};
    return pieces_.empty() ? none : pieces_[i];
  }

  // The current piece's bytes from an offset on, without its newline.
  std::string_view piece_text(std::size_t from) const {
    const piece& p = piece_of(facts_.number);
    std::string_view text(bytes_.data() + p.offset, p.size);
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    return from < text.size() ? text.substr(from) : std::string_view();
  }

  std::size_t offset_of(const char* p) const {
    const auto base = reinterpret_cast<std::uintptr_t>(facts_.buffer);
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    if (at >= base && at < base + quorlen::MAX_LINE) return at - base;
    return static_cast<std::size_t>(facts_.start - facts_.buffer);
  }

  // A place in the current line, as an editor numbers it.
  position at(const char* p) const {
    const piece& where = piece_of(facts_.number);
    return {where.line, static_cast<int>(where.column0 + offset_of(p) + 1)};
  }

  void add(position where, const char* code, std::string message,
           std::string suggestion = "") {
    const rule* r = find_rule(code);
    finding f;
    f.line = where.line;
    f.column = where.column;
    f.severity = r != nullptr ? r->severity : level::warning;
    f.code = code;
    f.message = std::move(message);
    f.suggestion = std::move(suggestion);
    outcome_.findings.push_back(std::move(f));
  }

  bool silenced(const finding& f) const {
    if (file_disabled_.count(f.code) != 0) return true;
    auto it = line_disabled_.find(f.line);
    return it != line_disabled_.end() && it->second.count(f.code) != 0;
  }

  // ---- the engine's view --------------------------------------------------

  static void on_line(void* self, const quorlen::line_facts& facts) {
    static_cast<linter*>(self)->line(facts);
  }

  void line(const quorlen::line_facts& facts) {
    facts_ = facts;
    outcome_.library_lines = facts.number;
    starts_.push_back(static_cast<std::size_t>(facts.start - facts.buffer));
    switch (facts.kind) {
    case line_kind::comment: directive(); return;
    case line_kind::blank: return;
    case line_kind::section_header: seen_header_ = true; break;
    case line_kind::block_start: block_start_ = at(facts.start); break;
    case line_kind::pair:
    case line_kind::faulty:
      if (facts.start > facts.buffer &&
          previous_ == line_kind::section_header &&
          piece_of(facts.number).column0 == 0) {
        add(at(facts.buffer), "Q603",
            "indented line right after a section header is an ordinary "
            "line, not a continuation");
      }
      break;
    default: break;
    }
    previous_ = facts.kind;
  }

  // "; quorlen-config: disable=Q201,Q301" silences codes on the next line,
  // or in the whole file before the first section header.
  void directive() {
    std::string_view text =
        piece_text(static_cast<std::size_t>(facts_.start - facts_.buffer));
    text.remove_prefix(text.rfind("//", 0) == 0 ? 2 : 1);
    const auto skip_blanks = [&] {
      while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    };
    skip_blanks();
    for (std::string_view word : {"quorlen-config:", "disable="}) {
      if (text.substr(0, word.size()) != word) return;
      text.remove_prefix(word.size());
      skip_blanks();
    }
    std::set<std::string>& codes =
        seen_header_ ? line_disabled_[piece_of(facts_.number).line + 1]
                     : file_disabled_;
    std::string code;
    for (char c : text) {
      if (c == ',' || blank(c)) {
        if (!code.empty()) codes.insert(code);
        code.clear();
        if (blank(c)) break;
      } else {
        code += c;
      }
    }
    if (!code.empty()) codes.insert(code);
  }

  static void on_fault(void* self, const quorlen::fault& f) {
    static_cast<linter*>(self)->fault(f);
  }

  void fault(quorlen::fault f) {
    static const char* const codes[] = {"Q001", "Q002", "Q003",
                                        "Q004", "Q005", "Q006"};
    const std::size_t index = static_cast<std::size_t>(f.line - 1);
    const piece& where = piece_of(f.line);
    const std::size_t start = index < starts_.size() ? starts_[index] : 0;
    if (f.block_line > 0) f.block_line = piece_of(f.block_line).line;
    add({where.line, static_cast<int>(where.column0 + start + 1)},
        codes[static_cast<int>(f.kind)], fault_reason(f));
  }

  // ---- the record's view --------------------------------------------------

  static int on_event(void* self, const char* section, const char* name,
                      const char* value) {
    auto* lint = static_cast<linter*>(self);
    const int accepted =
        quorlen::setup_handler(&lint->context_, section, name, value);
    const bool starts = name == nullptr && value == nullptr;
    // The engine is built without exceptions, so none may cross it: a
    // failure here is kept and raised again once the parse is over.
    try {
      if (accepted != 0 || starts) lint->event(section, name, value);
    } catch (...) {
      if (!lint->failure_) lint->failure_ = std::current_exception();
    }
    return accepted;
  }

  void event(const char* section, const char* name, const char* value) {
    const std::uint32_t code =
        quorlen::lookup_code(quorlen::section_codes, section);
    if (name == nullptr && value == nullptr)
      return start_section(section, code);
    if (name == nullptr) return code_block(section, code);
    if (code == 0) {
      if (!seen_header_) {
        add(at(name), "Q202",
            quoted(name) + " stands before any section header and is ignored");
      } else {
        ++unknown_hidden_;
      }
      return;
    }
    if (code == QUORLEN_SECTION_CAMERA) return camera_pair(name, value);
    if (code == QUORLEN_SECTION_CONTROL) return control_pair(name, value);
    register_pair(section, name, value);
  }

  void start_section(const char* section, std::uint32_t code) {
    finish_section();
    const position header = at(facts_.start);
    const std::size_t name_start =
        static_cast<std::size_t>(facts_.start - facts_.buffer) + 1;
    const std::size_t length =
        static_cast<std::size_t>(facts_.close - facts_.start) - 1;
    if (facts_.open_group) {
      add(at(facts_.close), "Q102",
          "the last bracket group is not closed; the section is " +
              quoted(section));
    } else {
      std::string_view after = piece_text(name_start + length + 1);
      std::size_t skip = 0;
      while (skip < after.size() && blank(after[skip])) ++skip;
      after.remove_prefix(skip);
      if (!after.empty() && after[0] != ';' && after[0] != '#' &&
          after.substr(0, 2) != "//") {
        while (blank(after.back())) after.remove_suffix(1);
        add(at(facts_.close + 1 + skip), "Q104",
            "text after the closing ']' is ignored: " + quoted(after));
      }
    }
    if (length > quorlen::MAX_SECTION - 1) {
      add(at(facts_.start + quorlen::MAX_SECTION), "Q103",
          "section name is " + std::to_string(length) +
              " characters; the library keeps the first 49: " +
              quoted(section));
    }
    if (code == 0) {
      unknown_open_ = true;
      unknown_header_ = header;
      unknown_name_ = section;
      unknown_hidden_ = 0;
    } else if (code == QUORLEN_SECTION_CONTROL && context_.control_open) {
      controls_.push_back(
          {record_->control_count - 1, header, {}, {}, {}, {}, {}, 0});
      control_open_ = true;
    }
  }

  void finish_section() {
    if (unknown_open_) {
      unknown_open_ = false;
      std::string message = "unknown section " + quoted(unknown_name_) +
                            "; the " + lines_text(unknown_hidden_) + " in it " +
                            (unknown_hidden_ == 1 ? "is" : "are") + " ignored";
      const char* near = nearest(names_of(quorlen::section_codes),
                                 unknown_name_, folded_section);
      add(unknown_header_, "Q101", std::move(message),
          near != nullptr ? "did you mean '[" + std::string(near) + "]'?" : "");
    }
    if (control_open_) {
      control_open_ = false;
      finish_control(controls_.back());
    }
  }

  void unknown_key(const char* name, const std::vector<const char*>& keys,
                   const std::string& where) {
    const char* near = nearest(keys, name, upper);
    add(at(name), "Q201",
        "unknown key " + quoted(name) + " in " + where +
            "; the line is ignored",
        near != nullptr ? "did you mean '" + std::string(near) + "'?" : "");
  }

  // ---- numbers ------------------------------------------------------------

  enum class field { s32, s64, u8, u16, step };

  static field range_of(quorlen::field_kind kind) {
    switch (kind) {
    case quorlen::field_kind::low8: return field::u8;
    case quorlen::field_kind::low16: return field::u16;
    case quorlen::field_kind::int64: return field::s64;
    case quorlen::field_kind::low32_of_64: return field::step;
    default: return field::s32;
    }
  }

  // Text, missing digits and sign findings for one number; false when the
  // number is not worth a range check.
  bool number_text(const std::string& subject, const quorlen::number_reading& r,
                   const char* piece, const char* piece_end) {
    const std::string written(r.begin,
                              static_cast<std::size_t>(r.end - r.begin));
    if (!r.has_digits) {
      std::string_view text(r.begin,
                            static_cast<std::size_t>(piece_end - r.begin));
      while (!text.empty() && blank(text.back())) text.remove_suffix(1);
      add(at(text.empty() ? piece : r.begin), "Q302",
          text.empty()
              ? subject + " has no number; it is read as 0"
              : quoted(text) + " is no number; " + subject + " reads it as 0");
      return false;
    }
    if (r.sign_before_hex) {
      add(at(r.begin), "Q303",
          subject + " " +
              quoted(std::string_view(
                  r.begin, static_cast<std::size_t>(piece_end - r.begin))) +
              " has a sign before '0x', so it is read as decimal; the record "
              "holds 0");
      return false;
    }
    const char* rest = r.end;
    while (rest < piece_end && blank(*rest)) ++rest;
    // A continuation line keeps its comment, but a comment after the number
    // is ignored with the rest, as its author meant.
    const bool comment = facts_.kind == line_kind::continuation &&
                         rest > r.end &&
                         (*rest == ';' || (rest[0] == '/' && rest[1] == '/'));
    if (comment && kept_comment_ == nullptr) kept_comment_ = rest;
    if (rest < piece_end && !comment) {
      add(at(r.end), "Q301",
          "text after the number is ignored: " + subject + " " +
              quoted(std::string_view(
                  r.begin, static_cast<std::size_t>(piece_end - r.begin))) +
              " is read as " + written);
    }
    return true;
  }

  void number_range(const std::string& subject,
                    const quorlen::number_reading& r, field kind,
                    std::int64_t stored) {
    const std::string written = escape_text(
        std::string_view(r.begin, static_cast<std::size_t>(r.end - r.begin)));
    const std::string holds = "; the record holds " + std::to_string(stored);
    const bool beyond32 =
        r.saturated || r.value > INT32_MAX || r.value < INT32_MIN;
    switch (kind) {
    case field::s32:
      if (beyond32) {
        add(at(r.begin), "Q304",
            subject + " " + written + " is beyond the 32-bit range" + holds);
      }
      break;
    case field::s64:
      if (r.saturated) {
        add(at(r.begin), "Q304",
            subject + " " + written + " is beyond the 64-bit range" + holds);
      }
      break;
    case field::step:
      if (r.saturated) {
        add(at(r.begin), "Q304",
            subject + " " + written + " is beyond the 64-bit range" + holds);
      } else if (beyond32) {
        add(at(r.begin), "Q305",
            subject + " " + written + " does not fit in 32 bits" + holds);
      }
      break;
    case field::u8:
    case field::u16: {
      const std::int64_t top = kind == field::u8 ? 0xFF : 0xFFFF;
      if (beyond32 || r.value < 0 || r.value > top) {
        add(at(r.begin), "Q305",
            subject + " " + written + " does not fit in " +
                (kind == field::u8 ? "8" : "16") + " bits" + holds);
      }
      break;
    }
    }
  }

  // A value that parse_int32 or parse_int64 reads whole.
  void scalar(const char* name, const char* value, field kind,
              std::int64_t stored) {
    const quorlen::number_reading r = quorlen::read_number(value);
    if (number_text(name, r, value, value + std::strlen(value))) {
      number_range(name, r, kind, stored);
    }
  }

  // Calls check(reading, index, piece end) for each piece of a list and
  // returns how many pieces there were; the 17th piece's place is kept.
  template <class Check>
  unsigned list(const char* value, position* seventeenth, Check check) {
    return quorlen::scan::for_each_piece(
        value, [&](const char* p, unsigned index) {
          const char* end = p;
          while (*end != ',' && *end != '\0') ++end;
          if (index == QUORLEN_MAX_VALUES && seventeenth != nullptr) {
            *seventeenth = at(p);
          }
          const quorlen::number_reading r = quorlen::read_number(p);
          check(r, index, p, end);
          return r.end;
        });
  }

  // ---- texts --------------------------------------------------------------

  void text(const char* name, const char* value, std::size_t room,
            const char* stored) {
    const std::size_t length = std::strlen(value);
    if (length > room) {
      add(at(value + room), "Q501",
          std::string(name) + " is " + std::to_string(length) +
              " characters; the record keeps the first " +
              std::to_string(room));
    }
    if (facts_.kind != line_kind::pair) return;  // continuations keep comments
    const char* semicolon = std::strchr(value, ';');
    const char* slashes = std::strstr(value, "//");
    const char* mark = semicolon == nullptr ? slashes
                       : slashes == nullptr ? semicolon
                                            : std::min(semicolon, slashes);
    if (mark != nullptr) {
      add(at(mark), "Q502",
          std::string(*mark == ';' ? "';'" : "'//'") +
              " starts no comment without a blank before it; the record "
              "holds " +
              quoted(stored));
    }
  }

  // ---- camera -------------------------------------------------------------

  void camera_pair(const char* name, const char* value) {
    const quorlen::field* f =
        quorlen::find_field(quorlen::CAMERA_SECTION, name);
    if (f == nullptr) {
      return unknown_key(name, keys_of(quorlen::CAMERA_SECTION),
                         "the camera section");
    }
    if (!checked(*f, name, value, record_)) return;
    auto previous = camera_set_.find(f);
    if (previous != camera_set_.end()) {
      add(at(name), "Q901",
          std::string(name) + " is set again (first at line " +
              std::to_string(previous->second) + "); the later value wins");
    }
    camera_set_[f] = at(name).line;
  }

  // The findings on one camera or control value, checked against what its
  // row stored; false when the line changes nothing.
  bool checked(const quorlen::field& f, const char* name, const char* value,
               const void* record) {
    switch (f.kind) {
    case quorlen::field_kind::text:
      text(name, value, f.size - 1,
           static_cast<const char*>(quorlen::member_of(record, f)));
      return true;
    case quorlen::field_kind::pair_first:
    case quorlen::field_kind::byte_pair: return camera_list(name, value, f);
    default:
      scalar(name, value, range_of(f.kind), quorlen::field_number(record, f));
      return true;
    }
  }

  // "SIZE" and "FORMAT"; false when the line changes nothing.
  bool camera_list(const char* name, const char* value,
                   const quorlen::field& f) {
    const bool size = f.kind == quorlen::field_kind::pair_first;
    const std::int64_t first = quorlen::field_number(record_, f);
    const std::int64_t second =
        size ? quorlen::field_number(record_, (&f)[1]) : 0;
    struct read_piece {
      quorlen::number_reading r;
      const char* start;
      const char* end;
    };
    std::vector<read_piece> pieces;
    const unsigned count = list(value, nullptr,
                                [&](const quorlen::number_reading& r, unsigned,
                                    const char* p, const char* end) {
                                  pieces.push_back({r, p, end});
                                });
    if (size ? count != 2 : count == 0 || count > 2) {
      char holds[64];
      if (size) {
        std::snprintf(holds, sizeof holds, "width %d and height %d",
                      static_cast<int>(first), static_cast<int>(second));
      } else {
        std::snprintf(holds, sizeof holds, "format 0x%04X",
                      static_cast<unsigned>(first));
      }
      add(at(value), size ? "Q402" : "Q403",
          std::string(name) +
              (size ? " needs exactly two values"
                    : " takes one or two values") +
              " but has " + std::to_string(count) +
              "; the line changes nothing and the record keeps " + holds);
      return false;
    }
    bool wide = false;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      const auto& [r, start, end] = pieces[i];
      if (!number_text(name, r, start, end)) continue;
      if (size) {
        number_range(name, r, field::s32, i == 0 ? first : second);
      } else if (r.saturated || r.value < 0 || r.value > 0xFF) {
        wide = true;
      }
    }
    if (wide) {
      char holds[16];
      std::snprintf(holds, sizeof holds, "0x%04X",
                    static_cast<unsigned>(first));
      add(at(pieces[0].r.begin), "Q305",
          std::string(name) +
              " values do not fit in 8 bits each; the record holds " + holds);
    }
    return true;
  }

  // ---- controls -----------------------------------------------------------

  void control_pair(const char* name, const char* value) {
    if (!control_open_ || !context_.control_open) return;
    control_state& state = controls_.back();
    const control_entry& c = record_->controls[state.index];
    const quorlen::field* f =
        quorlen::find_field(quorlen::CONTROL_SECTION, name);
    if (f == nullptr) {
      return unknown_key(name, keys_of(quorlen::CONTROL_SECTION),
                         "a control section");
    }
    checked(*f, name, value, &c);
    const position here = at(name);
    const std::string key = f->key;
    if (key == "MIN_VALUE") state.min = here;
    if (key == "MAX_VALUE") state.max = here;
    if (key == "DEF") state.def = here;
    if (key == "STEP") state.step = here;
    if (key == "CTRL_NAME") state.name = here;
  }

  void finish_control(const control_state& state) {
    const control_entry& c = record_->controls[state.index];
    const auto where = [&](position p) {
      return p.line != 0 ? p : state.header;
    };
    const std::string range = "MIN_VALUE " + std::to_string(c.min_value) +
                              " .. MAX_VALUE " + std::to_string(c.max_value);
    if (c.min_value > c.max_value) {
      add(where(state.max.line != 0 ? state.max : state.min), "Q801",
          "MIN_VALUE " + std::to_string(c.min_value) + " is above MAX_VALUE " +
              std::to_string(c.max_value));
    } else if (c.def < c.min_value || c.def > c.max_value) {
      add(where(state.def), "Q802",
          "DEF " + std::to_string(c.def) + " lies outside " + range);
    }
    if (c.step <= 0) {
      add(where(state.step), "Q803",
          state.step.line != 0
              ? "STEP " + std::to_string(c.step) + " is 0 or below"
              : std::string("control has no STEP; the record holds 0"));
    }
    if (c.ctrl_name[0] == '\0') {
      add(where(state.name), "Q804", "control has no CTRL_NAME");
      return;
    }
    const std::string control_name(c.ctrl_name);
    auto first = control_names_.find(control_name);
    if (first != control_names_.end()) {
      add(where(state.name), "Q805",
          "CTRL_NAME " + quoted(control_name) +
              " is already the name of the control at line " +
              std::to_string(first->second));
    } else {
      control_names_.emplace(control_name, state.header.line);
    }
  }

  // ---- board and register sections ----------------------------------------

  void register_pair(const char* section, const char* name, const char* value) {
    if (quorlen::lookup_code(quorlen::register_key_codes, name) == 0) {
      return unknown_key(name, names_of(quorlen::register_key_codes),
                         "section " + quoted(section));
    }
    const register_entry& entry = record_->entries[record_->entry_count - 1];
    position seventeenth;
    kept_comment_ = nullptr;
    bool told = false;
    const unsigned count =
        list(value, &seventeenth,
             [&](const quorlen::number_reading& r, unsigned index,
                 const char* p, const char* end) {
               if (index >= QUORLEN_MAX_VALUES) return;
               if (kept_comment_ != nullptr && p > kept_comment_) {
                 // The comment a continuation line keeps goes on past a ','.
                 if (!told) {
                   add(at(kept_comment_), "Q404",
                       "a continuation line keeps its comment, and a ',' in it "
                       "starts more values: " +
                           std::string(name) + " holds " +
                           std::to_string(entry.value_count) + " values");
                   told = true;
                 }
                 return;
               }
               if (number_text(name, r, p, end)) {
                 number_range(name, r, field::s32, entry.values[index]);
               }
             });
    if (count > QUORLEN_MAX_VALUES) {
      add(seventeenth, "Q401",
          std::string(name) + " has " + std::to_string(count) +
              " values; the record keeps the first 16 and drops " +
              std::to_string(count - QUORLEN_MAX_VALUES));
    }
  }

  // ---- code blocks --------------------------------------------------------

  void code_block(const char* section, std::uint32_t code) {
    if (code == 0 && seen_header_) {
      ++unknown_hidden_;
      return;
    }
    if (code != QUORLEN_SECTION_CONTROL) {
      add(block_start_, "Q701",
          code == 0
              ? std::string("code block before any section header is ignored")
              : "code block in section " + quoted(section) +
                    " is ignored; only a control section keeps one");
      return;
    }
    if (!control_open_ || !context_.control_open) return;
    control_state& state = controls_.back();
    if (state.block_line != 0) {
      add(block_start_, "Q702",
          "second code block in this control replaces the one at line " +
              std::to_string(state.block_line));
    }
    state.block_line = block_start_.line;
  }

  // ---- whole lines --------------------------------------------------------

  void file_lines() {
    std::size_t first = 0;
    int ahead = 0;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      const int number = static_cast<int>(i + 1);
      std::size_t count = 0;
      while (first + count < pieces_.size() &&
             pieces_[first + count].line == number) {
        ++count;
      }
      const std::string_view text = lines_[i];
      if (i > 0 && text.substr(0, 3) == "\xEF\xBB\xBF") {
        add({number, 1}, "Q602",
            "byte-order mark at the start of a line after line 1 is read as "
            "text");
      }
      if (count > 1) {
        ahead += static_cast<int>(count - 1);
        const std::size_t rest = text.size() - LINE_ROOM;
        const std::string pieces =
            count == 2 ? "a line of its own"
                       : std::to_string(count - 1) + " lines of their own";
        add({number, static_cast<int>(LINE_ROOM + 1)}, "Q601",
            "line is " + std::to_string(text.size()) +
                " characters; the library reads 199 at a time and takes " +
                (rest == 0 ? std::string("its line end")
                           : "the remaining " + std::to_string(rest) +
                                 " characters") +
                " as " + pieces + ", so its line numbers after this one run " +
                std::to_string(ahead) + " ahead of an editor's");
      }
      first += count;
    }
  }

  const std::string& bytes_;
  camera_setup* record_;
  quorlen::setup_context context_;
  std::vector<piece> pieces_;
  std::vector<std::string_view> lines_;
  std::vector<std::size_t> starts_;  // each library line's first character
  quorlen::line_facts facts_{};
  line_kind previous_ = line_kind::blank;
  bool seen_header_ = false;
  position block_start_;
  bool unknown_open_ = false;
  position unknown_header_;
  std::string unknown_name_;
  int unknown_hidden_ = 0;
  bool control_open_ = false;
  std::vector<control_state> controls_;
  std::map<std::string, int> control_names_;
  std::map<const quorlen::field*, int> camera_set_;
  std::set<std::string> file_disabled_;
  std::map<int, std::set<std::string>> line_disabled_;
  lint_outcome outcome_;
  std::exception_ptr failure_;
  const char* kept_comment_ = nullptr;  // a continuation line's comment
};

}  // namespace

int parse_bytes(const std::string& bytes,
                int (*handler)(void*, const char*, const char*, const char*),
                void* user, quorlen::parse_observer* observer) {
  const int result =
      quorlen::parse_bytes(bytes.data(), bytes.size(), handler, user, observer);
  if (result < 0) throw std::bad_alloc();
  return result;
}

std::vector<piece> library_pieces(const std::string& bytes) {
  std::vector<piece> pieces;
  std::size_t at = 0;
  int line = 1;
  std::size_t column0 = 0;
  while (at < bytes.size()) {
    std::size_t take = std::min(LINE_ROOM, bytes.size() - at);
    const void* newline = std::memchr(bytes.data() + at, '\n', take);
    if (newline != nullptr) {
      take = static_cast<std::size_t>(static_cast<const char*>(newline) -
                                      (bytes.data() + at)) +
             1;
    }
    pieces.push_back({line, column0, at, take});
    at += take;
    if (newline != nullptr) {
      ++line;
      column0 = 0;
    } else {
      column0 += take;
    }
  }
  return pieces;
}

lint_outcome lint_bytes(const std::string& bytes, camera_setup* record) {
  return linter(bytes, record).run();
}

}  // namespace quorlen_tool
