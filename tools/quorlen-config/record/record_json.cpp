#include "record/record_json.h"

#include "input/diagnostics.h"
#include "quorlen_core.h"

namespace quorlen_tool {

namespace {

using quorlen::field;
using quorlen::field_kind;

const char* name_of(const quorlen::code_row* table, std::uint32_t code) {
  for (const quorlen::code_row* row = table; row->name != nullptr; ++row) {
    if (row->code == code) return row->name;
  }
  return nullptr;
}

std::string hex_bytes(std::string_view text) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (char byte : text) {
    const auto c = static_cast<unsigned char>(byte);
    hex += digits[c >> 4];
    hex += digits[c & 0x0F];
  }
  return hex;
}

// A text as JSON shows it, and where it is not UTF-8 (which JSON shows with
// U+FFFD) its exact bytes in hex beside it, under NAME_hex.
void put_text(json_writer& out, const std::string& name,
              std::string_view text) {
  out.key(name).value(text);
  if (!valid_utf8(text)) out.key(name + "_hex").value(hex_bytes(text));
}

// The members of one family, in table order.
void put_fields(json_writer& out, const void* record, std::uint32_t family) {
  for (const field* f = quorlen::fields; f->key != nullptr; ++f) {
    if (f->family != family) continue;
    if (f->kind == field_kind::text) {
      put_text(out, f->member, text_of(record, *f));
    } else {
      out.key(f->member).value(quorlen::field_number(record, *f));
    }
  }
}

void name_or_null(json_writer& out, const char* name) {
  if (name != nullptr) {
    out.value(name);
  } else {
    out.null();
  }
}

void put_entry(json_writer& out, std::uint32_t type, const std::int32_t* values,
               unsigned count) {
  const std::uint32_t section = type & 0xFFFF0000u;
  const std::uint32_t key = type & 0xFFFFu;
  out.begin_object(true);
  using m = entry_member;
  name_or_null(out.key(member_name(m::section)), section_name(section));
  name_or_null(out.key(member_name(m::key)), register_key_name(key));
  out.key(member_name(m::section_code)).value(section);
  out.key(member_name(m::key_code)).value(key);
  out.key(member_name(m::type)).value(type);
  out.key(member_name(m::values)).begin_array();
  for (unsigned v = 0; v < count; ++v) out.value(values[v]);
  out.end_array().end_object();
}

void put_control(json_writer& out, const control_entry& c) {
  out.begin_object();
  put_fields(out, &c, quorlen::CONTROL_SECTION);
  if (c.code != nullptr) {
    put_text(out, "code", c.code);
  } else {
    out.key("code").null();
  }
  out.end_object();
}

}  // namespace

const char* section_name(std::uint32_t code) {
  return name_of(quorlen::section_codes, code);
}

const char* register_key_name(std::uint32_t code) {
  return name_of(quorlen::register_key_codes, code);
}

std::string values_text(std::uint32_t type, const std::int32_t* values,
                        unsigned count, const char* separator) {
  const bool hex = (type & 0xFFFFu) != QUORLEN_KEY_DELAY;
  std::string out;
  for (unsigned v = 0; v < count; ++v) {
    if (v > 0) out += separator;
    out += number_text(values[v], hex);
  }
  return out;
}

void write_document(json_writer& out, std::string_view file, bool clean,
                    const camera_setup& record, const entry_list* entries) {
  out.begin_object();
  out.key("file").value(file);
  out.key("clean").value(clean);
  out.key("camera").begin_object();
  put_fields(out, &record, quorlen::CAMERA_SECTION);
  out.end_object();
  out.key("entries").begin_array();
  if (entries != nullptr) {
    for (std::size_t i = 0; i < entries->size(); ++i) {
      put_entry(out, entries->type(i), entries->values(i), entries->count(i));
    }
  } else {
    for (std::uint32_t i = 0; i < record.entry_count; ++i) {
      const register_entry& e = record.entries[i];
      put_entry(out, e.entry_type, e.values,
                e.value_count < QUORLEN_MAX_VALUES ? e.value_count
                                                   : QUORLEN_MAX_VALUES);
    }
  }
  out.end_array();
  out.key("controls").begin_array();
  for (std::uint32_t i = 0; i < record.control_count; ++i) {
    put_control(out, record.controls[i]);
  }
  out.end_array();
  out.end_object();
}

std::string json_document(std::string_view file, bool clean,
                          const camera_setup& record) {
  std::string text;
  {
    json_writer out(text);
    write_document(out, file, clean, record, nullptr);
    out.finish();
  }
  return text;
}

}  // namespace quorlen_tool
