#include "record_text.h"

#include <strings.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "char_class.h"
#include "parser/line_parser.h"
#include "parser/line_sources.h"
#include "parser/text_helpers.h"
#include "record_json.h"
#include "setup/setup_internal.h"

namespace quorlen_tool {

namespace {

constexpr std::size_t LINE_ROOM = quorlen::MAX_LINE - 1;  // what one read takes
constexpr const char* BLOCK_START = "======CODE_BLOCK_START======";
constexpr const char* BLOCK_END = "======CODE_BLOCK_END======";

const char* name_of(const quorlen::code_row* table, std::uint32_t code) {
  for (const quorlen::code_row* row = table; row->name != nullptr; ++row) {
    if (row->code == code) return row->name;
  }
  return nullptr;
}

bool blank(char c) { return quorlen::space_class()(c); }

// Whether the engine's value scan over this text stops before its end, at
// an inline comment.
bool cut_by_comment(std::string text) {
  return *quorlen::find_stop_char(&text[0], quorlen::stop_set::none) != '\0';
}

bool starts_comment(std::string_view text) {
  return !text.empty() &&
         (text[0] == ';' || text[0] == '#' || text.substr(0, 2) == "//");
}

class writer {
 public:
  explicit writer(const camera_setup& s) : s_(s) {}

  std::string run() {
    camera();
    entries();
    controls();
    return std::move(out_);
  }

 private:
  void line(const std::string& text, const std::string& field) {
    if (text.size() > LINE_ROOM) {
      throw unwritable(field,
                       "the line it needs is longer than 199 characters");
    }
    out_ += text;
    out_ += '\n';
  }

  // A blank line sets sections apart, as in a hand-written file.
  void header(const std::string& text) {
    if (!out_.empty()) out_ += '\n';
    line(text, "section");
  }

  // A text as a pair line, or, when a pair line would cut a comment off it,
  // as an empty pair followed by a continuation line, which keeps comments.
  // room is what the field keeps: a text that fills it may be followed by
  // more, which the field cuts off again, so that a blank at its end is not
  // trimmed away.
  void text_key(const char* key, std::string_view whole,
                const std::string& field, std::size_t room) {
    if (whole.empty()) return;
    std::string padded(whole);
    if (whole.size() == room && blank(whole.back())) padded += 'x';
    const std::string_view text = padded;
    if (text.find_first_of(std::string_view("\n\0", 2)) !=
        std::string_view::npos) {
      throw unwritable(field, "a line end or NUL byte cannot stand in a value");
    }
    if (blank(text.front()) || blank(text.back())) {
      throw unwritable(field,
                       "white space at either end of a value is trimmed");
    }
    // The value scan starts just after the separator, and its first
    // character never starts a comment: so "KEY =;x" keeps ";x".
    if (!cut_by_comment(" " + std::string(text))) {
      return line(std::string(key) + " = " + std::string(text), field);
    }
    if (!cut_by_comment(std::string(text))) {
      return line(std::string(key) + " =" + std::string(text), field);
    }
    if (starts_comment(text)) {
      throw unwritable(field,
                       "a value that starts like a comment and holds "
                       "an inline comment has no spelling");
    }
    line(std::string(key) + " =", field);
    line("  " + std::string(text), field);
  }

  void number_key(const char* key, std::int64_t value) {
    if (value != 0) line(std::string(key) + " = " + std::to_string(value), key);
  }

  void camera() {
    const std::size_t type_length = strnlen(s_.type, sizeof s_.type);
    if (type_length == sizeof s_.type) {
      throw unwritable("camera.type", "more than 49 characters");
    }
    const bool any = s_.cfg_mode != 0 || type_length != 0 || s_.width != 0 ||
                     s_.height != 0 || s_.bit_width != 0 || s_.format != 0 ||
                     s_.i2c_mode != 0 || s_.i2c_addr != 0 || s_.trans_lvl != 0;
    if (!any) return;
    header("[camera parameter]");
    number_key("CFG_MODE", s_.cfg_mode);
    text_key("TYPE", std::string_view(s_.type, type_length), "camera.type",
             sizeof s_.type - 1);
    if (s_.width != 0 || s_.height != 0) {
      line("SIZE = " + std::to_string(s_.width) + ", " +
               std::to_string(s_.height),
           "size");
    }
    number_key("BIT_WIDTH", s_.bit_width);
    if (s_.format != 0) {
      line("FORMAT = " + std::to_string(s_.format >> 8) + ", " +
               std::to_string(s_.format & 0xFF),
           "format");
    }
    number_key("I2C_MODE", s_.i2c_mode);
    number_key("I2C_ADDR", s_.i2c_addr);
    number_key("TRANS_LVL", s_.trans_lvl);
  }

  // Register values in hex, delays in decimal; a negative value always in
  // decimal, since a hex number with bit 31 set would be clamped.
  static std::string value_text(std::int32_t v, bool decimal) {
    if (v < 0 || decimal) return std::to_string(v);
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%" PRIX32, static_cast<std::uint32_t>(v));
    return hex;
  }

