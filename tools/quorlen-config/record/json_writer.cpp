#include "record/json_writer.h"

#include <charconv>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace quorlen_tool {

namespace {

constexpr std::size_t HELD = 64 * 1024;  // written out in blocks of this

template <class Number>
void append_number(std::string& out, Number number) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, number);
  out.append(digits, result.ptr);
}

}  // namespace

// Most texts are plain ASCII, which needs no escaping.  JSON escapes the
// C0 controls; DEL and the C1 controls, which a terminal may obey too, are
// escaped here.
std::string json_string(std::string_view text) {
  bool plain = true;
  for (char c : text) {
    plain = plain && c >= 0x20 && c < 0x7F && c != '"' && c != '\\';
  }
  if (plain) return "\"" + std::string(text) + "\"";
  const std::string dumped =
      nlohmann::json(std::string(text))
          .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  std::string out;
  out.reserve(dumped.size());
  for (std::size_t i = 0; i < dumped.size(); ++i) {
    const auto c = static_cast<unsigned char>(dumped[i]);
    const auto next =
        i + 1 < dumped.size() ? static_cast<unsigned char>(dumped[i + 1]) : 0;
    if (c == 0x7F || (c == 0xC2 && next >= 0x80 && next <= 0x9F)) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c == 0x7F ? c : next);
      out += escaped;
      i += c == 0x7F ? 0 : 1;
    } else {
      out += dumped[i];
    }
  }
  return out;
}

void json_writer::pad(std::size_t depth) { held_.append(2 * depth, ' '); }

void json_writer::item() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (open_.empty()) return;
  container& c = open_.back();
  if (c.compact) {
    if (c.filled) held_ += ", ";
  } else {
    held_ += c.filled ? ",\n" : "\n";
    pad(open_.size());
  }
  c.filled = true;
}

json_writer& json_writer::key(std::string_view name) {
  item();
  held_ += json_string(name);
  held_ += ": ";
  after_key_ = true;
  return *this;
}

json_writer& json_writer::open(char bracket, bool compact) {
  item();
  held_ += bracket;
  open_.push_back({false, compact || (!open_.empty() && open_.back().compact)});
  return *this;
}

json_writer& json_writer::close(char bracket) {
  const container c = open_.back();
  open_.pop_back();
  if (c.filled && !c.compact) {
    held_ += '\n';
    pad(open_.size());
  }
  held_ += bracket;
  if (held_.size() >= HELD) flush();
  return *this;
}

json_writer& json_writer::value(std::int64_t number) {
  item();
  append_number(held_, number);
  return *this;
}

json_writer& json_writer::value(std::uint64_t number) {
  item();
  append_number(held_, number);
  return *this;
}

json_writer& json_writer::value(bool truth) {
  item();
  held_ += truth ? "true" : "false";
  return *this;
}

json_writer& json_writer::value(std::string_view text) {
  item();
  held_ += json_string(text);
  return *this;
}

json_writer& json_writer::null() { return raw("null"); }

json_writer& json_writer::raw(std::string_view json) {
  item();
  held_ += json;
  return *this;
}

void json_writer::finish() {
  held_ += '\n';
  flush();
}

void json_writer::flush() {
  if (text_ != nullptr) {
    *text_ += held_;
  } else {
    std::fwrite(held_.data(), 1, held_.size(), out_);
  }
  held_.clear();
}

}  // namespace quorlen_tool
