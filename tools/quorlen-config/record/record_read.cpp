// The strict reading of a json document, event by event, so that a document
// of any size needs memory for its record and not for a tree of it.
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "input/diagnostics.h"
#include "quorlen_core.h"
#include "record/document_shape.h"
#include "record/record_build.h"
#include "record/record_json.h"
#include "record/record_text.h"

namespace quorlen_tool {

namespace {

using json = nlohmann::json;
using quorlen::field;

// An object or array being read, with what has been read of it.  Frames
// are kept and reused, so that reading an entry allocates nothing.
struct frame : object_read {
  int slot_above;     // the member of the object above that holds it, or -1
  std::size_t index;  // its place in the list above
  int pending;        // objects: the member whose value comes next
  std::size_t items;  // lists
};

class reader : public json::json_sax_t {
 public:
  reader(camera_setup& record, entry_list& entries)
      : builder_(record, entries) {}

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
    builder_.done();
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

  record_builder builder_;
  std::vector<frame> frames_;
  std::size_t depth_ = 0;
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
  const std::optional<refusal> refused = builder_.finish(f);
  if (refused) return refuse(member(f, refused->slot), refused->why);
  --depth_;
  return true;
}

}  // namespace

void read_document(std::string_view text, camera_setup& record,
                   entry_list& entries) {
  reader sax(record, entries);
  json::sax_parse(text.begin(), text.end(), &sax);
  sax.done();
}

}  // namespace quorlen_tool
