// What the binding library's files share.
#ifndef QUORLEN_BINDING_INTERNAL_H
#define QUORLEN_BINDING_INTERNAL_H

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <valijson/schema.hpp>
#include <valijson/validation_results.hpp>
#include <vector>

#include "binding/binding.h"

namespace quorlen_tool {

// binding/meta-schema.json, as the build embeds it.
extern const char meta_schema_text[];

struct binding::compiled {
  std::unique_ptr<valijson::Schema> select, whole, entry;
};

// A part of a binding as a schema of its own, with the definitions its
// local $refs name; files: those its other $refs name, or null for none.
// Throws where valijson cannot read it.
std::unique_ptr<valijson::Schema> compile_part(
    const nlohmann::json& part, const nlohmann::json& definitions,
    const std::map<std::string, nlohmann::json>* files);

// A YAML or JSON text as JSON, with the line of each JSON pointer; throws
// binding_error.
nlohmann::json read_yaml_text(const std::string& path, const std::string& text,
                              std::unordered_map<std::string, int>& lines);
nlohmann::json read_yaml(const std::string& path,
                         std::unordered_map<std::string, int>& lines);

// What valijson is given to check.  It counts a string's characters by
// stepping over UTF-8 continuation bytes without a bound, and a long run of
// them reads past its table: a document whose strings are not all UTF-8 is
// checked as a copy in which each byte that is not part of a valid sequence
// is U+FFFD.  The reference stays valid while the holder lives.
const nlohmann::json& valid_utf8(const nlohmann::json& doc,
                                 nlohmann::json& holder);

// A register entry as the binding's schema of entries sees it.
nlohmann::json entry_json(const register_entry& e);

// Whether valijson finds the entry within the binding's schema of entries:
// the verdict that the quick check of entries gives where it gives one.
bool valijson_accepts(const binding& b, const register_entry& e);

// The names and indexes of a valijson error's context, without its root and
// the brackets and quotes valijson writes them with.
std::vector<std::string> tokens_of(const std::vector<std::string>& context);

// Why the meta-schema refuses the binding, in words, from its deepest error.
std::string meta_words(const std::string& pointer,
                       const valijson::ValidationResults::Error& error);

}  // namespace quorlen_tool

#endif
