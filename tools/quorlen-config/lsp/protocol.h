// The protocol's shared pieces: JSON, error codes, positions and ranges.
#ifndef QUORLEN_LSP_PROTOCOL_H
#define QUORLEN_LSP_PROTOCOL_H

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>

#include "lint/rules.h"
#include "lsp/positions.h"

namespace quorlen_lsp {

using json = nlohmann::json;

// JSON-RPC's codes and the protocol's own.
enum error_code {
  PARSE_ERROR = -32700,
  INVALID_REQUEST = -32600,
  METHOD_NOT_FOUND = -32601,
  INVALID_PARAMS = -32602,
  INTERNAL_ERROR = -32603,
  SERVER_NOT_INITIALIZED = -32002,
};

// What the user set, in initializationOptions or the "quorlen-config"
// section of workspace/didChangeConfiguration.
struct settings {
  bool inlay_hints = true;
  // Findings below this level are not published.
  quorlen_tool::level severity = quorlen_tool::level::info;
  // The folder of sensor bindings the user named; empty for none.
  std::string bindings;
  // Apply a binding the file names even outside the file's folder tree.
  bool bindings_outside = false;
};

// What the client said it can do, as far as the answers depend on it, and
// what the user set.
struct client_info {
  encoding units = encoding::utf16;
  bool hierarchical_symbols = false;
  struct settings settings;
};

// Throws json::exception when the fields are missing or of another type.
inline position position_from(const json& p) {
  return {p.at("line").get<std::size_t>(),
          p.at("character").get<std::size_t>()};
}

inline json position_json(position p) {
  return {{"line", p.line}, {"character", p.character}};
}

inline json range_json(const text_map& map, std::size_t begin, std::size_t end,
                       encoding e) {
  return {{"start", position_json(map.at(begin, e))},
          {"end", position_json(map.at(end, e))}};
}

}  // namespace quorlen_lsp

#endif
