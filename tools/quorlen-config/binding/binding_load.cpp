// Reading a binding: YAML (or JSON, which YAML reads too) into JSON with the
// line of every value, bounded in size, depth and aliases; its $refs
// followed to files beside it only, never round in a circle; then checked
// against the meta-schema and compiled.
#include <dirent.h>
#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <valijson/adapters/nlohmann_json_adapter.hpp>
#include <valijson/schema.hpp>
#include <valijson/schema_parser.hpp>
#include <valijson/validator.hpp>

#include "binding/binding_internal.h"
#include "input/diagnostics.h"

namespace quorlen_tool {

namespace {

using nlohmann::json;

[[noreturn]] void refuse(const std::string& path, int line,
                         const std::string& why) {
  throw binding_error(escape_text(path) + ":" + std::to_string(line) +
                      ": error: " + why);
}

std::string pointer_token(const std::string& name) {
  std::string out;
  for (char c : name) {
    if (c == '~') {
      out += "~0";
    } else if (c == '/') {
      out += "~1";
    } else {
      out += c;
    }
  }
  return out;
}

bool all_of_class(const std::string& s, std::size_t from, const char* chars) {
  if (from >= s.size()) return false;
  return s.find_first_not_of(chars, from) == std::string::npos;
}

// A plain scalar as YAML 1.2's core schema reads it.
json plain_scalar(const std::string& s) {
  if (s.empty() || s == "~" || s == "null" || s == "Null" || s == "NULL") {
    return nullptr;
  }
  if (s == "true" || s == "True" || s == "TRUE") return true;
  if (s == "false" || s == "False" || s == "FALSE") return false;
  const std::size_t sign = (s[0] == '-' || s[0] == '+') ? 1 : 0;
  int base = 0;
  std::size_t digits = sign;
  if (all_of_class(s, sign, "0123456789")) {
    base = 10;
  } else if (sign == 0 && s.rfind("0x", 0) == 0 &&
             all_of_class(s, 2, "0123456789abcdefABCDEF")) {
    base = 16;
    digits = 2;
  } else if (sign == 0 && s.rfind("0o", 0) == 0 &&
             all_of_class(s, 2, "01234567")) {
    base = 8;
    digits = 2;
  }
  if (base != 0) {
    errno = 0;
    const std::string body = s.substr(digits);
    const unsigned long long v = std::strtoull(body.c_str(), nullptr, base);
    if (errno == 0) {
      if (sign == 1 && s[0] == '-') {
        if (v <= 9223372036854775808ull) {
          return v == 9223372036854775808ull
                     ? json(INT64_MIN)
                     : json(-static_cast<std::int64_t>(v));
        }
      } else if (v <= static_cast<unsigned long long>(INT64_MAX)) {
        return json(static_cast<std::int64_t>(v));
      } else {
        return json(static_cast<std::uint64_t>(v));
      }
    }
    return json(std::strtod(s.c_str(), nullptr));
  }
  char* end = nullptr;
  const double d = std::strtod(s.c_str(), &end);
  if (end == s.c_str() + s.size() &&
      s.find_first_of("0123456789") != std::string::npos &&
      s.find_first_of("xXnNiIpP") == std::string::npos) {
    return d;
  }
  return s;
}

struct converter {
  const std::string& path;
  std::unordered_map<std::string, int>& lines;
  std::size_t nodes = 0;

