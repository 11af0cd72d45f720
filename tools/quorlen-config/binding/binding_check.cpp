// Checking a record against a binding: the document it sees, the entries
// one at a time with their verdicts kept, and valijson's errors told as
// violations with the binding's own words.
#include <cstring>
#include <map>
#include <valijson/adapters/nlohmann_json_adapter.hpp>
#include <valijson/validator.hpp>

#include "binding/binding_internal.h"
#include "binding/entry_check.h"
#include "input/diagnostics.h"
#include "input/entry_list.h"
#include "input/field_range.h"
#include "record/record_json.h"

namespace quorlen_tool {

namespace {

using nlohmann::json;

bool is_index(const std::string& t) {
  return !t.empty() && t.find_first_not_of("0123456789") == std::string::npos;
}

// The compiled if schemas of a binding, by where they stand in it; null for
// one valijson cannot compile alone (a $ref to another file).
using if_schemas = std::map<const json*, std::unique_ptr<valijson::Schema>>;

// What a binding's words are read against: the binding, and, where one is
// at hand, the value it checked, so that of an if/then/else only the branch
// that applies to the value speaks of it.
struct reading {
  const json& root;
  const json* value = nullptr;  // the whole value the path starts from
  if_schemas* ifs = nullptr;
};

// Whether the value satisfies an if schema; none where that cannot be told.
std::optional<bool> if_holds(const json& if_schema, const json* value,
                             const reading& r) {
  if (value == nullptr || r.ifs == nullptr) return std::nullopt;
  auto it = r.ifs->find(&if_schema);
  if (it == r.ifs->end()) {
    std::unique_ptr<valijson::Schema> compiled;
    try {
      compiled =
          compile_part(if_schema, r.root.value("definitions", json()), nullptr);
    } catch (const std::exception&) {
    }
    it = r.ifs->emplace(&if_schema, std::move(compiled)).first;
  }
  if (it->second == nullptr) return std::nullopt;
  try {
    valijson::Validator validator;
    json holder;
    valijson::adapters::NlohmannJsonAdapter target(valid_utf8(*value, holder));
    return validator.validate(*it->second, target, nullptr);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// The schemas of a binding that speak of the value at path, through its
// properties, items, combinators (not 'not' nor 'if') and local $refs.
// value: what stands at path[0..i), where known.
void schemas_at(const json& schema, const reading& r,
                const std::vector<std::string>& path, std::size_t i, int depth,
                std::vector<const json*>& out, const json* value) {
  if (!schema.is_object() || depth > BINDING_MAX_DEPTH) return;
  const json& root = r.root;
  const auto next = [&](const json& s, std::size_t at, const json* v) {
    schemas_at(s, r, path, at, depth + 1, out, v);
  };
  if (schema.contains("$ref") && schema["$ref"].is_string()) {
    const std::string ref = schema["$ref"];
    const std::size_t local = std::strlen(LOCAL_REF);
    if (ref.rfind(LOCAL_REF, 0) == 0 && root.contains("definitions")) {
      const json& defs = root["definitions"];
      auto it = defs.find(ref.substr(local));
      if (it != defs.end()) next(*it, i, value);
    }
  }
  for (const char* many : {"allOf", "anyOf", "oneOf"}) {
    auto it = schema.find(many);
    if (it == schema.end() || !it->is_array()) continue;
    for (const json& s : *it) next(s, i, value);
  }
  auto cond = schema.find("if");
  const std::optional<bool> holds =
      cond != schema.end() ? if_holds(*cond, value, r) : std::nullopt;
  for (const char* one : {"then", "else"}) {
    auto it = schema.find(one);
    const bool applies = !holds || *holds == (*one == 't');
    if (it != schema.end() && applies) next(*it, i, value);
  }
  if (i == path.size()) {
    out.push_back(&schema);
    return;
  }
  const std::string& t = path[i];
  const json* below = nullptr;
  if (value != nullptr && value->is_object() && value->contains(t)) {
    below = &(*value)[t];
  }
  auto props = schema.find("properties");
  if (props != schema.end() && props->is_object() && props->contains(t)) {
    next((*props)[t], i + 1, below);
  }
  auto items = schema.find("items");
  if (is_index(t) && items != schema.end()) {
    const std::size_t index = std::stoul(t);
    if (value != nullptr && value->is_array() && index < value->size()) {
      below = &(*value)[index];
    }
    auto more = schema.find("additionalItems");
    if (items->is_object()) {
      next(*items, i + 1, below);
    } else if (items->is_array() && index < items->size()) {
      next((*items)[index], i + 1, below);
    } else if (items->is_array() && more != schema.end()) {
      next(*more, i + 1, below);
    }
  }
}

const json* first_with(const std::vector<const json*>& nodes,
                       std::initializer_list<const char*> words) {
  for (const json* n : nodes) {
    for (const char* w : words) {
      if (n->contains(w)) return n;
    }
  }
  return nullptr;
}

std::string description_at(const json& schema, const reading& r,
                           std::vector<std::string> path) {
  for (;;) {
    std::vector<const json*> nodes;
    schemas_at(schema, r, path, 0, 0, nodes, r.value);
    const json* n = first_with(nodes, {"description"});
    if (n != nullptr && (*n)["description"].is_string()) {
      return (*n)["description"];
    }
    if (path.empty()) return "";
    path.pop_back();
  }
}

std::optional<std::int64_t> integer_of(const json& v) {
  if (v.is_number_integer()) return v.get<std::int64_t>();
  if (v.is_number()) return static_cast<std::int64_t>(v.get<double>());
  return std::nullopt;
}

void limits(const std::vector<const json*>& nodes, const char* low_word,
            const char* high_word, std::optional<std::int64_t>& low,
            std::optional<std::int64_t>& high, bool exclusive_too) {
  for (const json* n : nodes) {
    if (!low && n->contains(low_word)) low = integer_of((*n)[low_word]);
    if (!high && n->contains(high_word)) high = integer_of((*n)[high_word]);
    if (!exclusive_too) continue;
    if (!low && n->contains("exclusiveMinimum")) {
      low = integer_of((*n)["exclusiveMinimum"]);
      if (low) *low += 1;
    }
    if (!high && n->contains("exclusiveMaximum")) {
      high = integer_of((*n)["exclusiveMaximum"]);
      if (high) *high -= 1;
    }
  }
}

bool summary(const std::string& d) {
  return d.rfind("Failed to validate", 0) == 0 ||
         d.rfind("Cannot validate", 0) == 0;
}

// valijson's errors as violations: the deepest of each place, in the
// binding's words where it has them.
std::vector<violation> violations_of(valijson::ValidationResults& results,
                                     const json& schema, const reading& r) {
  std::vector<valijson::ValidationResults::Error> errors;
  valijson::ValidationResults::Error e;
  while (results.popError(e)) errors.push_back(e);
  const bool specific =
      std::any_of(errors.begin(), errors.end(),
                  [](const auto& x) { return !summary(x.description); });
  std::vector<violation> out;
  for (const auto& error : errors) {
    if (specific && summary(error.description)) continue;
    violation v;
    v.path = tokens_of(error.context);
    const std::string& d = error.description;
    bool seen = false;
    for (const violation& o : out) seen = seen || o.path == v.path;
    if (seen) continue;
    std::vector<const json*> nodes;
    schemas_at(schema, r, v.path, 0, 0, nodes, r.value);
    if (d.rfind("Failed to match against any enum", 0) == 0 ||
        d.find("'const' constraint") != std::string::npos) {
      v.what = violation::kind::not_allowed;
      if (const json* n = first_with(nodes, {"const", "enum"})) {
        if (n->contains("const")) {
          v.allowed.push_back((*n)["const"]);
        } else {
          for (const json& a : (*n)["enum"]) v.allowed.push_back(a);
        }
      }
    } else if (d.rfind("Expected number", 0) == 0) {
      v.what = violation::kind::out_of_range;
      limits(nodes, "minimum", "maximum", v.low, v.high, true);
    } else if (d.rfind("Missing required property '", 0) == 0 &&
               !v.path.empty() && v.path.back() == "set") {
      v.what = violation::kind::not_set;
      v.missing = d.substr(27, d.find('\'', 27) - 27);
    } else if (d.rfind("Array should contain no", 0) == 0) {
      v.what = violation::kind::value_count;
      limits(nodes, "minItems", "maxItems", v.low, v.high, false);
    } else {
      v.detail = d;
    }
    v.description = description_at(schema, r, v.path);
    out.push_back(std::move(v));
  }
  return out;
}

std::vector<violation> check(const valijson::Schema& schema, const json& doc,
                             const json& words, const json& root,
                             if_schemas& ifs) {
  valijson::Validator validator;
  valijson::ValidationResults results;
  json holder;
  const json& checked = valid_utf8(doc, holder);
  valijson::adapters::NlohmannJsonAdapter target(checked);
  try {
    if (validator.validate(schema, target, &results)) return {};
  } catch (const std::exception& e) {
    // What the binding's reading did not foresee is told, never passed.
    violation v;
    v.detail = std::string("valijson cannot check it: ") + e.what();
    return {v};
  }
  return violations_of(results, words, reading{root, &checked, &ifs});
}

constexpr std::size_t CACHE_ROOM = 4096;

const json& entries_schema(const binding& b) {
  return b.schema["properties"]["entries"]["items"];
}

}  // namespace

json entry_json(const register_entry& e) {
  const std::uint32_t section = e.entry_type & 0xFFFF0000u;
  const std::uint32_t key = e.entry_type & 0xFFFFu;
  const auto name = member_name;
  const auto text = [](const char* s) {
    return s != nullptr ? json(s) : json();
  };
  json out = json::object();
  out[name(entry_member::section)] = text(section_name(section));
  out[name(entry_member::key)] = text(register_key_name(key));
  out[name(entry_member::section_code)] = section;
  out[name(entry_member::key_code)] = key;
  out[name(entry_member::type)] = e.entry_type;
  json values = json::array();
  const unsigned count = e.value_count < QUORLEN_MAX_VALUES
                             ? e.value_count
                             : unsigned{QUORLEN_MAX_VALUES};
  for (unsigned i = 0; i < count; ++i) values.push_back(e.values[i]);
  out[name(entry_member::values)] = std::move(values);
  return out;
}

bool valijson_accepts(const binding& b, const register_entry& e) {
  const json doc = entry_json(e);
  json holder;
  valijson::adapters::NlohmannJsonAdapter target(valid_utf8(doc, holder));
  valijson::Validator validator;
  return validator.validate(*b.checks->entry, target, nullptr);
}

struct binding_checker::cache {
  std::optional<entry_program> quick;
  std::unordered_map<std::string, std::vector<violation>> verdicts;
  std::vector<violation> none;
  if_schemas ifs;
};

binding_checker::binding_checker(const binding& b)
    : binding_(b), cache_(std::make_unique<cache>()) {
  if (b.checks->entry != nullptr) {
    cache_->quick.emplace(entries_schema(b), b.schema);
  }
}
binding_checker::~binding_checker() = default;

const std::vector<violation>& binding_checker::entry(const register_entry& e) {
  if (binding_.checks->entry == nullptr) return cache_->none;
  const unsigned count = e.value_count < QUORLEN_MAX_VALUES
                             ? e.value_count
                             : unsigned{QUORLEN_MAX_VALUES};
  if (cache_->quick->run(e, count) == verdict::pass) return cache_->none;
  std::string key(reinterpret_cast<const char*>(&e.entry_type),
                  sizeof e.entry_type);
  key.append(reinterpret_cast<const char*>(e.values),
             count * sizeof e.values[0]);
  auto it = cache_->verdicts.find(key);
  if (it != cache_->verdicts.end()) return it->second;
  if (cache_->verdicts.size() >= CACHE_ROOM) cache_->verdicts.clear();
  return cache_->verdicts[key] =
             check(*binding_.checks->entry, entry_json(e),
                   entries_schema(binding_), binding_.schema, cache_->ifs);
}

std::vector<violation> binding_checker::document(const json& doc) const {
  return check(*binding_.checks->whole, doc, binding_.schema, binding_.schema,
               cache_->ifs);
}

bool binding_checker::selects(const json& doc) const {
  valijson::Validator validator;
  json holder;
  valijson::adapters::NlohmannJsonAdapter target(valid_utf8(doc, holder));
  try {
    return validator.validate(*binding_.checks->select, target, nullptr);
  } catch (const std::exception&) {
    return true;  // applied, rather than passed over in silence
  }
}

json binding_document(const camera_setup& record,
                      const std::vector<std::vector<std::string>>& sets) {
  std::string text;
  {
    json_writer out(text);
    const entry_list none;
    write_document(out, "", true, record, &none);
    out.finish();
  }
  json doc = json::parse(text);
  const auto set_of = [&](std::size_t i) {
    json s = json::object();
    if (i < sets.size()) {
      for (const std::string& m : sets[i]) s[m] = true;
    }
    return s;
  };
  doc["set"] = set_of(0);
  for (std::size_t i = 0; i < doc["controls"].size(); ++i) {
    doc["controls"][i]["set"] = set_of(i + 1);
  }
  return doc;
}

value_rule value_rules(const binding& b, std::uint32_t family,
                       const char* key) {
  value_rule out;
  const quorlen::field* f = quorlen::find_field(family, key);
  if (f == nullptr) return out;
  const std::vector<std::string> path =
      family == quorlen::CAMERA_SECTION
          ? std::vector<std::string>{"camera", f->member}
          : std::vector<std::string>{"controls", "0", f->member};
  std::vector<const json*> nodes;
  schemas_at(b.schema, reading{b.schema}, path, 0, 0, nodes, nullptr);
  for (const json* n : nodes) {
    const std::string words = n->value("description", "");
    if (n->contains("const")) out.allowed.emplace_back((*n)["const"], words);
    if (n->contains("enum") && (*n)["enum"].is_array()) {
      for (const json& v : (*n)["enum"]) out.allowed.emplace_back(v, words);
    }
    if (out.description.empty()) out.description = words;
  }
  limits(nodes, "minimum", "maximum", out.low, out.high, true);
  return out;
}

std::string value_text(const json& v, bool hex) {
  if (v.is_number_integer()) return number_text(v.get<std::int64_t>(), hex);
  if (v.is_string()) return in_quotes(v.get<std::string>());
  return escape_text(v.dump());
}

std::string limits_text(const std::optional<std::int64_t>& low,
                        const std::optional<std::int64_t>& high, bool hex) {
  if (low && high) {
    return number_text(*low, hex) + " to " + number_text(*high, hex);
  }
  if (high) return "at most " + number_text(*high, hex);
  if (low) return "at least " + number_text(*low, hex);
  return "";
}

}  // namespace quorlen_tool
