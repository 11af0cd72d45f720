// diff names exactly what was changed: a file against itself is the same,
// and against a copy edited at random (camera fields, entries removed,
// added and changed, a control's default) the diff reports those edits and
// no others, and its entries are a shortest edit script.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "diff/record_diff.h"
#include "fuzz_support.h"
#include "input/load.h"
#include "quorlen_core.h"

namespace {

using namespace quorlen_tool;
using quorlen_fuzz::check;

// An entry no parse of the input gives: 16 values, the first out of reach
// of what the input holds.
void planted(entry_list& list, std::uint32_t type, std::int32_t mark,
             std::int32_t k) {
  std::int32_t values[QUORLEN_MAX_VALUES] = {mark, k};
  list.add(type, values, QUORLEN_MAX_VALUES, 0);
}

std::string key_of(const entry_list& list, std::size_t i) {
  std::string key = std::to_string(list.type(i)) + ":";
  for (unsigned v = 0; v < list.count(i); ++v) {
    key += std::to_string(list.values(i)[v]) + ",";
  }
  return key;
}

struct plan {
  std::vector<std::string> removed, added;  // what the edits took and put
  std::vector<std::string> camera;          // fields changed
};

// B's entries: A's, with some removed, some changed and some added.
entry_list edited(const entry_list& a, std::mt19937& random, plan& p,
                  std::int32_t mark) {
  entry_list b;
  std::int32_t k = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const unsigned roll = random() % 8;
    if (roll == 0 || roll == 1) p.removed.push_back(key_of(a, i));
    if (roll == 1 || roll == 2) {
      planted(b, a.type(i), mark, k++);
      p.added.push_back(key_of(b, b.size() - 1));
    }
    if (roll != 0 && roll != 1) b.add(a.type(i), a.values(i), a.count(i), 0);
  }
  return b;
}

// B's camera fields: some numbers changed.
void edit_camera(camera_setup& b, std::mt19937& random, plan& p) {
  for (const quorlen::field* f = quorlen::fields; f->key != nullptr; ++f) {
    if (f->family != quorlen::CAMERA_SECTION ||
        f->kind == quorlen::field_kind::text || random() % 4 != 0) {
      continue;
    }
    const std::int64_t before = quorlen::field_number(&b, *f);
    quorlen::set_field_number(&b, *f, before == 0 ? 1 : 0);
    std::string name = f->member;
    for (char& c : name) c = static_cast<char>(std::toupper(c));
    p.camera.push_back(name);
  }
}

void check_entries(const record_diff& diff, const loaded_file& a,
                   const loaded_file& b, plan& p) {
  std::vector<std::string> removed, added;
  for (const section_changes& s : diff.sections) {
    for (const entry_change& c : s.changes) {
      if (c.kind != change_kind::added)
        removed.push_back(key_of(a.entries, c.a));
      if (c.kind != change_kind::removed)
        added.push_back(key_of(b.entries, c.b));
    }
  }
  for (auto* list : {&removed, &added, &p.removed, &p.added}) {
    std::sort(list->begin(), list->end());
  }
  check(removed == p.removed, "diff removes other entries than were removed");
  check(added == p.added, "diff adds other entries than were added");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  loaded_file a, same, b;
  load(bytes, entries_go::list, a);
  load(bytes, entries_go::list, same);
  check(diff_files(a, same).same(), "a file differs from itself");

  load(bytes, entries_go::list, b);
  std::int32_t mark = INT32_MIN;  // below every value the input holds
  for (std::size_t i = 0; i < a.entries.size(); ++i) {
    for (unsigned v = 0; v < a.entries.count(i); ++v) {
      mark = std::max(mark, a.entries.values(i)[v]);
    }
  }
  if (mark == INT32_MAX) return 0;  // no value is out of the input's reach
  std::seed_seq seed(bytes.begin(), bytes.end());
  std::mt19937 random(seed);
  plan p;
  b.entries = edited(a.entries, random, p, mark + 1);
  edit_camera(b.record, random, p);
  const bool has_control = b.record.control_count > 0;
  if (has_control) b.record.controls[0].def ^= 1;

  const record_diff diff = diff_files(a, b);
  std::vector<std::string> camera;
  for (const field_change& f : diff.camera) camera.push_back(f.name);
  check(camera == p.camera, "diff names other camera fields than changed");
  check_entries(diff, a, b, p);
  check(diff.controls.size() == (has_control ? 1u : 0u) &&
            (!has_control || (diff.controls[0].kind == change_kind::changed &&
                              diff.controls[0].fields.size() == 1 &&
                              diff.controls[0].fields[0].name == "DEF")),
        "diff names another control change than the one made");
  return 0;
}