  json convert(const YAML::Node& node, const std::string& pointer, int depth) {
    const int line = node.Mark().line + 1;
    if (++nodes > BINDING_MAX_NODES) {
      refuse(path, line,
             "the binding holds more than " +
                 std::to_string(BINDING_MAX_NODES) +
                 " values (YAML aliases counted each time they are used)");
    }
    if (depth > BINDING_MAX_DEPTH) {
      refuse(path, line,
             "the binding nests deeper than " +
                 std::to_string(BINDING_MAX_DEPTH) + " levels");
    }
    if (node.Mark().line >= 0) lines.emplace(pointer, line);
    switch (node.Type()) {
    case YAML::NodeType::Null:
    case YAML::NodeType::Undefined: return nullptr;
    case YAML::NodeType::Scalar: {
      const std::string& tag = node.Tag();
      if (tag == "!" || tag == "tag:yaml.org,2002:str") return node.Scalar();
      if (tag != "?" && !tag.empty()) {
        refuse(path, line, "a YAML tag is not taken here");
      }
      return plain_scalar(node.Scalar());
    }
    case YAML::NodeType::Sequence: {
      json out = json::array();
      std::size_t i = 0;
      for (const YAML::Node& item : node) {
        out.push_back(
            convert(item, pointer + "/" + std::to_string(i++), depth + 1));
      }
      return out;
    }
    case YAML::NodeType::Map: {
      json out = json::object();
      for (const auto& member : node) {
        const int key_line = member.first.Mark().line + 1;
        if (!member.first.IsScalar()) {
          refuse(path, key_line, "a key must be a plain name");
        }
        const std::string& name = member.first.Scalar();
        if (out.contains(name)) {
          refuse(path, key_line, "'" + escape_text(name) + "' is given twice");
        }
        const std::string at = pointer + "/" + pointer_token(name);
        out[name] = convert(member.second, at, depth + 1);
        lines[at] = key_line;
      }
      return out;
    }
    }
    return nullptr;
  }
};

// Brackets nested deeper than a binding ever needs are refused before the
// YAML reader recurses into them.
bool nests_too_deep(const std::string& text) {
  int depth = 0;
  for (char c : text) {
    if (c == '[' || c == '{') {
      if (++depth > 4 * BINDING_MAX_DEPTH) return true;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return false;
}

std::string folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string base_name(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A $ref split into its file (empty: this one) and its JSON pointer.
std::pair<std::string, std::string> split_ref(const std::string& ref) {
  const std::size_t hash = ref.find('#');
  if (hash == std::string::npos) return {ref, ""};
  return {ref.substr(0, hash), ref.substr(hash + 1)};
}

const json& meta_schema_json() {
  static const json meta = json::parse(meta_schema_text);
  return meta;
}

const valijson::Schema& meta_schema() {
  static const valijson::Schema* schema = [] {
    auto* s = new valijson::Schema;
    valijson::SchemaParser parser(valijson::SchemaParser::kDraft7);
    valijson::adapters::NlohmannJsonAdapter adapter(meta_schema_json());
    parser.populateSchema(adapter, *s);
    return s;
  }();
  return *schema;
}

// "/a/b/0" for valijson's context ["<root>", "[a]", "[b]", "[0]"].
std::string pointer_of(const std::vector<std::string>& context) {
  std::string out;
  for (const std::string& part : tokens_of(context)) {
    out += "/" + pointer_token(part);
  }
  return out;
}

}  // namespace

std::string meta_words(const std::string& pointer,
                       const valijson::ValidationResults::Error& error) {
  const std::string& d = error.description;
  const std::string unknown = "Object contains a property that could not";
  if (d.rfind(unknown, 0) == 0) {
    const std::size_t open = d.rfind(": '");
    const std::string name = open == std::string::npos
                                 ? ""
                                 : d.substr(open + 3, d.size() - open - 5);
    return "'" + escape_text(name) +
           "' is no keyword, nor a field of the document, that a binding "
           "may name at '" +
           escape_text(pointer.empty() ? "/" : pointer) + "'";
  }
  return "'" + escape_text(pointer.empty() ? "/" : pointer) +
         "': " + escape_text(d) +
         " (the meta-schema of bindings refuses it: a value the record "
         "cannot hold, or a keyword out of place)";
}

binding::binding() = default;
binding::~binding() = default;

int binding::line_of(const std::string& pointer) const {
  std::string p = pointer;
  for (;;) {
    auto it = lines.find(p);
    if (it != lines.end()) return it->second;
    const std::size_t slash = p.rfind('/');
    if (slash == std::string::npos) return 1;
    p.resize(slash);
  }
}

json read_yaml(const std::string& path,
               std::unordered_map<std::string, int>& lines) {
  std::ifstream file(path, std::ios::binary);
  if (!file) refuse(path, 1, "the binding cannot be read");
  std::string text;
  text.resize(BINDING_MAX_BYTES + 1);
  file.read(&text[0], static_cast<std::streamsize>(text.size()));
  if (file.bad()) refuse(path, 1, "the binding cannot be read");
  text.resize(static_cast<std::size_t>(file.gcount()));
  if (text.size() > BINDING_MAX_BYTES) {
    refuse(path, 1,
           "not a binding: larger than " + std::to_string(BINDING_MAX_BYTES) +
               " bytes");
  }
  return read_yaml_text(path, text, lines);
}

json read_yaml_text(const std::string& path, const std::string& text,
                    std::unordered_map<std::string, int>& lines) {
  if (nests_too_deep(text)) {
    refuse(path, 1, "not a binding: brackets nested too deep");
  }
  YAML::Node root;
  try {
    root = YAML::Load(text);
    converter c{path, lines};
    return c.convert(root, "", 0);
  } catch (const YAML::Exception& e) {
    // Its own words; some end by quoting the file ("unknown escape
    // character: X"), which is left out.
    const std::string words = e.msg.substr(0, e.msg.find(':'));
    refuse(path, e.mark.line >= 0 ? e.mark.line + 1 : 1,
           "not a binding: not YAML or JSON (" + escape_text(words) + ")");
  }
}

// The $refs below a schema, checked to lead to files beside the binding and
// never round in a circle, and each file read once.
struct ref_walk {
  const std::string& first_path;
  const std::string& folder;
  std::map<std::string, json> files;  // by name; "" is the binding
  std::map<std::string, std::string> paths;
  std::map<std::string, std::size_t> done;  // with its values
  std::set<std::string> open;

  const json& file(const std::string& from, const std::string& name, int line) {
    auto it = files.find(name);
    if (it != files.end()) return it->second;
    if (files.size() > static_cast<std::size_t>(BINDING_MAX_FILES)) {
      refuse(from, line,
             "$ref reaches more than " + std::to_string(BINDING_MAX_FILES) +
                 " files");
    }
    std::string path = folder_of(first_path) + "/" + name;
    std::ifstream beside(path);
    if (!beside && !folder.empty()) path = folder + "/" + name;
    std::unordered_map<std::string, int> lines;
    paths[name] = path;
    return files[name] = read_yaml(path, lines);
  }

  // Returns how many values the schema holds with each $ref counted as
  // what it leads to, every time it is used: valijson follows a $ref each
  // time it meets it, so that is what one check may visit.
  std::size_t walk(const std::string& where, const json& node, int depth,
                   int line) {
    if (depth > BINDING_MAX_DEPTH) {
      refuse(where, line,
             "$ref leads deeper than " + std::to_string(BINDING_MAX_DEPTH) +
                 " levels");
    }
    std::size_t values = 1;
    const auto add = [&values](std::size_t more) {
      values = std::min(values + more, BINDING_MAX_NODES + 1);
    };
    if (node.is_array()) {
      for (const json& item : node) add(walk(where, item, depth, line));
    } else if (node.is_object()) {
      for (auto it = node.begin(); it != node.end(); ++it) {
        if (it.key() == "$ref" && it->is_string()) {
          add(follow(where, it->get<std::string>(), depth, line));
        } else if (it.key() != "examples") {
          add(walk(where, *it, depth, line));
        }
      }
    }
    return values;
  }

  std::size_t follow(const std::string& where, const std::string& ref,
                     int depth, int line) {
    const auto [name, pointer] = split_ref(ref);
    const std::string file_key = name.empty() ? where : name;
    const std::string id = file_key + "#" + pointer;
    auto known = done.find(id);
    if (known != done.end()) return known->second;
    if (open.count(id) != 0) {
      refuse(first_path, line,
             "$ref '" + escape_text(ref) + "' leads back to itself");
    }
    open.insert(id);
    const json& doc = file_key.empty() ? files[""] : file(where, name, line);
    json::json_pointer at;
    try {
      at = json::json_pointer(pointer);
    } catch (const json::exception&) {
      refuse(first_path, line, "$ref '" + escape_text(ref) + "' is no place");
    }
    if (!doc.contains(at)) {
      refuse(first_path, line,
             "$ref '" + escape_text(ref) + "' leads nowhere in its file");
    }
    const std::size_t values = walk(file_key, doc.at(at), depth + 1, line);
    open.erase(id);
    done[id] = values;
    return values;
  }
};

std::unique_ptr<binding> compile_binding(
    const std::string& path, json schema,
    std::unordered_map<std::string, int> lines, const std::string& folder);

// A part of the binding as a schema of its own, with the definitions its
// local $refs name.
// valijson compiles a pattern when it first checks a string with it, and
// throws there, half-way through a file's check: each pattern of a binding
// is compiled once here instead, so that one it cannot read refuses the
// binding.
void check_pattern(const std::string& text, const std::string& pointer,
                   const std::string& path, const binding& b) {
  // valijson reads a pattern as a C string: one with a NUL in it would be
  // compiled cut short there, not as it was checked here.
  if (text.find('\0') != std::string::npos) {
    refuse(path, b.line_of(pointer),
           "a pattern holds a NUL byte at '" + pointer + "'");
  }
  try {
    const std::regex compiled(text);
    (void)compiled;
  } catch (const std::regex_error& e) {
    refuse(path, b.line_of(pointer),
           "'" + escape_text(text) + "' is not a regular expression (" +
               e.what() + ") at '" + pointer + "'");
  }
}

void check_patterns(const json& j, const std::string& pointer,
                    const std::string& path, const binding& b) {
  if (j.is_object()) {
    for (auto it = j.begin(); it != j.end(); ++it) {
      const std::string at = pointer + "/" + pointer_token(it.key());
      if (it.key() == "pattern" && it->is_string()) {
        check_pattern(it->get<std::string>(), at, path, b);
      }
      if (it.key() == "patternProperties" && it->is_object()) {
        for (auto k = it->begin(); k != it->end(); ++k) {
          check_pattern(k.key(), at + "/" + pointer_token(k.key()), path, b);
        }
      }
      check_patterns(*it, at, path, b);
    }
  } else if (j.is_array()) {
    for (std::size_t i = 0; i < j.size(); ++i) {
      check_patterns(j[i], pointer + "/" + std::to_string(i), path, b);
    }
  }
}

std::unique_ptr<valijson::Schema> compile_part(
    const json& part, const json& definitions,
    const std::map<std::string, json>* files) {
  json doc = part;
  if (doc.is_object() && !definitions.is_null()) {
    doc["definitions"] = definitions;
  }
  auto schema = std::make_unique<valijson::Schema>();
  valijson::SchemaParser parser(valijson::SchemaParser::kDraft7);
  valijson::adapters::NlohmannJsonAdapter adapter(doc);
  const auto fetch = [files](const std::string& uri) -> const json* {
    if (files == nullptr) return nullptr;
    auto it = files->find(uri);
    return it != files->end() ? new json(it->second) : nullptr;
  };
  const auto release = [](const json* d) { delete d; };
  parser.populateSchema(adapter, *schema, fetch, release);
  return schema;
}

std::unique_ptr<binding> load_binding(const std::string& path,
                                      const std::string& folder) {
  std::unordered_map<std::string, int> lines;
  json schema = read_yaml(path, lines);
  return compile_binding(path, std::move(schema), std::move(lines), folder);
}

std::unique_ptr<binding> load_binding_text(const std::string& path,
                                           const std::string& text,
                                           const std::string& folder) {
  if (text.size() > BINDING_MAX_BYTES) {
    refuse(path, 1,
           "not a binding: larger than " + std::to_string(BINDING_MAX_BYTES) +
               " bytes");
  }
  std::unordered_map<std::string, int> lines;
  json schema = read_yaml_text(path, text, lines);
  return compile_binding(path, std::move(schema), std::move(lines), folder);
}

std::unique_ptr<binding> compile_binding(
    const std::string& path, json schema,
    std::unordered_map<std::string, int> lines, const std::string& folder) {
  auto b = std::make_unique<binding>();
  b->path = path;
  b->schema = std::move(schema);
  b->lines = std::move(lines);
  const json& s = b->schema;
  // Only a mapping with a select is a binding; anything else is not
  // described, since it may be any file at all.
  if (!s.is_object() || !s.contains("select")) {
    refuse(path, 1,
           "not a binding: a binding is a YAML or JSON mapping with a "
           "'select'");
  }
  valijson::Validator validator;
  valijson::ValidationResults results;
  nlohmann::json holder;
  valijson::adapters::NlohmannJsonAdapter target(valid_utf8(s, holder));
  if (!validator.validate(meta_schema(), target, &results)) {
    // A name out of place says the most, else the deepest error that is
    // not a summary of others.
    valijson::ValidationResults::Error best;
    valijson::ValidationResults::Error error;
    bool unknown = false;
    while (results.popError(error)) {
      const bool name = error.description.rfind("Object contains", 0) == 0;
      if (unknown && !name) continue;
      if (error.description.rfind("Failed to validate", 0) == 0) continue;
      if ((name && !unknown) || error.context.size() > best.context.size()) {
        best = error;
        unknown = unknown || name;
      }
    }
    std::string pointer = pointer_of(best.context);
    const std::string words = meta_words(pointer, best);
    if (unknown) {
      const std::size_t open = best.description.rfind(": '");
      if (open != std::string::npos) {
        pointer += "/" + pointer_token(best.description.substr(
                             open + 3, best.description.size() - open - 5));
      }
    }
    refuse(path, b->line_of(pointer), words);
  }
  check_patterns(s, "", path, *b);
  ref_walk refs{path, folder, {}, {}, {}, {}};
  refs.files[""] = s;
  if (refs.walk("", s, 0, 1) > BINDING_MAX_NODES) {
    refuse(path, 1,
           "not a binding: more than " + std::to_string(BINDING_MAX_NODES) +
               " values, each $ref counted as what it leads to");
  }
  const std::string stem = base_name(path);
  b->name = s.value("name", stem.substr(0, stem.find('.')));
  b->level = s.value("level", "warning");
  if (s.contains("examples")) {
    std::size_t i = 0;
    for (const json& text : s["examples"]) {
      b->examples.push_back({text.get<std::string>(),
                             b->line_of("/examples/" + std::to_string(i++))});
    }
  }
  b->checks = std::make_unique<binding::compiled>();
  const json definitions = s.value("definitions", json());
  json whole = s;
  for (const char* word : {"select", "examples", "name", "level"}) {
    whole.erase(word);
  }
  if (whole.contains("properties") && whole["properties"].is_object()) {
    if (whole["properties"].contains("entries")) {
      b->checks->entry = compile_part(s["properties"]["entries"]["items"],
                                      definitions, &refs.files);
    }
    whole["properties"].erase("entries");
  }
  try {
    b->checks->select = compile_part(s["select"], definitions, &refs.files);
    b->checks->whole = compile_part(whole, definitions, &refs.files);
  } catch (const std::exception& e) {
    refuse(path, 1, "the binding's schema cannot be read");
  }
  return b;
}

std::vector<std::string> binding_files(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    throw binding_error("quorlen-config: " + escape_text(folder) +
                        ": the bindings folder cannot be read");
  }
  std::vector<std::string> out;
  errno = 0;
  while (const dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    for (const char* suffix : {".yaml", ".yml", ".json"}) {
      const std::size_t n = std::strlen(suffix);
      if (name.size() > n && name.compare(name.size() - n, n, suffix) == 0) {
        out.push_back(folder + "/" + name);
      }
    }
  }
  const bool failed = errno != 0;
  closedir(dir);
  if (failed) {
    throw binding_error("quorlen-config: " + escape_text(folder) +
                        ": the bindings folder cannot be read");
  }
  std::sort(out.begin(), out.end());
  return out;
}

namespace {

// The length of the valid UTF-8 sequence at s[i], or 0 for none.
std::size_t sequence_at(const std::string& s, std::size_t i) {
  const auto at = [&](std::size_t k) {
    return static_cast<unsigned char>(s[k]);
  };
  const unsigned char c = at(i);
  if (c < 0x80) return 1;
  std::size_t n = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  if (at(i + 1) < low || at(i + 1) > high) return 0;
  for (std::size_t k = 2; k < n; ++k) {
    if (at(i + k) < 0x80 || at(i + k) > 0xBF) return 0;
  }
  return n;
}

bool is_utf8(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = sequence_at(s, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

bool all_utf8(const nlohmann::json& j) {
  if (j.is_string()) return is_utf8(j.get_ref<const std::string&>());
  if (j.is_object()) {
    for (auto it = j.begin(); it != j.end(); ++it) {
      if (!is_utf8(it.key()) || !all_utf8(*it)) return false;
    }
  } else if (j.is_array()) {
    for (const auto& v : j) {
      if (!all_utf8(v)) return false;
    }
  }
  return true;
}

std::string made_utf8(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = sequence_at(s, i);
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(s, i, n);
      i += n;
    }
  }
  return out;
}

nlohmann::json made_utf8(const nlohmann::json& j) {
  if (j.is_string()) return made_utf8(j.get_ref<const std::string&>());
  if (j.is_object()) {
    nlohmann::json out = nlohmann::json::object();
    for (auto it = j.begin(); it != j.end(); ++it) {
      out[made_utf8(it.key())] = made_utf8(*it);
    }
    return out;
  }
  if (j.is_array()) {
    nlohmann::json out = nlohmann::json::array();
    for (const auto& v : j) out.push_back(made_utf8(v));
    return out;
  }
  return j;
}

}  // namespace

const nlohmann::json& valid_utf8(const nlohmann::json& doc,
                                 nlohmann::json& holder) {
  if (all_utf8(doc)) return doc;
  holder = made_utf8(doc);
  return holder;
}

std::vector<std::string> tokens_of(const std::vector<std::string>& context) {
  std::vector<std::string> out;
  for (std::size_t i = 1; i < context.size(); ++i) {
    std::string part = context[i];
    if (part.size() >= 2 && part.front() == '[' && part.back() == ']') {
      part = part.substr(1, part.size() - 2);
    }
    if (part.size() >= 2 && part.front() == '"' && part.back() == '"') {
      part = part.substr(1, part.size() - 2);
    }
    out.push_back(part);
  }
  return out;
}

}  // namespace quorlen_tool
