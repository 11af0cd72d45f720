// The diff model shown as text for people, or as JSON for programs.
#include "diff/record_diff.h"
#include "input/diagnostics.h"
#include "record/record_json.h"

namespace quorlen_tool {

namespace {

std::string shown(const shown_value& v) {
  switch (v.kind) {
  case shown_value::number: return number_text(v.n, v.hex);
  case shown_value::text: return in_quotes(v.t);
  case shown_value::none: return "(none)";
  }
  return "";
}

void put(json_writer& out, const shown_value& v) {
  switch (v.kind) {
  case shown_value::number: out.value(v.n); break;
  case shown_value::text: out.value(v.t); break;
  case shown_value::none: out.null(); break;
  }
}

std::string section_title(std::uint32_t section) {
  const char* name = section_name(section);
  return name != nullptr ? name : number_text(section, true);
}

// "REG = 0x3036, 0x46": register values in hex, delays in decimal.
std::string entry_text(const entry_list& list, std::size_t i) {
  const char* key = register_key_name(list.type(i) & 0xFFFFu);
  return std::string(key != nullptr ? key : "?") + " = " +
         values_text(list.type(i), list.values(i), list.count(i), ", ");
}

std::string where(const loaded_file& f, int line) {
  return escape_text(f.name) + ":" + std::to_string(line);
}

const char* kind_name(change_kind kind) {
  switch (kind) {
  case change_kind::changed: return "changed";
  case change_kind::removed: return "removed";
  case change_kind::added: return "added";
  }
  return "";
}

void text_fields(std::FILE* out, const std::vector<field_change>& fields) {
  for (const field_change& f : fields) {
    std::fprintf(out, "  %s: %s -> %s\n", f.name.c_str(), shown(f.a).c_str(),
                 shown(f.b).c_str());
  }
}

void text_entry(std::FILE* out, const entry_change& c, const loaded_file& a,
                const loaded_file& b) {
  std::string line;
  switch (c.kind) {
  case change_kind::changed:
    line = "~ " + entry_text(a.entries, c.a) + "  ->  " +
           entry_text(b.entries, c.b) + "  (" + where(a, a.entries.line(c.a)) +
           ", " + where(b, b.entries.line(c.b)) + ")";
    break;
  case change_kind::removed:
    line = "- " + entry_text(a.entries, c.a) + "  (" +
           where(a, a.entries.line(c.a)) + ")";
    break;
  case change_kind::added:
    line = "+ " + entry_text(b.entries, c.b) + "  (" +
           where(b, b.entries.line(c.b)) + ")";
    break;
  }
  std::fprintf(out, "  %s\n", line.c_str());
}

void text_control(std::FILE* out, const control_change& c, const loaded_file& a,
                  const loaded_file& b) {
  const std::string name = in_quotes(c.name);
  switch (c.kind) {
  case change_kind::changed:
    std::fprintf(out, "control %s  (%s, %s)\n", name.c_str(),
                 where(a, a.control_lines[c.a]).c_str(),
                 where(b, b.control_lines[c.b]).c_str());
    text_fields(out, c.fields);
    break;
  case change_kind::removed:
    std::fprintf(out, "- control %s  (%s)\n", name.c_str(),
                 where(a, a.control_lines[c.a]).c_str());
    break;
  case change_kind::added:
    std::fprintf(out, "+ control %s  (%s)\n", name.c_str(),
                 where(b, b.control_lines[c.b]).c_str());
    break;
  }
}

void json_fields(json_writer& out, const std::vector<field_change>& fields) {
  out.begin_array();
  for (const field_change& f : fields) {
    out.begin_object().key("field").value(f.name);
    put(out.key("a"), f.a);
    put(out.key("b"), f.b);
    out.end_object();
  }
  out.end_array();
}

void json_side(json_writer& out, const char* side, const entry_list& list,
               std::size_t i) {
  const char* key = register_key_name(list.type(i) & 0xFFFFu);
  out.key(side).begin_object();
  out.key("line").value(list.line(i));
  out.key("key").value(key != nullptr ? key : "?");
  out.key("values").begin_array(true);
  for (unsigned v = 0; v < list.count(i); ++v) out.value(list.values(i)[v]);
  out.end_array().end_object();
}

void json_control(json_writer& out, const control_change& c,
                  const loaded_file& a, const loaded_file& b) {
  out.begin_object();
  out.key("name").value(c.name);
  out.key("change").value(kind_name(c.kind));
  if (c.kind != change_kind::added) {
    out.key("a").begin_object().key("line").value(a.control_lines[c.a]);
    out.end_object();
  }
  if (c.kind != change_kind::removed) {
    out.key("b").begin_object().key("line").value(b.control_lines[c.b]);
    out.end_object();
  }
  json_fields(out.key("fields"), c.fields);
  out.end_object();
}

}  // namespace

void write_text(std::FILE* out, const record_diff& diff, const loaded_file& a,
                const loaded_file& b) {
  if (!diff.camera.empty()) {
    std::fprintf(out, "[camera parameter]\n");
    text_fields(out, diff.camera);
  }
  for (const section_changes& s : diff.sections) {
    std::fprintf(out, "[%s]\n", section_title(s.section).c_str());
    for (const entry_change& c : s.changes) text_entry(out, c, a, b);
  }
  for (const control_change& c : diff.controls) text_control(out, c, a, b);
}

void write_json(json_writer& out, const record_diff& diff, const loaded_file& a,
                const loaded_file& b) {
  out.begin_object();
  out.key("a").value(a.name);
  out.key("b").value(b.name);
  out.key("same").value(diff.same());
  json_fields(out.key("camera"), diff.camera);
  out.key("entries").begin_array();
  for (const section_changes& s : diff.sections) {
    for (const entry_change& c : s.changes) {
      out.begin_object();
      out.key("section").value(section_title(s.section));
      out.key("change").value(kind_name(c.kind));
      if (c.kind != change_kind::added) json_side(out, "a", a.entries, c.a);
      if (c.kind != change_kind::removed) json_side(out, "b", b.entries, c.b);
      out.end_object();
    }
  }
  out.end_array();
  out.key("controls").begin_array();
  for (const control_change& c : diff.controls) json_control(out, c, a, b);
  out.end_array();
  out.end_object();
  out.finish();
}

}  // namespace quorlen_tool
