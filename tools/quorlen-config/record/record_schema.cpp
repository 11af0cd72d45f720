// The JSON Schema of a json document, made from the field table and the
// section and key tables, so that it says exactly what write_document
// writes and what read_document takes.
#include "input/field_range.h"
#include "quorlen_core.h"
#include "record/record_json.h"

namespace quorlen_tool {

namespace {

using quorlen::field;
using quorlen::field_kind;

void integer(json_writer& out, std::int64_t low, std::int64_t high) {
  out.key("type").value("integer");
  out.key("minimum").value(low);
  out.key("maximum").value(high);
}

// Exact bytes, where the text is not UTF-8: up to room of them.
void hex_property(json_writer& out, const std::string& name,
                  const std::string& room) {
  out.key(name + "_hex").begin_object();
  out.key("description").value("the exact bytes of " + name + ", in hex");
  out.key("type").value("string");
  out.key("pattern").value("^([0-9a-f]{2})" + room + "$");
  out.end_object();
}

// A family's members, named and bounded as the table says.
void field_properties(json_writer& out, std::uint32_t family) {
  for (const field* f = quorlen::fields; f->key != nullptr; ++f) {
    if (f->family != family) continue;
    out.key(f->member).begin_object();
    out.key("description").value(std::string(f->key) + ": " + f->summary);
    const std::string room = "{0," + std::to_string(f->size - 1) + "}";
    if (f->kind == field_kind::text) {
      out.key("type").value("string");
      out.key("maxLength").value(f->size - 1);
      out.end_object();
      hex_property(out, f->member, room);
    } else {
      integer(out, quorlen::field_min(*f), quorlen::field_max(*f));
      out.end_object();
    }
  }
}

void required(json_writer& out, std::uint32_t family,
              std::initializer_list<const char*> more) {
  out.key("required").begin_array();
  for (const field* f = quorlen::fields; f->key != nullptr; ++f) {
    if (f->family == family) out.value(f->member);
  }
  for (const char* name : more) out.value(name);
  out.end_array();
  out.key("additionalProperties").value(false);
}

void camera(json_writer& out) {
  out.key("camera").begin_object();
  out.key("type").value("object");
  out.key("properties").begin_object();
  field_properties(out, quorlen::CAMERA_SECTION);
  out.end_object();
  required(out, quorlen::CAMERA_SECTION, {});
  out.end_object();
}

void control(json_writer& out) {
  out.key("control").begin_object();
  out.key("type").value("object");
  out.key("properties").begin_object();
  field_properties(out, quorlen::CONTROL_SECTION);
  out.key("code").begin_object();
  out.key("description").value("the control's code block, or null");
  out.key("type").begin_array().value("string").value("null").end_array();
  out.end_object();
  hex_property(out, "code", "*");
  out.end_object();
  required(out, quorlen::CONTROL_SECTION, {"code"});
  out.end_object();
}

bool register_family(std::uint32_t code) {
  const std::uint32_t family = quorlen::section_family(code);
  return family == QUORLEN_SECTION_BOARD || family == QUORLEN_SECTION_REGISTER;
}

// One allowed combination of section, key and their codes.
void entry_kind(json_writer& out, const quorlen::code_row& section,
                const quorlen::code_row& key) {
  using m = entry_member;
  const auto is = [&out](entry_member member) -> json_writer& {
    return out.key(member_name(member)).begin_object().key("const");
  };
  out.begin_object().key("properties").begin_object();
  is(m::section).value(section.name).end_object();
  is(m::key).value(key.name).end_object();
  is(m::section_code).value(section.code).end_object();
  is(m::key_code).value(key.code).end_object();
  is(m::type).value(section.code | key.code).end_object();
  out.end_object().end_object();
}

void entry(json_writer& out) {
  out.key("entry").begin_object();
  out.key("type").value("object");
  out.key("properties").begin_object();
  using m = entry_member;
  for (entry_member name : {m::section, m::key}) {
    out.key(member_name(name)).begin_object().key("type").value("string");
    out.end_object();
  }
  for (entry_member name : {m::section_code, m::key_code, m::type}) {
    out.key(member_name(name)).begin_object();
    integer(out, 0, UINT32_MAX);
    out.end_object();
  }
  out.key(member_name(m::values)).begin_object();
  out.key("type").value("array");
  out.key("maxItems").value(QUORLEN_MAX_VALUES);
  out.key("items").begin_object();
  integer(out, INT32_MIN, INT32_MAX);
  out.end_object().end_object();
  out.end_object();
  out.key("required").begin_array();
  for (const char* name : entry_member_names) out.value(name);
  out.end_array();
  out.key("additionalProperties").value(false);
  out.key("oneOf").begin_array();
  for (const auto* s = quorlen::section_codes; s->name != nullptr; ++s) {
    if (!register_family(s->code)) continue;
    for (const auto* k = quorlen::register_key_codes; k->name != nullptr; ++k) {
      entry_kind(out, *s, *k);
    }
  }
  out.end_array();
  out.end_object();
}

void array_of(json_writer& out, const char* name, const char* item) {
  out.key(name).begin_object();
  out.key("type").value("array");
  out.key("items").begin_object();
  out.key("$ref").value(std::string("#/$defs/") + item);
  out.end_object().end_object();
}

}  // namespace

void write_schema(json_writer& out) {
  out.begin_object();
  out.key("$schema").value("https://json-schema.org/draft/2020-12/schema");
  out.key("title").value("quorlen-config json document");
  out.key("description")
      .value(
          "What 'quorlen-config json' writes and 'quorlen-config format' "
          "reads: the record that a configuration file gives.");
  out.key("type").value("object");
  out.key("properties").begin_object();
  out.key("file").begin_object().key("type").value("string").end_object();
  out.key("clean").begin_object().key("type").value("boolean").end_object();
  out.key("camera").begin_object().key("$ref").value("#/$defs/camera");
  out.end_object();
  array_of(out, "entries", "entry");
  array_of(out, "controls", "control");
  out.end_object();
  out.key("required").begin_array();
  for (const char* name : {"file", "clean", "camera", "entries", "controls"}) {
    out.value(name);
  }
  out.end_array();
  out.key("additionalProperties").value(false);
  out.key("$defs").begin_object();
  camera(out);
  entry(out);
  control(out);
  out.end_object();
  out.end_object();
}

}  // namespace quorlen_tool
