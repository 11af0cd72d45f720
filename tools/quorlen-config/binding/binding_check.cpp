// Checking a record against a binding: the document it sees, the entries
// one at a time with their verdicts kept, and valijson's errors told as
// violations with the binding's own words.
#include <valijson/adapters/nlohmann_json_adapter.hpp>
#include <valijson/validator.hpp>

#include "binding/binding_internal.h"
#include "input/entry_list.h"
#include "input/field_range.h"
#include "record/record_json.h"

namespace quorlen_tool {

namespace {

using nlohmann::json;

bool is_index(const std::string& t) {
  return !t.empty() && t.find_first_not_of("0123456789") == std::string::npos;
}

// The schemas of a binding that speak of the value at path, through its
// properties, items, combinators (not 'not' nor 'if') and local $refs.
void schemas_at(const json& schema, const json& root,
                const std::vector<std::string>& path, std::size_t i, int depth,
                std::vector<const json*>& out) {
  if (!schema.is_object() || depth > BINDING_MAX_DEPTH) return;
  if (schema.contains("$ref") && schema["$ref"].is_string()) {
    const std::string ref = schema["$ref"];
    if (ref.rfind("#/definitions/", 0) == 0 && root.contains("definitions")) {
      const json& defs = root["definitions"];
      auto it = defs.find(ref.substr(14));
      if (it != defs.end()) schemas_at(*it, root, path, i, depth + 1, out);
    }
  }
  for (const char* many : {"allOf", "anyOf", "oneOf"}) {
    auto it = schema.find(many);
    if (it == schema.end() || !it->is_array()) continue;
    for (const json& s : *it) schemas_at(s, root, path, i, depth + 1, out);
  }
  for (const char* one : {"then", "else"}) {
    auto it = schema.find(one);
    if (it != schema.end()) schemas_at(*it, root, path, i, depth + 1, out);
  }
  if (i == path.size()) {
    out.push_back(&schema);
    return;
  }
  const std::string& t = path[i];
  auto props = schema.find("properties");
  if (props != schema.end() && props->is_object() && props->contains(t)) {
    schemas_at((*props)[t], root, path, i + 1, depth + 1, out);
  }
  auto items = schema.find("items");
  if (is_index(t) && items != schema.end()) {
    const std::size_t index = std::stoul(t);
    if (items->is_object()) {
      schemas_at(*items, root, path, i + 1, depth + 1, out);
    } else if (items->is_array() && index < items->size()) {
      schemas_at((*items)[index], root, path, i + 1, depth + 1, out);
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

std::string description_at(const json& schema, const json& root,
                           std::vector<std::string> path) {
  for (;;) {
    std::vector<const json*> nodes;
    schemas_at(schema, root, path, 0, 0, nodes);
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
                                     const json& schema, const json& root) {
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
    schemas_at(schema, root, v.path, 0, 0, nodes);
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
    v.description = description_at(schema, root, v.path);
    out.push_back(std::move(v));
  }
  return out;
}

json entry_json(const register_entry& e) {
  const std::uint32_t section = e.entry_type & 0xFFFF0000u;
  const std::uint32_t key = e.entry_type & 0xFFFFu;
  json out = json::object();
  const char* s = section_name(section);
  const char* k = register_key_name(key);
  out["section"] = s != nullptr ? json(s) : json();
  out["key"] = k != nullptr ? json(k) : json();
  out["section_code"] = section;
  out["key_code"] = key;
  out["type"] = e.entry_type;
  json values = json::array();
  const unsigned count = e.value_count < QUORLEN_MAX_VALUES
                             ? e.value_count
                             : unsigned{QUORLEN_MAX_VALUES};
  for (unsigned i = 0; i < count; ++i) values.push_back(e.values[i]);
  out["values"] = std::move(values);
  return out;
}

std::vector<violation> check(const valijson::Schema& schema, const json& doc,
                             const json& words, const json& root) {
  valijson::Validator validator;
  valijson::ValidationResults results;
  json holder;
  valijson::adapters::NlohmannJsonAdapter target(valid_utf8(doc, holder));
  if (validator.validate(schema, target, &results)) return {};
  return violations_of(results, words, root);
}

constexpr std::size_t CACHE_ROOM = 4096;

// A quick verdict on an entry for the keywords bindings use on entries,
// without making its JSON: pass, fail, or unknown for a keyword it does not
// take (then valijson decides, as it does on a fail, to say why).
enum class verdict { pass, fail, unknown };

struct entry_value {
  enum { null, text, number, list, object } kind;
  const char* s = nullptr;
  std::int64_t n = 0;
  const std::int32_t* values = nullptr;
  unsigned count = 0;
};

verdict all(verdict a, verdict b) {
  if (a == verdict::unknown || b == verdict::unknown) return verdict::unknown;
  return a == verdict::pass && b == verdict::pass ? verdict::pass
                                                  : verdict::fail;
}

enum class word {
  skip,
  if_,
  ref,
  all_of,
  any_of,
  one_of,
  not_,
  const_,
  enum_,
  limit,
  type,
  properties,
  min_items,
  max_items,
  items,
  additional_items,
  unknown
};

word word_of(const std::string& k) {
  static const std::pair<const char*, word> table[] = {
      {"description", word::skip},
      {"title", word::skip},
      {"$comment", word::skip},
      {"then", word::skip},
      {"else", word::skip},
      {"definitions", word::skip},
      {"if", word::if_},
      {"$ref", word::ref},
      {"allOf", word::all_of},
      {"anyOf", word::any_of},
      {"oneOf", word::one_of},
      {"not", word::not_},
      {"const", word::const_},
      {"enum", word::enum_},
      {"minimum", word::limit},
      {"maximum", word::limit},
      {"exclusiveMinimum", word::limit},
      {"exclusiveMaximum", word::limit},
      {"type", word::type},
      {"properties", word::properties},
      {"minItems", word::min_items},
      {"maxItems", word::max_items},
      {"items", word::items},
      {"additionalItems", word::additional_items},
  };
  for (const auto& [name, w] : table) {
    if (k == name) return w;
  }
  return word::unknown;
}

// A schema's keywords, named once.
struct schema_words {
  std::vector<std::tuple<word, const std::string*, const json*>> words;
};

struct quick {
  const json& root;
  const register_entry& e;
  unsigned count;
  std::unordered_map<const json*, schema_words>& known;

  const schema_words& words_of(const json& schema) const {
    auto it = known.find(&schema);
    if (it != known.end()) return it->second;
    schema_words w;
    for (auto k = schema.begin(); k != schema.end(); ++k) {
      w.words.emplace_back(word_of(k.key()), &k.key(), &*k);
    }
    return known[&schema] = std::move(w);
  }

  entry_value member(const std::string& name) const {
    entry_value v{entry_value::number};
    const std::uint32_t section = e.entry_type & 0xFFFF0000u;
    const std::uint32_t key = e.entry_type & 0xFFFFu;
    if (name == "section" || name == "key") {
      v.s = name == "section" ? section_name(section) : register_key_name(key);
      v.kind = v.s != nullptr ? entry_value::text : entry_value::null;
    } else if (name == "section_code") {
      v.n = section;
    } else if (name == "key_code") {
      v.n = key;
    } else if (name == "type") {
      v.n = e.entry_type;
    } else if (name == "values") {
      v.kind = entry_value::list;
      v.values = e.values;
      v.count = count;
    } else {
      v.kind = entry_value::null;
      v.s = "";  // absent
    }
    return v;
  }

  static bool equal(const json& want, const entry_value& v, bool* known) {
    if (want.is_number_integer() && v.kind == entry_value::number) {
      return want.get<std::int64_t>() == v.n;
    }
    if (want.is_string() && v.kind == entry_value::text) return want == v.s;
    if (want.is_null()) return v.kind == entry_value::null;
    if (want.is_number_float() || want.is_array() || want.is_object() ||
        v.kind == entry_value::list) {
      *known = false;
    }
    return false;
  }

  verdict check(const json& schema, const entry_value& v, int depth) const {
    if (schema.is_boolean()) {
      return schema.get<bool>() ? verdict::pass : verdict::fail;
    }
    if (!schema.is_object() || depth > BINDING_MAX_DEPTH) {
      return verdict::unknown;
    }
    verdict out = verdict::pass;
    for (const auto& [w, k, x] : words_of(schema).words) {
      if (w == word::skip) continue;
      if (w == word::unknown) return verdict::unknown;
      out = all(out, keyword(w, *k, *x, schema, v, depth));
      if (out == verdict::unknown) return out;
    }
    return out;
  }

  verdict number_limit(const std::string& k, const json& limit,
                       const entry_value& v) const {
    if (v.kind != entry_value::number) return verdict::pass;
    if (!limit.is_number()) return verdict::unknown;
    const double n = static_cast<double>(v.n);
    const double l = limit.get<double>();
    const bool ok = k == "minimum"            ? n >= l
                    : k == "maximum"          ? n <= l
                    : k == "exclusiveMinimum" ? n > l
                                              : n < l;
    return ok ? verdict::pass : verdict::fail;
  }

  verdict keyword(word w, const std::string& k, const json& x,
                  const json& schema, const entry_value& v, int depth) const {
    if (w == word::if_) {
      const verdict c = check(x, v, depth + 1);
      if (c == verdict::unknown) return c;
      const char* branch = c == verdict::pass ? "then" : "else";
      return schema.contains(branch) ? check(schema[branch], v, depth + 1)
                                     : verdict::pass;
    }
    if (w == word::ref) {
      const std::string ref = x.is_string() ? x.get<std::string>() : "";
      if (ref.rfind("#/definitions/", 0) != 0 ||
          !root.contains("definitions")) {
        return verdict::unknown;
      }
      auto it = root["definitions"].find(ref.substr(14));
      if (it == root["definitions"].end()) return verdict::unknown;
      return check(*it, v, depth + 1);
    }
    if (w == word::all_of || w == word::any_of || w == word::one_of) {
      unsigned passed = 0;
      for (const json& s : x) {
        const verdict c = check(s, v, depth + 1);
        if (c == verdict::unknown) return c;
        passed += c == verdict::pass ? 1 : 0;
      }
      const bool ok = w == word::all_of   ? passed == x.size()
                      : w == word::any_of ? passed > 0
                                          : passed == 1;
      return ok ? verdict::pass : verdict::fail;
    }
    if (w == word::not_) {
      const verdict c = check(x, v, depth + 1);
      if (c == verdict::unknown) return c;
      return c == verdict::pass ? verdict::fail : verdict::pass;
    }
    if (w == word::const_ || w == word::enum_) {
      bool sure = true;
      bool found = false;
      if (w == word::const_) {
        found = equal(x, v, &sure);
      } else {
        for (const json& one : x) found = found || equal(one, v, &sure);
      }
      if (found) return verdict::pass;
      return sure ? verdict::fail : verdict::unknown;
    }
    if (w == word::limit) return number_limit(k, x, v);
    if (w == word::type) {
      if (!x.is_string()) return verdict::unknown;
      const std::string t = x;
      const bool ok = (t == "integer" || t == "number")
                          ? v.kind == entry_value::number
                      : t == "string" ? v.kind == entry_value::text
                      : t == "null"   ? v.kind == entry_value::null
                      : t == "array"  ? v.kind == entry_value::list
                      : t == "object" ? v.kind == entry_value::object
                                      : false;
      return ok ? verdict::pass : verdict::fail;
    }
    if (w == word::properties) {
      if (!x.is_object()) return verdict::unknown;
      if (v.kind != entry_value::object) return verdict::pass;
      verdict out = verdict::pass;
      for (const auto& [w2, name, s2] : words_of(x).words) {
        (void)w2;
        const entry_value m = member(*name);
        if (m.kind == entry_value::null && m.s != nullptr && *m.s == '\0') {
          continue;  // no such member
        }
        out = all(out, check(*s2, m, depth + 1));
      }
      return out;
    }
    if (v.kind != entry_value::list) return verdict::pass;
    if (w == word::min_items || w == word::max_items) {
      if (!x.is_number_integer()) return verdict::unknown;
      const auto n = x.get<std::int64_t>();
      const bool ok = w == word::min_items ? v.count >= n : v.count <= n;
      return ok ? verdict::pass : verdict::fail;
    }
    {
      const json* items = schema.contains("items") ? &schema["items"] : nullptr;
      verdict out = verdict::pass;
      for (unsigned i = 0; i < v.count; ++i) {
        entry_value item{entry_value::number};
        item.n = v.values[i];
        const json* s = nullptr;
        if (w == word::items) {
          if (x.is_object() || x.is_boolean()) {
            s = &x;
          } else if (x.is_array() && i < x.size()) {
            s = &x[i];
          }
        } else if (items != nullptr && items->is_array() &&
                   i >= items->size()) {
          s = &x;
        }
        if (s != nullptr) out = all(out, check(*s, item, depth + 1));
      }
      return out;
    }
  }
};

}  // namespace

struct binding_checker::cache {
  std::unordered_map<const json*, schema_words> words;
  std::unordered_map<std::string, std::vector<violation>> verdicts;
  std::vector<violation> none;
};

binding_checker::binding_checker(const binding& b)
    : binding_(b), cache_(std::make_unique<cache>()) {}
binding_checker::~binding_checker() = default;

const std::vector<violation>& binding_checker::entry(const register_entry& e) {
  if (binding_.checks->entry == nullptr) return cache_->none;
  const unsigned count = e.value_count < QUORLEN_MAX_VALUES
                             ? e.value_count
                             : unsigned{QUORLEN_MAX_VALUES};
  const json& items = binding_.schema["properties"]["entries"]["items"];
  const quick fast{binding_.schema, e, count, cache_->words};
  if (fast.check(items, entry_value{entry_value::object}, 0) == verdict::pass) {
    return cache_->none;
  }
  std::string key(reinterpret_cast<const char*>(&e.entry_type),
                  sizeof e.entry_type);
  key.append(reinterpret_cast<const char*>(e.values),
             count * sizeof e.values[0]);
  auto it = cache_->verdicts.find(key);
  if (it != cache_->verdicts.end()) return it->second;
  if (cache_->verdicts.size() >= CACHE_ROOM) cache_->verdicts.clear();
  return cache_->verdicts[key] = check(*binding_.checks->entry, entry_json(e),
                                       items, binding_.schema);
}

std::vector<violation> binding_checker::document(const json& doc) const {
  return check(*binding_.checks->whole, doc, binding_.schema, binding_.schema);
}

bool binding_checker::selects(const json& doc) const {
  valijson::Validator validator;
  json holder;
  valijson::adapters::NlohmannJsonAdapter target(valid_utf8(doc, holder));
  return validator.validate(*binding_.checks->select, target, nullptr);
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
  schemas_at(b.schema, b.schema, path, 0, 0, nodes);
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

}  // namespace quorlen_tool
