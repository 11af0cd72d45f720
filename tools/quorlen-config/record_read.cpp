// The strict reading of a json document, event by event, so that a document
// of any size needs memory for its record and not for a tree of it.
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "diagnostics.h"
#include "document_shape.h"
#include "record_json.h"
#include "record_text.h"
#include "setup/fields.h"
#include "setup/setup_internal.h"

namespace quorlen_tool {

namespace {

using json = nlohmann::json;
using quorlen::field;

// An object or array being read, with what has been read of it.
struct frame {
  shape kind;
  std::string path;
  std::vector<bool> seen;  // objects: by slot
  int pending = -1;        // objects: the slot whose value comes next
  std::size_t items = 0;   // arrays
  // Texts (and their hex bytes, or null for a code) by slot, and numbers.
  std::vector<std::optional<std::string>> texts;
  std::vector<std::int64_t> numbers;
  std::vector<std::int32_t> values;  // an entry's
};

class reader : public json::json_sax_t {
 public:
  reader(camera_setup& record, entry_list& entries)
      : record_(record), entries_(entries) {}

  bool null() override { return scalar(slot_type::code, std::nullopt); }
  bool boolean(bool) override { return scalar(slot_type::boolean, {}); }
  bool number_integer(number_integer_t v) override { return integer(v, false); }
  bool number_unsigned(number_unsigned_t v) override {
    if (v > static_cast<std::uint64_t>(INT64_MAX)) return integer(0, true);
    return integer(static_cast<std::int64_t>(v), false);
  }
  bool number_float(number_float_t, const string_t&) override {
    return refuse(place(), "not a whole number");
  }
  bool string(string_t& text) override {
    return scalar(slot_type::string, text);
  }
  bool binary(binary_t&) override { return refuse(place(), "not JSON text"); }
  bool start_object(std::size_t) override { return open(slot_type::object); }
  bool end_object() override { return close_object(); }
  bool start_array(std::size_t) override { return open(slot_type::array); }
  bool end_array() override {
    frames_.pop_back();
    return true;
  }
  bool key(string_t& name) override;
  bool parse_error(std::size_t at, const std::string&,
                   const nlohmann::detail::exception& e) override {
    std::string why = e.what();
    why = why.substr(why.find(']') + 2);  // without "[json.exception...] "
    return refuse(place(),
                  "not JSON at byte " + std::to_string(at) + ": " + why);
  }

  void done() {
    if (error_) throw *error_;
    controls_done();
  }
  // The codes of controls not yet in the record.
  void release() {
    for (control_entry& c : controls_) std::free(c.code);
    controls_.clear();
  }

 private:
  bool refuse(const std::string& path, const std::string& why) {
    if (!error_) error_.emplace(path, why);
    return false;
  }
  // Where the next value goes.
  std::string place() const;
  const slot* expected() const;
  bool scalar(slot_type given, const std::optional<std::string>& text);
  bool integer(std::int64_t value, bool beyond);
  bool open(slot_type given);
  bool close_object();
  bool close_camera(frame& f);
  bool close_entry(frame& f);
  bool close_control(frame& f);
  bool fill_texts(frame& f, void* record);
  std::optional<std::string> text_bytes(const std::string& path,
                                        const std::optional<std::string>& text,
                                        const std::optional<std::string>& hex);
  void controls_done();

