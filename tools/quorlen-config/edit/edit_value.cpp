#include "edit/edit_value.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "input/diagnostics.h"
#include "input/field_range.h"
#include "input/number_reading.h"
#include "quorlen_core.h"

namespace quorlen_tool {

namespace {

using quorlen::field;
using quorlen::field_kind;

// The keys of a family as a file writes them, SIZE once.
std::vector<const field*> keys_of(std::uint32_t family) {
  std::vector<const field*> rows;
  for (const field* f = quorlen::fields; f->key != nullptr; ++f) {
    if (f->family == family && f->kind != field_kind::pair_second) {
      rows.push_back(f);
    }
  }
  return rows;
}

std::string key_list(std::uint32_t family) {
  std::string list;
  for (const field* f : keys_of(family)) {
    list += (list.empty() ? "" : ", ") + std::string(f->key);
  }
  return list;
}

const field* find_key(std::uint32_t family, const std::string& name) {
  if (name.find('\0') != std::string::npos) return nullptr;
  return quorlen::find_field(family, name.c_str());
}

// What the record would hold, stored into a cleared record of the family.
std::string would_hold(const field& f, const std::string& value) {
  if (f.family == quorlen::CAMERA_SECTION) {
    camera_setup scratch{};
    quorlen::store_field(&scratch, f, value.c_str());
    return held_text(&scratch, f);
  }
  control_entry scratch{};
  quorlen::store_field(&scratch, f, value.c_str());
  return held_text(&scratch, f);
}

// Why the number written in [begin, end) would not be stored as written in
// a member that takes min to max; empty when it would.
std::string number_problem(const char* begin, const char* end, std::int64_t min,
                           std::int64_t max, const std::string& takes) {
  const std::string written =
      in_quotes(std::string_view(begin, static_cast<std::size_t>(end - begin)));
  const quorlen::number_reading r = quorlen::read_number(begin);
  if (!r.has_digits) return written + " is not a number";
  if (r.sign_before_hex) {
    return written + " has a sign before '0x', so it is read as decimal";
  }
  const char* rest = r.end;
  while (rest < end && is_blank(*rest)) ++rest;
  if (rest < end) return "text after the number in " + written + " is ignored";
  if (r.saturated) return written + " is beyond the 64-bit range";
  if (r.value < min || r.value > max) {
    return written + " does not fit: " + takes + " " + std::to_string(min) +
           " to " + std::to_string(max);
  }
  return "";
}

// SIZE and FORMAT: a count that changes something, and numbers that fit.
void check_list(const field& f, const std::string& value, value_check& c) {
  std::vector<std::pair<const char*, const char*>> pieces;
  const unsigned count = quorlen::scan::for_each_piece(
      value.c_str(), [&](const char* p, unsigned) {
        const char* end = quorlen::scan::end_of_piece(p);
        pieces.emplace_back(p, end);
        return end;
      });
  const bool size = f.kind == field_kind::pair_first;
  if (size ? count != 2 : count == 0 || count > 2) {
    c.hopeless = true;
    c.problem = std::string(f.key) +
                (size ? " takes exactly two values, width and height,"
                      : " takes one or two values,") +
                " and " + in_quotes(value) + " has " + std::to_string(count) +
                ": such a line changes nothing";
    return;
  }
  for (const auto& [begin, end] : pieces) {
    c.problem =
        size ? number_problem(begin, end, quorlen::field_min(f),
                              quorlen::field_max(f), "each value takes")
             : number_problem(begin, end, 0, 0xFF, "each of its bytes takes");
    if (!c.problem.empty()) return;
  }
}

}  // namespace

bool parse_record_key(const std::string& text, record_key& key,
                      std::string& why) {
  key = record_key{};
  key.text = text;
  const std::string camera = "camera.";
  const std::string control = "control.";
  std::uint32_t family;
  std::string name;
  if (text.rfind(camera, 0) == 0) {
    family = quorlen::CAMERA_SECTION;
    name = text.substr(camera.size());
  } else if (text.rfind(control, 0) == 0 &&
             text.find('.', control.size()) != std::string::npos) {
    family = quorlen::CONTROL_SECTION;
    const std::size_t dot = text.rfind('.');
    key.control = true;
    key.control_name = text.substr(control.size(), dot - control.size());
    name = text.substr(dot + 1);
  } else {
    why = "a key is camera.NAME or control.CTRL_NAME.NAME, not " +
          in_quotes(text);
    return false;
  }
  key.field = find_key(family, name);
  if (key.field != nullptr) return true;
  const bool cam = family == quorlen::CAMERA_SECTION;
  why = "no " + std::string(cam ? "camera" : "control") + " key is named " +
        in_quotes(name) + "; " + (cam ? "camera" : "control") + " keys are " +
        key_list(family);
  return false;
}

std::string held_text(const void* record, const field& f) {
  switch (f.kind) {
  case field_kind::text: {
    const char* text = static_cast<const char*>(quorlen::member_of(record, f));
    return std::string(text, strnlen(text, f.size));
  }
  case field_kind::pair_first:
    return std::to_string(quorlen::field_number(record, f)) + ", " +
           std::to_string(quorlen::field_number(record, (&f)[1]));
  case field_kind::byte_pair: {
    const std::int64_t code = quorlen::field_number(record, f);
    return std::to_string(code >> 8) + ", " + std::to_string(code & 0xFF);
  }
  default: return std::to_string(quorlen::field_number(record, f));
  }
}

value_check check_value(const field& f, const std::string& value) {
  value_check c;
  if (value.find_first_of(std::string_view("\n\0", 2)) != std::string::npos) {
    c.hopeless = true;
    c.problem = "a line end or NUL byte cannot stand in a value";
    return c;
  }
  if (!value.empty() && (is_blank(value.front()) || is_blank(value.back()))) {
    c.hopeless = true;
    c.problem = "white space at either end of a value is trimmed";
    return c;
  }
  switch (f.kind) {
  case field_kind::text:
    if (value.size() > f.size - 1) {
      c.problem = in_quotes(value) + " is " + std::to_string(value.size()) +
                  " characters; the record keeps the first " +
                  std::to_string(f.size - 1);
    }
    break;
  case field_kind::pair_first:
  case field_kind::byte_pair: check_list(f, value, c); break;
  default:
    c.problem = number_problem(value.c_str(), value.c_str() + value.size(),
                               quorlen::field_min(f), quorlen::field_max(f),
                               std::string(f.key) + " takes");
    break;
  }
  if (!c.hopeless && !c.problem.empty()) c.holds = would_hold(f, value);
  return c;
}

std::string key_help() {
  std::string text =
      "KEY is camera.NAME or control.CTRL_NAME.NAME; NAME is what follows "
      "the last '.', so a CTRL_NAME may hold dots.  Where two controls have "
      "the same CTRL_NAME, the first in the file is meant.\n";
  for (const std::uint32_t family :
       {quorlen::CAMERA_SECTION, quorlen::CONTROL_SECTION}) {
    text += family == quorlen::CAMERA_SECTION
                ? "Camera keys (camera.NAME):\n"
                : "Control keys (control.CTRL_NAME.NAME):\n";
    const std::vector<const field*> rows = keys_of(family);
    std::size_t width = 0;
    for (const field* f : rows) width = std::max(width, std::strlen(f->key));
    for (const field* f : rows) {
      text += "  " + std::string(f->key) +
              std::string(width + 2 - std::strlen(f->key), ' ') + f->summary +
              "\n";
    }
  }
  return text;
}

}  // namespace quorlen_tool
