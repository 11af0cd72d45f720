#include "lint/fixes.h"

#include <algorithm>
#include <deque>
#include <map>

#include "record/record_compare.h"

namespace quorlen_tool {

namespace {

// At most this many more lints to find the fixes to leave out; past it the
// fixes not yet known to be sound are left out too.
constexpr int MORE_LINTS = 16;

// A fix's edits in order, or none when they are out of the text or
// overlap one another.
std::vector<edit> ordered(const std::vector<edit>& fix, std::size_t size) {
  std::vector<edit> edits = fix;
  std::stable_sort(
      edits.begin(), edits.end(),
      [](const edit& a, const edit& b) { return a.begin < b.begin; });
  for (std::size_t i = 0; i < edits.size(); ++i) {
    if (edits[i].begin > edits[i].end || edits[i].end > size ||
        (i > 0 && edits[i].begin < edits[i - 1].end)) {
      return {};
    }
  }
  return edits;
}

// The edits applied: where each begins, where it ends and whose it is.
using taken_map = std::map<std::size_t, std::pair<std::size_t, std::size_t>>;

// The edit applied that e overlaps, or none.  Two edits overlap when they
// share a byte, or both insert at one place (which of the two goes first
// would be a guess).
taken_map::const_iterator overlapped(const taken_map& taken, const edit& e) {
  auto next = taken.lower_bound(e.begin);
  if (next != taken.end() && (next->first < e.end || next->first == e.begin)) {
    return next;
  }
  if (next == taken.begin()) return taken.end();
  const auto before = std::prev(next);
  return before->second.first > e.begin ? before : taken.end();
}

using counts = std::map<std::pair<std::string, int>, int>;

void count(counts& into, const finding& f, int step) {
  into[{f.code, f.line}] += step;
}

std::vector<finding> lint_of(const std::string& bytes,
                             const lint_options* options) {
  camera_setup setup{};
  lint_options lean;
  if (options != nullptr) {
    lean.bindings = options->bindings;
    lean.refused = options->refused;
  }
  lean.keep_entries = false;
  try {
    lint_outcome outcome = lint_bytes(bytes, &setup, lean);
    quorlen::release_setup(setup);
    return std::move(outcome.findings);
  } catch (...) {
    quorlen::release_setup(setup);
    throw;
  }
}

}  // namespace

bool every_finding(const finding&) { return true; }

fixed_text apply_fixes(const std::string& bytes,
                       const std::vector<finding>& findings,
                       const finding_filter& chosen) {
  struct planned {
    std::size_t index;
    std::vector<edit> edits;
  };
  std::vector<planned> plan;
  for (std::size_t i = 0; i < findings.size(); ++i) {
    if (findings[i].fix.empty() || !chosen(findings[i])) continue;
    std::vector<edit> edits = ordered(findings[i].fix, bytes.size());
    if (!edits.empty()) plan.push_back({i, std::move(edits)});
  }
  std::stable_sort(plan.begin(), plan.end(),
                   [](const planned& a, const planned& b) {
                     return a.edits[0].begin < b.edits[0].begin;
                   });
  fixed_text out;
  taken_map taken;
  std::vector<const edit*> kept;
  for (const planned& p : plan) {
    auto clash = taken.cend();
    for (const edit& e : p.edits) {
      if ((clash = overlapped(taken, e)) != taken.cend()) break;
    }
    if (clash != taken.cend()) {
      out.overlapping.emplace_back(p.index, clash->second.second);
      continue;
    }
    out.applied.push_back(p.index);
    for (const edit& e : p.edits) {
      taken.emplace(e.begin, std::make_pair(e.end, p.index));
      kept.push_back(&e);
    }
  }
  std::sort(kept.begin(), kept.end(),
            [](const edit* a, const edit* b) { return a->begin < b->begin; });
  std::size_t at = 0;
  for (const edit* e : kept) {
    out.bytes.append(bytes, at, e->begin - at);
    out.bytes += e->text;
    at = e->end;
  }
  out.bytes.append(bytes, at, std::string::npos);
  return out;
}

fix_outcome settle_fixes(const std::string& bytes,
                         std::vector<finding>& findings,
                         const finding_filter& chosen,
                         const lint_options* options) {
  const fixed_text all = apply_fixes(bytes, findings, chosen);
  for (const auto& pair : all.overlapping) findings[pair.first].fix.clear();
  fix_outcome best{{bytes, {}, {}}, findings};
  best.fixed.overlapping = all.overlapping;
  counts before;
  for (const finding& f : findings) {
    if (chosen(f)) count(before, f, 1);
  }
  // Groups of fixes still to try with those kept: the whole first, and the
  // halves of a group that fails.
  std::vector<bool> kept(findings.size(), false);
  std::deque<std::vector<std::size_t>> groups;
  if (!all.applied.empty()) groups.push_back(all.applied);
  for (int lints = 0; !groups.empty() && lints <= MORE_LINTS; ++lints) {
    const std::vector<std::size_t> group = std::move(groups.front());
    groups.pop_front();
    std::vector<bool> trial = kept;
    for (const std::size_t i : group) trial[i] = true;
    fixed_text fixed = apply_fixes(bytes, findings, [&](const finding& f) {
      return trial[static_cast<std::size_t>(&f - findings.data())];
    });
    std::vector<finding> after = lint_of(fixed.bytes, options);
    counts left = before;
    for (const std::size_t i : fixed.applied) count(left, findings[i], -1);
    const bool sound =
        std::none_of(after.begin(), after.end(), [&](const finding& f) {
          return chosen(f) && --left[{f.code, f.line}] < 0;
        });
    if (sound) {
      kept = std::move(trial);
      fixed.overlapping = all.overlapping;
      best = {std::move(fixed), std::move(after)};
    } else if (group.size() > 1) {
      const auto half =
          group.begin() + static_cast<std::ptrdiff_t>(group.size() / 2);
      groups.emplace_front(half, group.end());
      groups.emplace_front(group.begin(), half);
    }
  }
  for (const std::size_t i : all.applied) {
    if (!kept[i]) findings[i].fix.clear();
  }
  return best;
}

}  // namespace quorlen_tool
