// The entries' schema compiled into steps, and an entry run through them.
// Each step keeps valijson's meaning of its keyword for the values an entry
// can hold; the binding tests check the two agree on every verdict given.
#include "binding/entry_check.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <deque>
#include <unordered_map>

#include "binding/binding.h"
#include "record/record_json.h"

namespace quorlen_tool {

namespace {

using nlohmann::json;

verdict all(verdict a, verdict b) {
  if (a == verdict::unknown || b == verdict::unknown) return verdict::unknown;
  return a == verdict::pass && b == verdict::pass ? verdict::pass
                                                  : verdict::fail;
}

verdict of(bool ok) { return ok ? verdict::pass : verdict::fail; }

// Keywords that say nothing of a value, or that another keyword reads.
bool said_elsewhere(const std::string& k) {
  for (const char* w :
       {"description", "title", "$comment", "then", "else", "definitions"}) {
    if (k == w) return true;
  }
  return false;
}

}  // namespace

entry_program::entry_program(const json& items, const json& root) {
  static const std::pair<const char*, word> words[] = {
      {"if", word::if_},
      {"$ref", word::ref},
      {"allOf", word::all_of},
      {"anyOf", word::any_of},
      {"oneOf", word::one_of},
      {"not", word::not_},
      {"const", word::const_},
      {"enum", word::enum_},
      {"minimum", word::minimum},
      {"maximum", word::maximum},
      {"exclusiveMinimum", word::exclusive_minimum},
      {"exclusiveMaximum", word::exclusive_maximum},
      {"type", word::type},
      {"properties", word::properties},
      {"minItems", word::min_items},
      {"maxItems", word::max_items},
      {"items", word::items},
      {"additionalItems", word::additional_items},
  };
  static const std::pair<const char*, unsigned> types[] = {
      {"integer", number}, {"number", number}, {"string", text},
      {"null", null},      {"array", list},    {"object", object},
  };
  // Each schema becomes a node once, however many places name it; the
  // nodes are compiled from a queue, so a long chain of $refs costs no
  // stack.
  std::unordered_map<const json*, int> ids;
  std::deque<const json*> todo;
  const auto id = [&](const json& j) {
    auto [it, fresh] = ids.emplace(&j, static_cast<int>(nodes_.size()));
    if (fresh) {
      nodes_.emplace_back();
      todo.push_back(&j);
    }
    return it->second;
  };
  const auto read = [](const json& want) {
    allowed a{allowed::never, 0, {}};
    if (want.is_number_integer()) {
      a.is = allowed::integer;
      a.n = want.get<std::int64_t>();
    } else if (want.is_string()) {
      a.is = allowed::string;
      a.s = want.get<std::string>();
    } else if (want.is_null()) {
      a.is = allowed::null_;
    } else if (want.is_number_float() || want.is_array() || want.is_object()) {
      a.is = allowed::unsure;
    }
    return a;
  };
  id(items);
  while (!todo.empty()) {
    const json& j = *todo.front();
    todo.pop_front();
    node n;
    if (j.is_boolean() || !j.is_object()) {
      n.decided = true;
      n.fixed = !j.is_boolean() ? verdict::unknown
                : j.get<bool>() ? verdict::pass
                                : verdict::fail;
    }
    for (auto k = j.is_object() ? j.begin() : j.end(); k != j.end(); ++k) {
      if (said_elsewhere(k.key())) continue;
      const word* w = nullptr;
      for (const auto& [name, known] : words) {
        if (k.key() == name) w = &known;
      }
      if (w == nullptr) {
        n.decided = true;
        n.steps.clear();
        break;
      }
      const json& x = *k;
      step s{};
      s.w = *w;
      switch (s.w) {
      case word::if_:
        s.a = id(x);
        if (j.contains("then")) s.b = id(j["then"]);
        if (j.contains("else")) s.c = id(j["else"]);
        break;
      case word::ref: {
        const std::string ref = x.is_string() ? x.get<std::string>() : "";
        const char* local = LOCAL_REF;
        const std::string name =
            ref.substr(std::min(ref.size(), std::strlen(local)));
        // A name with escapes is left to valijson, which reads them.
        if (ref.rfind(local, 0) == 0 && root.contains("definitions") &&
            name.find_first_of("~/%") == std::string::npos) {
          const json& defs = root["definitions"];
          auto it = defs.find(name);
          if (it != defs.end()) s.a = id(*it);
        }
        s.sure = s.a >= 0;
        break;
      }
      case word::all_of:
      case word::any_of:
      case word::one_of:
        for (const json& one : x) s.nodes.push_back(id(one));
        break;
      case word::not_: s.a = id(x); break;
      case word::const_: s.values.push_back(read(x)); break;
      case word::enum_:
        for (const json& one : x) s.values.push_back(read(one));
        break;
      case word::minimum:
      case word::maximum:
      case word::exclusive_minimum:
      case word::exclusive_maximum:
        s.sure = x.is_number();
        if (s.sure) s.limit = x.get<double>();
        break;
      case word::type:
        s.sure = x.is_string();
        for (const auto& [name, k2] : types) {
          if (s.sure && x.get_ref<const std::string&>() == name) s.kinds = k2;
        }
        break;
      case word::properties:
        s.sure = x.is_object();
        for (auto m = s.sure ? x.begin() : x.end(); m != x.end(); ++m) {
          for (std::size_t i = 0; i < std::size(entry_member_names); ++i) {
            if (m.key() == entry_member_names[i]) {
              s.members.emplace_back(static_cast<entry_member>(i), id(*m));
            }
          }
        }
        break;
      case word::min_items:
      case word::max_items:
        s.sure = x.is_number_integer();
        if (s.sure) s.n = x.get<std::int64_t>();
        break;
      case word::items:
        if (x.is_object() || x.is_boolean()) {
          s.a = id(x);
        } else if (x.is_array()) {
          for (const json& one : x) s.nodes.push_back(id(one));
        }
        break;
      case word::additional_items: {
        auto before = j.find("items");
        s.additional = before != j.end() && before->is_array();
        if (s.additional) {
          s.after = static_cast<unsigned>(
              std::min<std::size_t>(before->size(), UINT_MAX));
          s.a = id(x);
        }
        break;
      }
      }
      n.steps.push_back(std::move(s));
    }
    nodes_[static_cast<std::size_t>(ids[&j])] = std::move(n);
  }
  std::vector<int> seen(nodes_.size(), 0);
  for (std::size_t i = 0; i < nodes_.size(); ++i) {
    nodes_[i].by_type = reads_only_type(i, seen);
  }
}

// Whether a step's verdict on an entry rests on the entry's type alone,
// given whether each node's does: on an entry, only properties read
// anything else, and only "values".
template <typename By_type>
bool entry_program::step_reads_only_type(const step& s, By_type by_type) {
  const auto child = [&](int i) { return i < 0 || by_type(i); };
  switch (s.w) {
  case word::properties:
    for (const auto& m : s.members) {
      if (m.first == entry_member::values) return false;
    }
    return true;
  case word::if_: return child(s.a) && child(s.b) && child(s.c);
  case word::ref:
  case word::not_: return child(s.a);
  case word::all_of:
  case word::any_of:
  case word::one_of: return std::all_of(s.nodes.begin(), s.nodes.end(), child);
  default: return true;
  }
}

bool entry_program::reads_only_type(std::size_t at, std::vector<int>& seen) {
  enum { unseen, open, yes, no };
  if (seen[at] != unseen) return seen[at] == yes;
  seen[at] = open;
  bool only = true;
  for (const step& s : nodes_[at].steps) {
    only = only && step_reads_only_type(s, [&](int i) {
             return reads_only_type(static_cast<std::size_t>(i), seen);
           });
  }
  seen[at] = only ? yes : no;
  return only;
}

entry_program::entry entry_program::entry_of(const register_entry& e,
                                             unsigned count) {
  const std::uint32_t section = e.entry_type & 0xFFFF0000u;
  const std::uint32_t key = e.entry_type & 0xFFFFu;
  return entry{e, count, section_name(section), register_key_name(key)};
}

// Whether a number meets a limit: minimum, maximum or their exclusive kin.
bool entry_program::within(word w, std::int64_t n, double limit) {
  const double x = static_cast<double>(n);
  return w == word::minimum             ? x >= limit
         : w == word::maximum           ? x <= limit
         : w == word::exclusive_minimum ? x > limit
                                        : x < limit;
}

verdict entry_program::run(const register_entry& e, unsigned count) {
  const plan* p = plan_for(e.entry_type);
  if (p == nullptr) return walk(e, count);
  if (p->fails || count < p->min_count || count > p->max_count) {
    return verdict::fail;
  }
  for (const rule& r : p->rules) {
    for (unsigned i = r.from; i < r.to && i < count; ++i) {
      const std::int32_t x = e.values[i];
      const bool ok =
          r.w == word::enum_
              ? std::find(r.set.begin(), r.set.end(), x) != r.set.end()
              : r.w != word::type && within(r.w, x, r.limit);
      if (!ok) return verdict::fail;
    }
  }
  return verdict::pass;
}

verdict entry_program::walk(const register_entry& e, unsigned count) {
  return eval(0, value{object}, entry_of(e, count), 0);
}

// The plans of the types seen, made on first sight; past a few dozen types
// (a file of bad types), entries are walked.
const entry_program::plan* entry_program::plan_for(std::uint32_t type) {
  // Entries of a type come in runs: the last type's plan is tried first.
  if (last_ < plans_.size() && plans_[last_].first == type) {
    return plans_[last_].second.flat ? &plans_[last_].second : nullptr;
  }
  for (std::size_t i = 0; i < plans_.size(); ++i) {
    if (plans_[i].first != type) continue;
    last_ = i;
    return plans_[i].second.flat ? &plans_[i].second : nullptr;
  }
  if (plans_.size() >= 64) return nullptr;
  register_entry none{};
  none.entry_type = type;
  plan p;
  p.flat = plan_object(0, entry_of(none, 0), 0, p);
  plans_.emplace_back(type, std::move(p));
  last_ = plans_.size() - 1;
  return plans_.back().second.flat ? &plans_.back().second : nullptr;
}

// A node on an entry of the plan's type, as rules on its values: false when
// what it checks does not come down to that (then entries are walked).
bool entry_program::plan_object(int at, const entry& none, int depth, plan& p) {
  const node& n = nodes_[static_cast<std::size_t>(at)];
  if (n.decided) return settle(n.fixed, p);
  if (depth > BINDING_MAX_DEPTH) return false;
  for (const step& s : n.steps) {
    if (step_reads_only_type(s, [&](int i) {
          return nodes_[static_cast<std::size_t>(i)].by_type;
        })) {
      if (!settle(step_verdict(s, value{object}, none, depth), p)) {
        return false;
      }
      continue;
    }
    bool ok = true;
    switch (s.w) {
    case word::if_: {
      if (!nodes_[static_cast<std::size_t>(s.a)].by_type) return false;
      const verdict c = eval(s.a, value{object}, none, depth + 1);
      if (c == verdict::unknown) return false;
      const int branch = c == verdict::pass ? s.b : s.c;
      ok = branch < 0 || plan_object(branch, none, depth + 1, p);
      break;
    }
    case word::ref: ok = plan_object(s.a, none, depth + 1, p); break;
    case word::all_of:
      for (int one : s.nodes) ok = ok && plan_object(one, none, depth + 1, p);
      break;
    case word::properties:
      for (const auto& [m, member_at] : s.members) {
        ok = ok &&
             (m == entry_member::values
                  ? plan_list(member_at, none, depth + 1, p)
                  : settle(eval(member_at, member(m, none), none, depth + 1),
                           p));
      }
      break;
    default: ok = false;
    }
    if (!ok) return false;
  }
  return true;
}

bool entry_program::plan_list(int at, const entry& none, int depth, plan& p) {
  const node& n = nodes_[static_cast<std::size_t>(at)];
  if (n.decided) return settle(n.fixed, p);
  if (depth > BINDING_MAX_DEPTH) return false;
  bool ok = true;
  for (const step& s : n.steps) {
    switch (s.w) {
    case word::if_:
    case word::any_of:
    case word::one_of:
    case word::not_: return false;
    case word::ref: ok = s.sure && plan_list(s.a, none, depth + 1, p); break;
    case word::all_of:
      for (int one : s.nodes) ok = ok && plan_list(one, none, depth + 1, p);
      break;
    case word::min_items:
    case word::max_items:
      ok = s.sure;
      if (s.w == word::min_items) p.min_count = std::max(p.min_count, s.n);
      if (s.w == word::max_items) p.max_count = std::min(p.max_count, s.n);
      break;
    case word::items:
      if (s.a >= 0) ok = plan_value(s.a, 0, UINT_MAX, depth + 1, p);
      for (std::size_t i = 0; i < s.nodes.size(); ++i) {
        const auto from = static_cast<unsigned>(i);
        ok = ok && plan_value(s.nodes[i], from, from + 1, depth + 1, p);
      }
      break;
    case word::additional_items:
      if (s.additional) {
        ok = plan_value(s.a, s.after, UINT_MAX, depth + 1, p);
      }
      break;
    default:  // read no value of the list
      ok = settle(step_verdict(s, value{list}, none, depth), p);
    }
    if (!ok) return false;
  }
  return true;
}

// A node on the values from..to-1 of the list.
bool entry_program::plan_value(int at, unsigned from, unsigned to, int depth,
                               plan& p) {
  const node& n = nodes_[static_cast<std::size_t>(at)];
  if (n.decided && n.fixed == verdict::fail) {
    p.rules.push_back({from, to, word::type, 0, {}});
    return true;
  }
  if (n.decided) return n.fixed == verdict::pass;
  if (depth > BINDING_MAX_DEPTH) return false;
  bool ok = true;
  for (const step& s : n.steps) {
    switch (s.w) {
    case word::ref:
      ok = s.sure && plan_value(s.a, from, to, depth + 1, p);
      break;
    case word::all_of:
      for (int one : s.nodes) {
        ok = ok && plan_value(one, from, to, depth + 1, p);
      }
      break;
    case word::const_:
    case word::enum_: {
      rule r{from, to, word::enum_, 0, {}};
      for (const allowed& a : s.values) {
        if (a.is == allowed::unsure) return false;
        if (a.is == allowed::integer) {
          // A value of 32 bits equals no wider number.
          if (a.n >= INT32_MIN && a.n <= INT32_MAX) {
            r.set.push_back(static_cast<std::int32_t>(a.n));
          }
        }
      }
      p.rules.push_back(std::move(r));
      break;
    }
    case word::minimum:
    case word::maximum:
    case word::exclusive_minimum:
    case word::exclusive_maximum:
      ok = s.sure;
      p.rules.push_back({from, to, s.w, s.limit, {}});
      break;
    case word::type:
      ok = s.sure;
      if ((s.kinds & number) == 0) p.rules.push_back({from, to, s.w, 0, {}});
      break;
    case word::properties: ok = s.sure; break;
    case word::min_items:
    case word::max_items:
    case word::items:
    case word::additional_items: break;  // pass on a number
    default: return false;
    }
    if (!ok) return false;
  }
  return true;
}

bool entry_program::settle(verdict v, plan& p) {
  if (v == verdict::unknown) return false;
  p.fails = p.fails || v == verdict::fail;
  return true;
}

entry_program::value entry_program::member(entry_member m, const entry& e) {
  value of_m{number};
  switch (m) {
  case entry_member::section:
  case entry_member::key:
    of_m.s = m == entry_member::section ? e.section : e.key;
    of_m.is = of_m.s != nullptr ? text : null;
    break;
  case entry_member::section_code: of_m.n = e.e.entry_type & 0xFFFF0000u; break;
  case entry_member::key_code: of_m.n = e.e.entry_type & 0xFFFFu; break;
  case entry_member::type: of_m.n = e.e.entry_type; break;
  case entry_member::values: of_m.is = list; break;
  }
  return of_m;
}

verdict entry_program::eval(int at, const value& v, const entry& e, int depth) {
  node& n = nodes_[static_cast<std::size_t>(at)];
  if (n.decided) return n.fixed;
  if (depth > BINDING_MAX_DEPTH) return verdict::unknown;
  // The same entry type, at the same depth, has the same verdict here.
  const bool memo = n.by_type && v.is == object;
  if (memo && n.memo_valid && n.memo_type == e.e.entry_type &&
      n.memo_depth == depth) {
    return n.memo;
  }
  verdict out = verdict::pass;
  for (const step& s : n.steps) {
    out = all(out, step_verdict(s, v, e, depth));
    if (out == verdict::unknown) return out;
  }
  if (memo) {
    n.memo_valid = true;
    n.memo_type = e.e.entry_type;
    n.memo_depth = depth;
    n.memo = out;
  }
  return out;
}

verdict entry_program::step_verdict(const step& s, const value& v,
                                    const entry& e, int depth) {
  const auto sub = [&](int node_at, const value& of) {
    return eval(node_at, of, e, depth + 1);
  };
  verdict got = verdict::pass;
  switch (s.w) {
  case word::if_:
    got = sub(s.a, v);
    if (got == verdict::unknown) return got;
    {
      const int branch = got == verdict::pass ? s.b : s.c;
      return branch < 0 ? verdict::pass : sub(branch, v);
    }
  case word::ref: return s.sure ? sub(s.a, v) : verdict::unknown;
  case word::all_of:
  case word::any_of:
  case word::one_of: {
    std::size_t passed = 0;
    for (int one : s.nodes) {
      got = sub(one, v);
      if (got == verdict::unknown) return got;
      passed += got == verdict::pass ? 1 : 0;
    }
    return of(s.w == word::all_of   ? passed == s.nodes.size()
              : s.w == word::any_of ? passed > 0
                                    : passed == 1);
  }
  case word::not_:
    got = sub(s.a, v);
    return got == verdict::unknown ? got : of(got == verdict::fail);
  case word::const_:
  case word::enum_: {
    bool sure = true;
    for (const allowed& a : s.values) {
      if (a.is == allowed::integer && v.is == number) {
        if (a.n == v.n) return verdict::pass;
      } else if (a.is == allowed::string && v.is == text) {
        if (a.s == v.s) return verdict::pass;
      } else if (a.is == allowed::null_) {
        if (v.is == null) return verdict::pass;
      } else if (a.is == allowed::unsure || v.is == list) {
        sure = false;
      }
    }
    return sure ? verdict::fail : verdict::unknown;
  }
  case word::minimum:
  case word::maximum:
  case word::exclusive_minimum:
  case word::exclusive_maximum: {
    if (v.is != number) return verdict::pass;
    if (!s.sure) return verdict::unknown;
    return of(within(s.w, v.n, s.limit));
  }
  case word::type: return s.sure ? of((s.kinds & v.is) != 0) : verdict::unknown;
  case word::properties:
    if (!s.sure) return verdict::unknown;
    if (v.is != object) return verdict::pass;
    for (const auto& [m, node_at] : s.members) {
      got = all(got, sub(node_at, member(m, e)));
      if (got == verdict::unknown) return got;
    }
    return got;
  case word::min_items:
  case word::max_items:
    if (v.is != list) return verdict::pass;
    if (!s.sure) return verdict::unknown;
    return of(s.w == word::min_items ? e.count >= s.n : e.count <= s.n);
  case word::items:
  case word::additional_items:
    if (v.is != list) return verdict::pass;
    for (unsigned i = 0; i < e.count; ++i) {
      int item = -1;
      if (s.w == word::items) {
        item = s.a >= 0 ? s.a : i < s.nodes.size() ? s.nodes[i] : -1;
      } else if (s.additional && i >= s.after) {
        item = s.a;
      }
      if (item < 0) continue;
      got = all(got, sub(item, value{number, nullptr, e.e.values[i]}));
      if (got == verdict::unknown) return got;
    }
    return got;
  }
  return verdict::unknown;
}

}  // namespace quorlen_tool
