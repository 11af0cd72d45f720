// Any input: its first two bytes pick a key, a kind of value and --force;
// the bytes up to the first 0xFF make the value, the rest is the file.
// Whenever set writes: every byte outside the edited line stays as it was;
// the record differs from the one before in the key's members alone, which
// hold what the library stores for the value (exactly the value, without
// --force); the file has the same faulty lines; get shows what set says
// the record holds; and setting the same again changes nothing.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "edit/edit_key.h"
#include "fuzz_support.h"
#include "input/number_reading.h"
#include "lint/lint.h"
#include "quorlen_core.h"
#include "record/record_json.h"

namespace {

using namespace quorlen_fuzz;
using quorlen::field;
using quorlen::field_kind;

struct parsed {
  camera_setup s{};
  std::vector<int> faults = std::vector<int>(8, 0);
  explicit parsed(const std::string& bytes) {
    quorlen::setup_watch context(&s);
    quorlen::parse_observer observer{
        [](void* counts, const quorlen::fault& f) {
          ++(*static_cast<std::vector<int>*>(
              counts))[static_cast<std::size_t>(f.kind)];
        },
        &faults};
    quorlen::parse_bytes(bytes.data(), bytes.size(),
                         quorlen::setup_watch::handle, &context, &observer);
  }
  ~parsed() { quorlen::release_setup(s); }
};

std::vector<const field*> keys() {
  std::vector<const field*> rows;
  for (const field* f = quorlen::fields; f->key != nullptr; ++f) {
    if (f->kind != field_kind::pair_second) rows.push_back(f);
  }
  return rows;
}

std::string name_of(const control_entry& c) {
  return std::string(c.ctrl_name, strnlen(c.ctrl_name, sizeof c.ctrl_name));
}

// A value of the kind asked for, from the bytes given.
std::string make_value(unsigned kind, const std::string& raw) {
  std::int64_t n = 0;
  std::memcpy(&n, raw.data(), std::min(raw.size(), sizeof n));
  const auto small = static_cast<std::int8_t>(raw.empty() ? 0 : raw[0]);
  switch (kind) {
  case 1: return std::to_string(n);
  case 2: return std::to_string(small < 0 ? -small : small);
  case 3:
    return std::to_string(static_cast<std::uint8_t>(small)) + ", " +
           std::to_string(raw.size());
  default: return raw;
  }
}

std::string members(const void* part, const field& f) {
  std::string out(static_cast<const char*>(quorlen::member_of(part, f)),
                  f.size);
  if (f.kind == field_kind::pair_first) {
    out += members(part, (&f)[1]);
  }
  return out;
}

void restore(void* part, const void* from, const field& f) {
  std::memcpy(quorlen::member_of(part, f), quorlen::member_of(from, f), f.size);
  if (f.kind == field_kind::pair_first) restore(part, from, (&f)[1]);
}

// Without --force the record holds the value exactly as written.
void check_as_given(const void* part, const field& f,
                    const std::string& value) {
  const std::int64_t held = quorlen::field_number(part, f);
  switch (f.kind) {
  case field_kind::text:
    check(
        value.size() < f.size &&
            std::strncmp(static_cast<const char*>(quorlen::member_of(part, f)),
                         value.c_str(), f.size) == 0,
        "the text is not held as given");
    return;
  case field_kind::pair_first:
  case field_kind::byte_pair: {
    register_entry list{};
    quorlen::parse_value_list(&list, value.c_str());
    if (f.kind == field_kind::pair_first) {
      check(list.value_count == 2 && held == list.values[0] &&
                quorlen::field_number(part, (&f)[1]) == list.values[1],
            "SIZE is not held as given");
    } else {
      const std::int64_t low = list.value_count == 2 ? list.values[1] : 0;
      check(list.values[0] >= 0 && list.values[0] <= 0xFF && low >= 0 &&
                low <= 0xFF && held == ((list.values[0] << 8) | low),
            "FORMAT is not held as given");
    }
    return;
  }
  default:
    check(quorlen::read_number(value.c_str()).value == held,
          "the number is not held as given");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size < 2) return 0;
  const std::string input(reinterpret_cast<const char*>(data) + 2, size - 2);
  const std::size_t cut = input.find('\xFF');
  const std::string raw = input.substr(0, cut);
  const std::string bytes =
      cut == std::string::npos ? std::string() : input.substr(cut + 1);
  static const std::vector<const field*> rows = keys();
  const field& f = *rows[data[0] % rows.size()];
  const bool force = (data[0] & 0x80) != 0;
  const std::string value = make_value(data[1] & 3u, raw);

  const parsed before(bytes);
  std::string key_text = "camera." + std::string(f.key);
  int control = -1;
  if (f.family == quorlen::CONTROL_SECTION) {
    const std::uint32_t count = before.s.control_count;
    const std::uint32_t pick = (data[1] >> 2) % (count + 1);
    const std::string name =
        pick < count ? name_of(before.s.controls[pick]) : "no such control";
    key_text = "control." + name + "." + f.key;
    for (std::uint32_t i = 0; i < count && control < 0; ++i) {
      if (name_of(before.s.controls[i]) == name) control = static_cast<int>(i);
    }
  }
  quorlen_tool::record_key key;
  std::string why;
  check(quorlen_tool::parse_record_key(key_text, key, why), "a key refused");
  check(
      quorlen_tool::get_value(bytes, key).ok == (!key.control || control >= 0),
      "get finds a control that is not there, or misses one");

  const quorlen_tool::set_outcome set =
      quorlen_tool::set_value(bytes, key, value, force);
  if (!set.ok) return 0;

  // One line replaced, or new lines put between two.
  const auto& change = set.change;
  check(change.begin <= change.end && change.end <= bytes.size(), "range");
  check(bytes.substr(change.begin, change.end - change.begin).find('\n') ==
            std::string::npos,
        "more than one line replaced");
  check(change.begin == 0 || bytes[change.begin - 1] == '\n' ||
            (change.begin == bytes.size() && change.end == change.begin),
        "the edit starts inside a line");
  check(change.end == bytes.size() || bytes[change.end] == '\n' ||
            change.end == change.begin,
        "the edit ends inside a line");
  check(set.bytes == bytes.substr(0, change.begin) + change.text +
                         bytes.substr(change.end),
        "bytes outside the edit changed");

  parsed after(set.bytes);
  check(after.faults == before.faults, "the faulty lines changed");
  check(after.s.control_count == before.s.control_count, "controls changed");
  const void* old_part = control < 0 ? static_cast<const void*>(&before.s)
                                     : &before.s.controls[control];
  void* new_part =
      control < 0 ? static_cast<void*>(&after.s) : &after.s.controls[control];
  // What the library stores for the value, over what the record held.
  camera_setup camera_copy = before.s;
  control_entry control_copy{};
  void* want = &camera_copy;
  if (control >= 0) {
    control_copy = before.s.controls[control];
    want = &control_copy;
  }
  quorlen::store_field(want, f, value.c_str());
  check(members(new_part, f) == members(want, f),
        "the key does not hold what the library stores for the value");
  if (!force) check_as_given(new_part, f, value);
  // A new CTRL_NAME renames the control: it is found by that name now,
  // and is the only one of it unless --force made a second.
  quorlen_tool::record_key renamed = key;
  bool unique = true;
  if (control >= 0 && std::string(f.key) == "CTRL_NAME") {
    renamed.control_name = set.holds;
    int named = 0;
    for (std::uint32_t i = 0; i < after.s.control_count; ++i) {
      named += name_of(after.s.controls[i]) == set.holds;
    }
    unique = named == 1;
    check(force || unique, "set made two controls of one name");
  }
  check(quorlen_tool::get_value(set.bytes, renamed).value == set.holds,
        "get disagrees with what set says the record holds");
  restore(new_part, old_part, f);
  check(same_setup(before.s, after.s), "the record changed elsewhere");

  if (unique) {
    const quorlen_tool::set_outcome again =
        quorlen_tool::set_value(set.bytes, renamed, value, force);
    check(again.ok && again.bytes == set.bytes,
          "setting again changed the file");
  }
  return 0;
}
