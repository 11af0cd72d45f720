// Sensor bindings: a JSON Schema (draft 7, written in YAML or JSON) over the
// document that `quorlen-config json` writes, narrowed to what one sensor or
// module accepts.  A binding says when it applies (select), holds examples
// that must satisfy it, and is itself checked against the meta-schema of
// binding/meta-schema.json before it is used.
//
// The document a binding sees is json's, plus what json cannot show: which
// keys the file sets.  "set" is an object whose members are the camera
// fields the file sets (each true), and every control holds a "set" of its
// own fields; a binding requires a key with {"set": {"required": [...]}}.
// The register entries are checked one at a time against the schema of
// properties.entries.items (the only way a binding may constrain them), so
// that a file of any size is checked in little memory; the rest of the
// document is checked once, with no entries.
//
// For the language server (and any other caller):
//  - load_binding() reads and checks one binding; binding_error says why not.
//  - binding_checker::entry() and ::document() check a record's parts and
//    give violations with their JSON paths; lint_bytes() with
//    lint_options::bindings (lint/lint.h) turns them into findings placed
//    at the lines that set the values, as the lint and `check` report them.
//  - value_rules() gives, for a camera or control key, the values a binding
//    allows (each with its description) and its limits, for completion and
//    hover.
#ifndef QUORLEN_BINDING_H
#define QUORLEN_BINDING_H

#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "quorlen_config_parser.h"

namespace quorlen_tool {

// A binding that cannot be read or is refused: the message says where
// (path:line) and why, never quoting a file that is not a binding.
struct binding_error : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Bounds on what one binding may make the tool do.
constexpr std::size_t BINDING_MAX_BYTES = 1 << 20;  // a file
constexpr std::size_t BINDING_MAX_NODES = 100000;   // values, aliases expanded
constexpr int BINDING_MAX_DEPTH = 64;               // nesting, $refs followed
constexpr int BINDING_MAX_FILES = 16;               // files $ref reaches
// What a $ref to a definition of the binding itself starts with.
constexpr const char* LOCAL_REF = "#/definitions/";

struct binding_example {
  std::string text;  // a configuration file's text
  int line;          // where it stands in the binding
};

struct binding {
  binding();
  ~binding();
  binding(const binding&) = delete;
  binding& operator=(const binding&) = delete;

  std::string path;  // as named
  std::string name;  // its "name", or the file's name without its suffix
  std::string level = "warning";  // what its findings are: info, warning,
                                  // error
  nlohmann::json schema;          // the binding as JSON
  std::vector<binding_example> examples;
  // The line of each JSON pointer of the binding that has one.
  std::unordered_map<std::string, int> lines;
  int line_of(const std::string& pointer) const;

  struct compiled;
  std::unique_ptr<compiled> checks;  // select, the whole and the entry
};

// Reads, checks against the meta-schema and compiles the binding at path.
// A $ref names a file beside it, or in folder when one is given.  Throws
// binding_error, or std::bad_alloc.
std::unique_ptr<binding> load_binding(const std::string& path,
                                      const std::string& folder = "");

// The same for a binding's text in memory (an editor's buffer), shown as
// path.
std::unique_ptr<binding> load_binding_text(const std::string& path,
                                           const std::string& text,
                                           const std::string& folder = "");

// Every binding file (.yaml, .yml, .json) in a folder, sorted; throws
// binding_error when the folder cannot be read.
std::vector<std::string> binding_files(const std::string& folder);

// A comment "; quorlen-config: binding=PATH" before the first section
// header names the file's binding, relative to the file.
struct named_binding {
  std::string path;  // as written
  int line = 0;      // as an editor counts
  int column = 0;    // of the path, 1-based
};
std::optional<named_binding> binding_named_in(std::string_view bytes);

// Where a binding named in the file at file_path lies, and whether that is
// inside the file's folder tree (no absolute path, no way out through ".."
// or a symbolic link).
std::string named_binding_path(const std::string& file_path,
                               const std::string& named, bool* inside);

// What a binding refuses in a document.
struct violation {
  enum class kind {
    not_allowed,   // enum or const: allowed holds the values
    out_of_range,  // minimum, maximum: low and high, where given
    not_set,       // required in a set: missing names the member
    value_count,   // minItems, maxItems of a list: low and high
    unmet,         // anything else: detail says what
  };
  kind what = kind::unmet;
  std::vector<std::string> path;  // in the document or the entry
  std::string missing;
  std::vector<nlohmann::json> allowed;
  std::optional<std::int64_t> low, high;
  std::string description;  // the binding's words, or empty
  std::string detail;
};

// The document a binding sees, without entries: json's, and the set lists.
// sets[0] is the camera's; sets[1 + i] control i's; each a list of members.
nlohmann::json binding_document(
    const camera_setup& record,
    const std::vector<std::vector<std::string>>& sets);

class binding_checker {
 public:
  explicit binding_checker(const binding& b);
  ~binding_checker();
  binding_checker(const binding_checker&) = delete;
  binding_checker& operator=(const binding_checker&) = delete;

  // What the binding refuses in one register entry; the verdicts of the
  // last few thousand different entries are kept, so an entry seen before
  // costs a look-up.  Valid until the next call.
  const std::vector<violation>& entry(const register_entry& e);
  // What it refuses in a document without entries.
  std::vector<violation> document(const nlohmann::json& doc) const;
  // Whether its select matches the document.
  bool selects(const nlohmann::json& doc) const;

 private:
  struct cache;
  const binding& binding_;
  std::unique_ptr<cache> cache_;
};

// What a binding says of a camera key (family QUORLEN_SECTION_CAMERA) or a
// control key: the values it allows, each with its description, its limits,
// and its own description; empty when it says nothing of the key.
struct value_rule {
  std::vector<std::pair<nlohmann::json, std::string>> allowed;
  std::optional<std::int64_t> low, high;
  std::string description;
};
value_rule value_rules(const binding& b, std::uint32_t family, const char* key);

// A value a binding names, as a file writes it (a number in hex where the
// key is hex, a text quoted).
std::string value_text(const nlohmann::json& v, bool hex);
// "LOW to HIGH", "at most HIGH", "at least LOW", or empty for no limit.
std::string limits_text(const std::optional<std::int64_t>& low,
                        const std::optional<std::int64_t>& high, bool hex);

}  // namespace quorlen_tool

#endif