  camera_setup& record_;
  entry_list& entries_;
  std::vector<frame> frames_;
  std::vector<control_entry> controls_;
  std::optional<unwritable> error_;
};

std::string reader::place() const {
  if (frames_.empty()) return "$";
  const frame& f = frames_.back();
  if (f.pending >= 0) {
    return f.path + "." +
           slots_of(f.kind)[static_cast<std::size_t>(f.pending)].name;
  }
  if (!f.seen.empty() || f.kind == shape::document) return f.path;
  return f.path + "[" + std::to_string(f.items) + "]";
}

// The slot of the next value; for an item of an array, a slot made up.
const slot* reader::expected() const {
  static const slot document{"$", slot_type::object, shape::document};
  static const slot entry{"", slot_type::object, shape::entry};
  static const slot control{"", slot_type::object, shape::control};
  static const slot value{"",   slot_type::integer, shape::none, nullptr,
                          true, INT32_MIN,          INT32_MAX};
  if (frames_.empty()) return &document;
  const frame& f = frames_.back();
  switch (f.kind) {
  case shape::entries: return &entry;
  case shape::controls: return &control;
  case shape::values: return &value;
  default:
    return f.pending >= 0
               ? &slots_of(f.kind)[static_cast<std::size_t>(f.pending)]
               : nullptr;
  }
}

bool reader::key(string_t& name) {
  frame& f = frames_.back();
  const std::vector<slot>& slots = slots_of(f.kind);
  for (std::size_t i = 0; i < slots.size(); ++i) {
    if (slots[i].name != name) continue;
    if (f.seen[i]) return refuse(f.path + "." + name, "given twice");
    f.seen[i] = true;
    f.pending = static_cast<int>(i);
    return true;
  }
  return refuse(f.path + "." + escape_text(name), "unknown field");
}

// A text, a truth value or a null where the slot takes one.
bool reader::scalar(slot_type given, const std::optional<std::string>& text) {
  const slot* s = expected();
  const bool fits =
      s != nullptr && (given == s->type || (given == slot_type::string &&
                                            (s->type == slot_type::text ||
                                             s->type == slot_type::hex ||
                                             s->type == slot_type::code)));
  if (!fits) {
    return refuse(place(), std::string("wrong type: ") +
                               (s != nullptr ? type_name(s->type) : "nothing") +
                               " belongs here");
  }
  frame& f = frames_.back();
  if (f.pending >= 0) {
    f.texts[static_cast<std::size_t>(f.pending)] = text;
    f.pending = -1;
  }
  return true;
}

bool reader::integer(std::int64_t value, bool beyond) {
  const slot* s = expected();
  if (s == nullptr || s->type != slot_type::integer) {
    return refuse(place(), std::string("wrong type: ") +
                               (s != nullptr ? type_name(s->type) : "nothing") +
                               " belongs here");
  }
  if (beyond || value < s->low || value > s->high) {
    return refuse(place(), "beyond what the field holds (" +
                               std::to_string(s->low) + " .. " +
                               std::to_string(s->high) + ")");
  }
  frame& f = frames_.back();
  if (f.kind == shape::values) {
    if (f.items == QUORLEN_MAX_VALUES) {
      return refuse(f.path, "more than 16 values; an entry holds at most 16");
    }
    ++f.items;
    frames_[frames_.size() - 2].values.push_back(
        static_cast<std::int32_t>(value));
    return true;
  }
  f.numbers[static_cast<std::size_t>(f.pending)] = value;
  f.pending = -1;
  return true;
}

bool reader::open(slot_type given) {
  const slot* s = expected();
  if (s == nullptr || s->type != given) {
    return refuse(place(), std::string("wrong type: ") +
                               (s != nullptr ? type_name(s->type) : "nothing") +
                               " belongs here");
  }
  frame f{s->inner, place(), {}, -1, 0, {}, {}, {}};
  if (!frames_.empty()) {
    frame& outer = frames_.back();
    outer.pending = -1;
    ++outer.items;
  }
  const std::size_t count = slots_of(f.kind).size();
  f.seen.assign(count, false);
  f.texts.resize(count);
  f.numbers.assign(count, 0);
  frames_.push_back(std::move(f));
  return true;
}

bool reader::close_object() {
  frame& f = frames_.back();
  const std::vector<slot>& slots = slots_of(f.kind);
  for (std::size_t i = 0; i < slots.size(); ++i) {
    if (slots[i].required && !f.seen[i]) {
      return refuse(f.path + "." + slots[i].name, "missing");
    }
  }
  bool ok = true;
  if (f.kind == shape::camera) ok = close_camera(f);
  if (f.kind == shape::entry) ok = close_entry(f);
  if (f.kind == shape::control) ok = close_control(f);
  frames_.pop_back();
  return ok;
}

std::optional<std::string> reader::text_bytes(
    const std::string& path, const std::optional<std::string>& text,
    const std::optional<std::string>& hex) {
  const char* why = nullptr;
  std::optional<std::string> bytes = bytes_of(*text, hex, &why);
  if (!bytes) refuse(path + "_hex", why);
  return bytes;
}

bool reader::fill_texts(frame& f, void* record) {
  const std::vector<slot>& slots = slots_of(f.kind);
  for (std::size_t i = 0; i < slots.size(); ++i) {
    const slot& s = slots[i];
    if (s.type == slot_type::integer && s.row != nullptr) {
      quorlen::set_field_number(record, *s.row, f.numbers[i]);
    }
    if (s.type != slot_type::text) continue;
    const std::string path = f.path + "." + s.name;
    const auto bytes = text_bytes(path, f.texts[i], f.texts[i + 1]);
    if (!bytes) return false;
    if (bytes->size() > s.row->size - 1) {
      return refuse(
          path, "more than " + std::to_string(s.row->size - 1) + " characters");
    }
    if (bytes->find('\0') != std::string::npos) {
      return refuse(path, "a NUL byte cannot stand in a text");
    }
    auto* member = static_cast<char*>(quorlen::member_of(record, *s.row));
    std::memset(member, 0, s.row->size);
    std::memcpy(member, bytes->data(), bytes->size());
  }
  return true;
}

bool reader::close_camera(frame& f) { return fill_texts(f, &record_); }

// Names and codes must agree: the section, the key, and the type that
// joins their codes.
bool reader::close_entry(frame& f) {
  const std::string& section = *f.texts[0];
  const std::string& key = *f.texts[1];
  const std::uint32_t section_code =
      quorlen::lookup_code(quorlen::section_codes, section.c_str());
  const std::uint32_t key_code =
      quorlen::lookup_code(quorlen::register_key_codes, key.c_str());
  const auto given = [&](std::size_t i) {
    return static_cast<std::uint32_t>(f.numbers[i]);
  };
  if (!register_family(section_code)) {
    return refuse(f.path + ".section", "'" + escape_text(section) +
                                           "' is no board or register section");
  }
  if (key_code == 0) {
    return refuse(f.path + ".key",
                  "'" + escape_text(key) + "' is no register key");
  }
  const std::uint32_t type = section_code | key_code;
  const std::uint32_t wanted[] = {section_code, key_code, type};
  const char* const names[] = {"section_code", "key_code", "type"};
  const char* const meaning[] = {"the code of the section",
                                 "the code of the key",
                                 "section_code | key_code"};
  for (std::size_t i = 0; i < 3; ++i) {
    if (given(i + 2) != wanted[i]) {
      return refuse(f.path + "." + names[i],
                    std::to_string(given(i + 2)) + " is not " + meaning[i] +
                        " (" + std::to_string(wanted[i]) + ")");
    }
  }
  entries_.add(type, f.values.data(), static_cast<unsigned>(f.values.size()),
               0);
  return true;
}

bool reader::close_control(frame& f) {
  control_entry c{};
  if (!fill_texts(f, &c)) return false;
  const std::size_t code = slots_of(f.kind).size() - 2;
  if (f.texts[code]) {
    const auto bytes =
        text_bytes(f.path + ".code", f.texts[code], f.texts[code + 1]);
    if (!bytes) return false;
    if (bytes->find('\0') != std::string::npos) {
      return refuse(f.path + ".code", "a NUL byte cannot stand in a text");
    }
    controls_.push_back(c);
    auto* text = static_cast<char*>(std::malloc(bytes->size() + 1));
    if (text == nullptr) throw std::bad_alloc();
    std::memcpy(text, bytes->c_str(), bytes->size() + 1);
    controls_.back().code = text;
  } else if (f.texts[code + 1]) {
    return refuse(f.path + ".code_hex", "given for a code that is null");
  } else {
    controls_.push_back(c);
  }
  return true;
}

// The controls move into the record in one array.
void reader::controls_done() {
  if (controls_.empty()) return;
  auto* array = static_cast<control_entry*>(
      std::malloc(controls_.size() * sizeof(control_entry)));
  if (array == nullptr) throw std::bad_alloc();
  std::memcpy(array, controls_.data(),
              controls_.size() * sizeof(control_entry));
  record_.controls = array;
  record_.control_count = static_cast<std::uint32_t>(controls_.size());
  controls_.clear();
}

}  // namespace

void read_document(std::string_view text, camera_setup& record,
                   entry_list& entries) {
  reader sax(record, entries);
  try {
    json::sax_parse(text.begin(), text.end(), &sax);
    sax.done();
  } catch (...) {
    sax.release();
    throw;
  }
}

}  // namespace quorlen_tool
