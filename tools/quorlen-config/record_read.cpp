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

// An object or array being read, with what has been read of it.  Frames
// are kept and reused, so that reading an entry allocates nothing.
struct frame {
  shape kind;
  int slot_above;     // the member of the object above that holds it, or -1
  std::size_t index;  // its place in the list above
  int pending;        // objects: the member whose value comes next
  std::size_t items;  // lists
  std::vector<char> seen;   // objects: by member
  std::vector<char> given;  // a text given (a code may be null)
  std::vector<std::string> texts;
  std::vector<std::int64_t> numbers;
  std::vector<std::int32_t> values;  // an entry's
};

class reader : public json::json_sax_t {
 public:
  reader(camera_setup& record, entry_list& entries)
      : record_(record), entries_(entries) {}

  bool null() override { return scalar(slot_type::code, nullptr); }
  bool boolean(bool) override { return scalar(slot_type::boolean, nullptr); }
  bool number_integer(number_integer_t v) override { return integer(v, false); }
  bool number_unsigned(number_unsigned_t v) override {
    if (v > static_cast<std::uint64_t>(INT64_MAX)) return integer(0, true);
    return integer(static_cast<std::int64_t>(v), false);
  }
  bool number_float(number_float_t, const string_t&) override {
    return refuse(place(), "not a whole number");
  }
  bool string(string_t& text) override {
    return scalar(slot_type::string, &text);
  }
  bool binary(binary_t&) override { return refuse(place(), "not JSON text"); }
  bool start_object(std::size_t) override { return open(slot_type::object); }
  bool end_object() override { return close_object(); }
  bool start_array(std::size_t) override { return open(slot_type::array); }
  bool end_array() override {
    --depth_;
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
  frame& top() { return frames_[depth_ - 1]; }
  const frame& top() const { return frames_[depth_ - 1]; }
  // The path of the frames down to the one given, and where the next value
  // in the last one goes.
  std::string path(std::size_t depth) const;
  std::string place() const;
  std::string member(const frame& f, std::size_t slot) const {
    return path(depth_) + "." + slots_of(f.kind)[slot].name;
  }
  const slot* expected() const;
  bool scalar(slot_type given, const std::string* text);
  bool integer(std::int64_t value, bool beyond);
  bool open(slot_type given);
  bool close_object();
  bool close_camera(frame& f);
  bool close_entry(frame& f);
  bool close_control(frame& f);
  bool fill_texts(frame& f, void* record);
  std::optional<std::string> text_bytes(const std::string& path, const frame& f,
                                        std::size_t slot);
  void controls_done();

  camera_setup& record_;
  entry_list& entries_;
  std::vector<frame> frames_;
  std::size_t depth_ = 0;
  std::vector<control_entry> controls_;
  std::optional<unwritable> error_;
};

std::string reader::path(std::size_t depth) const {
  std::string out = "$";
  for (std::size_t i = 1; i < depth; ++i) {
    const frame& above = frames_[i - 1];
    const frame& f = frames_[i];
    if (f.slot_above >= 0) {
      out += "." +
             slots_of(above.kind)[static_cast<std::size_t>(f.slot_above)].name;
    } else {
      out += "[" + std::to_string(f.index) + "]";
    }
  }
  return out;
}

std::string reader::place() const {
  if (depth_ == 0) return "$";
  const frame& f = top();
  if (f.pending >= 0) return member(f, static_cast<std::size_t>(f.pending));
  if (!f.seen.empty() || f.kind == shape::document) return path(depth_);
  return path(depth_) + "[" + std::to_string(f.items) + "]";
}

// The slot of the next value; for an item of an array, a slot made up.
const slot* reader::expected() const {
  static const slot document{"$", slot_type::object, shape::document};
  static const slot entry{"", slot_type::object, shape::entry};
  static const slot control{"", slot_type::object, shape::control};
  static const slot value{"",   slot_type::integer, shape::none, nullptr,
                          true, INT32_MIN,          INT32_MAX};
  if (depth_ == 0) return &document;
  const frame& f = top();
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
  frame& f = top();
  const std::vector<slot>& slots = slots_of(f.kind);
  for (std::size_t i = 0; i < slots.size(); ++i) {
    if (slots[i].name != name) continue;
    if (f.seen[i]) return refuse(member(f, i), "given twice");
    f.seen[i] = true;
    f.pending = static_cast<int>(i);
    return true;
  }
  return refuse(path(depth_) + "." + escape_text(name), "unknown field");
}

// A text, a truth value or a null where the slot takes one.
bool reader::scalar(slot_type given, const std::string* text) {
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
  frame& f = top();
  if (f.pending >= 0) {
    const auto slot = static_cast<std::size_t>(f.pending);
    if (text != nullptr) f.texts[slot] = *text;
    f.given[slot] = text != nullptr;
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
  frame& f = top();
  if (f.kind == shape::values) {
    if (f.items == QUORLEN_MAX_VALUES) {
      return refuse(path(depth_),
                    "more than 16 values; an entry holds at most 16");
    }
    ++f.items;
    frames_[depth_ - 2].values.push_back(static_cast<std::int32_t>(value));
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
  int slot_above = -1;
  std::size_t index = 0;
  if (depth_ > 0) {
    frame& outer = top();
    slot_above = outer.pending;
    index = outer.items++;
    outer.pending = -1;
  }
  if (depth_ == frames_.size()) frames_.emplace_back();
  frame& f = frames_[depth_++];
  f.kind = s->inner;
  f.slot_above = slot_above;
  f.index = index;
  f.pending = -1;
  f.items = 0;
  const std::size_t count = slots_of(f.kind).size();
  f.seen.assign(count, 0);
  f.given.assign(count, 0);
  if (f.texts.size() < count) f.texts.resize(count);
  f.numbers.assign(count, 0);
  f.values.clear();
  return true;
}

bool reader::close_object() {
  frame& f = top();
  const std::vector<slot>& slots = slots_of(f.kind);
  for (std::size_t i = 0; i < slots.size(); ++i) {
    if (slots[i].required && !f.seen[i]) return refuse(member(f, i), "missing");
  }
  bool ok = true;
  if (f.kind == shape::camera) ok = close_camera(f);
  if (f.kind == shape::entry) ok = close_entry(f);
  if (f.kind == shape::control) ok = close_control(f);
  --depth_;
  return ok;
}

// A text member's bytes, from the member after it (NAME_hex) when given.
std::optional<std::string> reader::text_bytes(const std::string& path,
                                              const frame& f,
                                              std::size_t slot) {
  std::optional<std::string> hex;
  if (f.seen[slot + 1]) hex = f.texts[slot + 1];
  const char* why = nullptr;
  std::optional<std::string> bytes = bytes_of(f.texts[slot], hex, &why);
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
    const std::string path = member(f, i);
    const auto bytes = text_bytes(path, f, i);
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
  const std::string& section = f.texts[0];
  const std::string& key = f.texts[1];
  const std::uint32_t section_code =
      quorlen::lookup_code(quorlen::section_codes, section.c_str());
  const std::uint32_t key_code =
      quorlen::lookup_code(quorlen::register_key_codes, key.c_str());
  const auto given = [&](std::size_t i) {
    return static_cast<std::uint32_t>(f.numbers[i]);
  };
  if (!register_family(section_code)) {
    return refuse(member(f, 0), "'" + escape_text(section) +
                                    "' is no board or register section");
  }
  if (key_code == 0) {
    return refuse(member(f, 1),
                  "'" + escape_text(key) + "' is no register key");
  }
  const std::uint32_t type = section_code | key_code;
  const std::uint32_t wanted[] = {section_code, key_code, type};
  const char* const meaning[] = {"the code of the section",
                                 "the code of the key",
                                 "section_code | key_code"};
  for (std::size_t i = 0; i < 3; ++i) {
    if (given(i + 2) != wanted[i]) {
      return refuse(member(f, i + 2), std::to_string(given(i + 2)) +
                                          " is not " + meaning[i] + " (" +
                                          std::to_string(wanted[i]) + ")");
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
  if (f.given[code]) {
    const auto bytes = text_bytes(member(f, code), f, code);
    if (!bytes) return false;
    if (bytes->find('\0') != std::string::npos) {
      return refuse(member(f, code), "a NUL byte cannot stand in a text");
    }
    controls_.push_back(c);
    auto* text = static_cast<char*>(std::malloc(bytes->size() + 1));
    if (text == nullptr) throw std::bad_alloc();
    std::memcpy(text, bytes->c_str(), bytes->size() + 1);
    controls_.back().code = text;
  } else if (f.seen[code + 1]) {
    return refuse(member(f, code + 1), "given for a code that is null");
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
