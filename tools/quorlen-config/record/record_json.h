// The whole record as one JSON document, the JSON Schema that says exactly
// what such a document holds, and the strict reading of one.  Each camera
// and control field is a row of the field table, named by its member.
#ifndef QUORLEN_RECORD_JSON_H
#define QUORLEN_RECORD_JSON_H

#include <string>
#include <string_view>

#include "input/entry_list.h"
#include "quorlen_config_parser.h"
#include "record/json_writer.h"
#include "record/record_compare.h"

namespace quorlen_tool {

// {"file", "clean", "camera": {...}, "entries": [...], "controls": [...]}.
// The entries come from the list when one is given, else from the record.
void write_document(json_writer& out, std::string_view file, bool clean,
                    const camera_setup& record, const entry_list* entries);

// The document as a text.
std::string json_document(std::string_view file, bool clean,
                          const camera_setup& record);

// The JSON Schema of the document.
void write_schema(json_writer& out);

// The members of an entry in the document, in its order.
enum class entry_member { section, key, section_code, key_code, type, values };
inline constexpr const char* entry_member_names[] = {
    "section", "key", "section_code", "key_code", "type", "values"};
constexpr const char* member_name(entry_member m) {
  return entry_member_names[static_cast<int>(m)];
}

// The section text a file writes for a section code, and the key text for
// a register key code; null for none.
const char* section_name(std::uint32_t code);
const char* register_key_name(std::uint32_t code);

// An entry's values as a file writes them: register values in hex, delays
// in decimal, negative values always in decimal (a hex number with bit 31
// set would be clamped).
std::string values_text(std::uint32_t type, const std::int32_t* values,
                        unsigned count, const char* separator);

// Reads a document as write_document writes it, and nothing else: camera
// fields and controls into the record (zero-filled by the caller, who frees
// it), entries into the list.  Throws unwritable (record_text.h) naming the
// JSON path of the first problem: an unknown or missing field, a wrong type,
// a number beyond its field, a name and a code that disagree.
void read_document(std::string_view text, camera_setup& record,
                   entry_list& entries);

}  // namespace quorlen_tool

#endif
