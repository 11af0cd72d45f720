#include "diff/record_diff.h"

#include <algorithm>
#include <unordered_map>

#include "input/myers.h"
#include "lint/lint_context.h"
#include "quorlen_core.h"
#include "record/record_compare.h"

namespace quorlen_tool {

namespace {

using quorlen::field;

shown_value value_of(const void* record, const field& f) {
  if (f.kind == quorlen::field_kind::text) {
    return {shown_value::text, 0, text_of(record, f), false};
  }
  return {shown_value::number, quorlen::field_number(record, f), {}, f.hex};
}

shown_value code_of(const char* code) {
  if (code == nullptr) return {shown_value::none, 0, {}, false};
  return {shown_value::text, 0, code, false};
}

bool operator==(const shown_value& x, const shown_value& y) {
  return x.kind == y.kind && x.n == y.n && x.t == y.t;
}

// The members of one family that differ, named as the table names them.
void fields(const void* a, const void* b, std::uint32_t family,
            std::vector<field_change>& out) {
  for (const field* f = quorlen::fields; f->key != nullptr; ++f) {
    if (f->family != family) continue;
    shown_value x = value_of(a, *f), y = value_of(b, *f);
    if (!(x == y))
      out.push_back({upper(f->member), std::move(x), std::move(y)});
  }
}

// Sections in the order they first occur, in A and then in B.
std::vector<std::uint32_t> sections_of(const entry_list& a,
                                       const entry_list& b) {
  std::vector<std::uint32_t> sections;
  for (const entry_list* list : {&a, &b}) {
    for (std::size_t i = 0; i < list->size(); ++i) {
      const std::uint32_t section = list->type(i) & 0xFFFF0000u;
      bool known = false;
      for (std::uint32_t seen : sections) known = known || seen == section;
      if (!known) sections.push_back(section);
    }
  }
  return sections;
}

std::vector<std::size_t> in_section(const entry_list& list,
                                    std::uint32_t section) {
  std::vector<std::size_t> out;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if ((list.type(i) & 0xFFFF0000u) == section) out.push_back(i);
  }
  return out;
}

// What lies between two common runs: the k-th removed entry and the k-th
// added one are a change, and the rest are removed or added.
void gap(const std::vector<std::size_t>& x, std::size_t x0, std::size_t x1,
         const std::vector<std::size_t>& y, std::size_t y0, std::size_t y1,
         std::vector<entry_change>& out) {
  const auto at = [](std::size_t i) { return static_cast<std::uint32_t>(i); };
  const std::size_t paired = std::min(x1 - x0, y1 - y0);
  for (std::size_t k = 0; k < paired; ++k) {
    out.push_back({change_kind::changed, at(x[x0 + k]), at(y[y0 + k])});
  }
  for (std::size_t i = x0 + paired; i < x1; ++i) {
    out.push_back({change_kind::removed, at(x[i]), 0});
  }
  for (std::size_t j = y0 + paired; j < y1; ++j) {
    out.push_back({change_kind::added, 0, at(y[j])});
  }
}

std::uint64_t hash_of(const entry_list& list, std::size_t i) {
  std::uint64_t h = 14695981039346656037u;  // FNV-1a
  const auto mix = [&](std::uint32_t word) {
    for (int shift = 0; shift < 32; shift += 8) {
      h = (h ^ ((word >> shift) & 0xFFu)) * 1099511628211u;
    }
  };
  mix(list.type(i));
  for (unsigned v = 0; v < list.count(i); ++v) {
    mix(static_cast<std::uint32_t>(list.values(i)[v]));
  }
  return h;
}

// The places in a section (indices into its entries) whose entry may
// occur in the other file's section: one whose hash is not among the
// other's occurs there certainly not, and is an edit whatever else is.
std::vector<std::size_t> in_both(const entry_list& list,
                                 const std::vector<std::size_t>& mine,
                                 const entry_list& other_list,
                                 const std::vector<std::size_t>& other) {
  std::vector<std::uint64_t> theirs;
  theirs.reserve(other.size());
  for (std::size_t i : other) theirs.push_back(hash_of(other_list, i));
  std::sort(theirs.begin(), theirs.end());
  std::vector<std::size_t> kept;
  for (std::size_t place = 0; place < mine.size(); ++place) {
    if (std::binary_search(theirs.begin(), theirs.end(),
                           hash_of(list, mine[place]))) {
      kept.push_back(place);
    }
  }
  return kept;
}

// Entries that occur in one file only are set aside first, as GNU diff
// sets aside lines that occur in one file only: they change nothing of the
// common subsequence, and a rewritten section then costs little.
section_changes section_diff(const entry_list& a, const entry_list& b,
                             std::uint32_t section) {
  const std::vector<std::size_t> x = in_section(a, section);
  const std::vector<std::size_t> y = in_section(b, section);
  const std::vector<std::size_t> xs = in_both(a, x, b, y);
  const std::vector<std::size_t> ys = in_both(b, y, a, x);
  section_changes out{section, {}};
  std::size_t i = 0, j = 0;  // the places up to which all is told
  find_common_runs(
      xs.size(), ys.size(),
      [&](std::size_t p, std::size_t q) {
        return a.same(x[xs[p]], b, y[ys[q]]);
      },
      [&](std::size_t p, std::size_t q, std::size_t length) {
        for (std::size_t k = 0; k < length; ++k) {
          gap(x, i, xs[p + k], y, j, ys[q + k], out.changes);
          i = xs[p + k] + 1;
          j = ys[q + k] + 1;
        }
      });
  gap(x, i, x.size(), y, j, y.size(), out.changes);
  return out;
}

void control_diff(const camera_setup& a, const camera_setup& b,
                  std::vector<control_change>& out) {
  const quorlen::field& name_row =
      *quorlen::find_field(quorlen::CONTROL_SECTION, "CTRL_NAME");
  std::unordered_map<std::string, std::vector<std::size_t>> in_b;
  for (std::size_t j = 0; j < b.control_count; ++j) {
    in_b[text_of(&b.controls[j], name_row)].push_back(j);
  }
  std::unordered_map<std::string, std::size_t> used;
  std::vector<bool> matched(b.control_count, false);
  for (std::size_t i = 0; i < a.control_count; ++i) {
    const control_entry& c = a.controls[i];
    const std::string name = text_of(&c, name_row);
    const std::vector<std::size_t>& list = in_b[name];
    std::size_t& k = used[name];
    if (k == list.size()) {
      out.push_back({change_kind::removed, name, i, 0, {}});
      continue;
    }
    const std::size_t j = list[k++];
    matched[j] = true;
    control_change change{change_kind::changed, name, i, j, {}};
    fields(&c, &b.controls[j], quorlen::CONTROL_SECTION, change.fields);
    if (!same_code(c.code, b.controls[j].code)) {
      change.fields.push_back(
          {"code", code_of(c.code), code_of(b.controls[j].code)});
    }
    if (!change.fields.empty()) out.push_back(std::move(change));
  }
  for (std::size_t j = 0; j < b.control_count; ++j) {
    if (!matched[j]) {
      out.push_back(
          {change_kind::added, text_of(&b.controls[j], name_row), 0, j, {}});
    }
  }
}

}  // namespace

record_diff diff_files(const loaded_file& a, const loaded_file& b) {
  record_diff diff;
  fields(&a.record, &b.record, quorlen::CAMERA_SECTION, diff.camera);
  for (std::uint32_t section : sections_of(a.entries, b.entries)) {
    section_changes changes = section_diff(a.entries, b.entries, section);
    if (!changes.changes.empty()) diff.sections.push_back(std::move(changes));
  }
  control_diff(a.record, b.record, diff.controls);
  return diff;
}

}  // namespace quorlen_tool
