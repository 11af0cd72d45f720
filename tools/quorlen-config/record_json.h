// The whole record as one JSON document.
#ifndef QUORLEN_RECORD_JSON_H
#define QUORLEN_RECORD_JSON_H

#include <cstring>
#include <nlohmann/json.hpp>
#include <string>

#include "quorlen_config_parser.h"

namespace quorlen_tool {

// A record's fixed text field up to its terminator (or its whole size).
template <std::size_t N>
std::string field_text(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

nlohmann::ordered_json record_json(const camera_setup& setup);

// The record a document of record_json describes, as the caller's to free
// with free_setup; throws unwritable (record_text.h) for a field that no
// record can hold.
void record_from_json(const nlohmann::json& document, camera_setup& setup);

// Releases what a parse stored in the record.
void free_setup(camera_setup& setup);

}  // namespace quorlen_tool

#endif