  void entries() {
    const char* current = nullptr;
    for (std::uint32_t i = 0; i < s_.entry_count; ++i) {
      const register_entry& e = s_.entries[i];
      const std::string field = "entries[" + std::to_string(i) + "]";
      const char* section = section_name(e.entry_type & 0xFFFF0000u);
      const char* key = register_key_name(e.entry_type & 0xFFFFu);
      if (section == nullptr ||
          (e.entry_type & 0xFF000000u) == QUORLEN_SECTION_CAMERA ||
          (e.entry_type & 0xFF000000u) == QUORLEN_SECTION_CONTROL) {
        throw unwritable(field + ".section",
                         "no board or register section has this code");
      }
      if (key == nullptr)
        throw unwritable(field + ".key", "no key has this code");
      if (e.value_count > QUORLEN_MAX_VALUES) {
        throw unwritable(field + ".values", "more than 16 values");
      }
      if (current != section) {
        header(std::string("[") + section + "]");
        current = section;
      }
      std::string spaced = std::string(key) + " =";
      std::string compact = std::string(key) + "=";
      for (int v = 0; v < e.value_count; ++v) {
        const std::string text = value_text(
            e.values[v], (e.entry_type & 0xFFFFu) == QUORLEN_KEY_DELAY);
        spaced += (v == 0 ? " " : ", ") + text;
        compact += (v == 0 ? "" : ",") + text;
      }
      line(spaced.size() <= LINE_ROOM ? spaced : compact, field + ".values");
    }
  }

  // Each line of the block verbatim; a line of exactly 199 characters is
  // what one read takes, so the next one follows it without a line end.
  void code_block(const char* code, const std::string& field) {
    std::string_view text(code);
    if (!text.empty() && text.back() != '\n') {
      throw unwritable(field, "a code block's text ends with a line end");
    }
    out_ += BLOCK_START;
    out_ += '\n';
    while (!text.empty()) {
      const std::size_t end = text.find('\n');
      const std::string_view one = text.substr(0, end);
      text.remove_prefix(end + 1);
      if (one.size() > LINE_ROOM) {
        throw unwritable(field, "a code line is longer than 199 characters");
      }
      if (!one.empty() && blank(one.back())) {
        throw unwritable(field,
                         "white space at the end of a code line is trimmed");
      }
      std::size_t first = 0;
      while (first < one.size() && blank(one[first])) ++first;
      const std::string rest(one.substr(first));
      if (strcasecmp(rest.c_str(), BLOCK_END) == 0) {
        throw unwritable(field, "a code line is the end marker");
      }
      std::string probe = rest + '\0';
      if (probe[0] == '[' &&
          *quorlen::find_stop_char(&probe[1],
                                   quorlen::stop_set::close_bracket) == ']') {
        throw unwritable(field, "a code line reads as a section header");
      }
      out_.append(one);
      if (one.size() < LINE_ROOM) out_ += '\n';
    }
    out_ += BLOCK_END;
    out_ += '\n';
  }

  void controls() {
    for (std::uint32_t i = 0; i < s_.control_count; ++i) {
      const control_entry& c = s_.controls[i];
      const std::string field = "controls[" + std::to_string(i) + "]";
      header("[control parameter]");
      const std::size_t name_length = strnlen(c.ctrl_name, sizeof c.ctrl_name);
      const std::size_t func_length = strnlen(c.func_name, sizeof c.func_name);
      if (name_length == sizeof c.ctrl_name) {
        throw unwritable(field + ".ctrl_name", "more than 127 characters");
      }
      if (func_length == sizeof c.func_name) {
        throw unwritable(field + ".func_name", "more than 127 characters");
      }
      text_key("CTRL_NAME", std::string_view(c.ctrl_name, name_length),
               field + ".ctrl_name", sizeof c.ctrl_name - 1);
      text_key("FUNC_NAME", std::string_view(c.func_name, func_length),
               field + ".func_name", sizeof c.func_name - 1);
      number_key("MIN_VALUE", c.min_value);
      number_key("MAX_VALUE", c.max_value);
      number_key("STEP", c.step);
      number_key("DEF", c.def);
      if (c.code != nullptr) code_block(c.code, field + ".code");
    }
  }

  const camera_setup& s_;
  std::string out_;
};

}  // namespace

const char* section_name(std::uint32_t code) {
  return name_of(quorlen::section_codes, code);
}

const char* register_key_name(std::uint32_t code) {
  return name_of(quorlen::register_key_codes, code);
}

std::string write_config(const camera_setup& setup) {
  std::string text = writer(setup).run();
  // The proof: the library reads the text back into the same record.
  camera_setup back{};
  quorlen::setup_context context(&back);
  const int result =
      quorlen::parse_text(text.c_str(), quorlen::setup_handler, &context);
  const bool same = result == 0 && same_setup(setup, back);
  free_setup(back);
  if (!same)
    throw unwritable("record", "the written file would read back differently");
  return text;
}

}  // namespace quorlen_tool
