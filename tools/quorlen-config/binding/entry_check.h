// A quick verdict on one register entry against a binding's schema of
// entries, for the keywords bindings use on entries, without making the
// entry's JSON: pass, fail, or unknown where a keyword or operand is one it
// does not read (then valijson decides, as it does on a fail, to say why).
// The schema is compiled once into steps, so that an entry's verdict costs
// no allocation and no look-up by name: a file has hundreds of thousands of
// entries, and each is checked.
#ifndef QUORLEN_BINDING_ENTRY_CHECK_H
#define QUORLEN_BINDING_ENTRY_CHECK_H

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "quorlen_core.h"
#include "record/record_json.h"

namespace quorlen_tool {

enum class verdict { pass, fail, unknown };

class entry_program {
 public:
  // items: the schema every entry must satisfy; root: the binding, whose
  // definitions its local $refs name.  Both must outlive the program.
  entry_program(const nlohmann::json& items, const nlohmann::json& root);

  // count: how many of e's values the entry holds.  The program keeps the
  // verdicts of parts that read only the entry's type, for the next entry
  // of that type: one program serves one check at a time.
  verdict run(const register_entry& e, unsigned count);
  // The same verdict, from the schema itself rather than a type's plan.
  verdict walk(const register_entry& e, unsigned count);

 private:
  enum class word {
    if_,
    ref,
    all_of,
    any_of,
    one_of,
    not_,
    const_,
    enum_,
    minimum,
    maximum,
    exclusive_minimum,
    exclusive_maximum,
    type,
    properties,
    min_items,
    max_items,
    items,
    additional_items
  };
  // What an entry, a member or a value is, as a JSON type.
  enum kind : unsigned {
    null = 1,
    text = 2,
    number = 4,
    list = 8,
    object = 16
  };
  struct value {
    kind is;
    const char* s = nullptr;  // text
    std::int64_t n = 0;       // number
  };
  // A const or enum operand, read as far as an entry's values can equal it.
  struct allowed {
    enum { integer, string, null_, unsure, never } is;
    std::int64_t n = 0;
    std::string s;
  };
  struct step {
    word w;
    bool sure = true;            // false: an operand this program does not read
    int a = -1, b = -1, c = -1;  // the nodes it checks with (if: then, else)
    std::vector<int> nodes;      // of allOf, anyOf, oneOf; of items in a list
    std::vector<std::pair<entry_member, int>> members;  // of properties
    std::vector<allowed> values;                        // of const, enum
    double limit = 0;
    std::int64_t n = 0;       // minItems, maxItems
    unsigned kinds = 0;       // type
    unsigned after = 0;       // additionalItems: from this value on
    bool additional = false;  // additionalItems: items is a list
  };
  struct node {
    bool decided = false;  // a boolean schema, or one with a keyword unread
    verdict fixed = verdict::unknown;
    bool by_type = false;  // on an entry, reads only its type
    std::vector<step> steps;
    bool memo_valid = false;
    verdict memo = verdict::unknown;
    std::uint32_t memo_type = 0;
    int memo_depth = 0;
  };
  struct entry {
    const register_entry& e;
    unsigned count;
    const char* section;  // names, or null
    const char* key;
  };

  // What an entry of one type must hold, where the schema comes down to
  // limits on its count and on each value: checked without a walk.
  struct rule {
    unsigned from, to;  // the values it speaks of
    word w;             // a limit, enum_ (one of set), or type (none)
    double limit;
    std::vector<std::int32_t> set;
  };
  struct plan {
    bool flat = false;  // false: entries of this type are walked
    bool fails = false;
    std::int64_t min_count = 0, max_count = INT64_MAX;
    std::vector<rule> rules;
  };

  static entry entry_of(const register_entry& e, unsigned count);
  static value member(entry_member m, const entry& e);
  template <typename By_type>
  static bool step_reads_only_type(const step& s, By_type by_type);
  static bool within(word w, std::int64_t n, double limit);
  static bool settle(verdict v, plan& p);
  verdict eval(int at, const value& v, const entry& e, int depth);
  verdict step_verdict(const step& s, const value& v, const entry& e,
                       int depth);
  bool reads_only_type(std::size_t at, std::vector<int>& seen);
  const plan* plan_for(std::uint32_t type);
  bool plan_object(int at, const entry& none, int depth, plan& p);
  bool plan_list(int at, const entry& none, int depth, plan& p);
  bool plan_value(int at, unsigned from, unsigned to, int depth, plan& p);

  std::vector<node> nodes_;
  std::vector<std::pair<std::uint32_t, plan>> plans_;
  std::size_t last_ = 0;
};

}  // namespace quorlen_tool

#endif
