// Keys: an unknown key, a pair before any section, and a key set again,
// which in a control usually means a forgotten section header.
#include <cstring>
#include <map>

#include "input/diagnostics.h"
#include "lint/lint_context.h"

namespace quorlen_tool {

namespace {

std::vector<const char*> keys_of(std::uint32_t code) {
  std::vector<const char*> names;
  if (code == quorlen::CAMERA_SECTION || code == quorlen::CONTROL_SECTION) {
    for (const quorlen::field* f = quorlen::fields; f->key != nullptr; ++f) {
      if (f->family == code && f->kind != quorlen::field_kind::pair_second) {
        names.push_back(f->key);
      }
    }
  } else {
    for (const auto* row = quorlen::register_key_codes; row->name != nullptr;
         ++row) {
      names.push_back(row->name);
    }
  }
  return names;
}

// The name written over with the known one, where the name is plainly a
// key's (printable ASCII) and the line stays whole.
std::vector<edit> renamed(const lint_context& ctx, const char* name,
                          const char* known) {
  const std::size_t length = std::strlen(name);
  for (std::size_t i = 0; i < length; ++i) {
    if (name[i] < ' ' || name[i] > '~') return {};
  }
  const auto growth = static_cast<std::ptrdiff_t>(std::strlen(known)) -
                      static_cast<std::ptrdiff_t>(length);
  if (!ctx.fixable(growth)) return {};
  const std::size_t at = ctx.file_offset(name);
  return {{at, at + length, known}};
}

std::string where(const pair_event& ev) {
  if (ev.code == quorlen::CAMERA_SECTION) return "the camera section";
  if (ev.code == quorlen::CONTROL_SECTION) return "a control section";
  return "section " + in_quotes(ev.section);
}

class keys final : public rule_family {
 public:
  void section(lint_context&, const section_event& ev) override {
    if (ev.code == quorlen::CONTROL_SECTION) control_set_.clear();
  }

  void pair(lint_context& ctx, const pair_event& ev) override {
    const span name = ctx.name_span(ev.name);
    if (ev.code == 0) {
      if (!ctx.seen_header) {
        ctx.add(rule_id::pair_before_header, name,
                in_quotes(ev.name) +
                    " stands before any section header and is ignored");
      }
      return;
    }
    if (ev.code == quorlen::CONTROL_SECTION && ev.fills == nullptr) return;
    if (!ev.known) {
      // A continuation names no key on its own line: nothing to rename.
      const char* near = nearest(keys_of(ev.code), ev.name, upper);
      ctx.add(
          rule_id::unknown_key, name,
          "unknown key " + in_quotes(ev.name) + " in " + where(ev) +
              "; the line is ignored",
          near != nullptr ? "did you mean '" + std::string(near) + "'?" : "",
          near != nullptr && !ev.continuation ? renamed(ctx, ev.name, near)
                                              : std::vector<edit>{});
      return;
    }
    if (ev.continuation || ev.row == nullptr || !ev.changes) return;
    if (ev.code == quorlen::CAMERA_SECTION) {
      again(ctx, camera_set_, ev, name, rule_id::camera_key_again, "");
    } else {
      again(ctx, control_set_, ev, name, rule_id::control_key_again,
            " in this control");
    }
  }

 private:
  using seen = std::map<const quorlen::field*, int>;

  static void again(lint_context& ctx, seen& set, const pair_event& ev,
                    const span& name, rule_id id, const char* within) {
    auto previous = set.find(ev.row);
    if (previous != set.end()) {
      std::string message =
          std::string(ev.name) + " is set again" + within + " (first at line " +
          std::to_string(previous->second) + "); the later value wins";
      if (id == rule_id::control_key_again) {
        message += ": is a '[control parameter]' header missing before it?";
      }
      ctx.add(id, name, message);
    }
    set[ev.row] = name.begin.line;
  }

  seen camera_set_;
  seen control_set_;
};

}  // namespace

std::unique_ptr<rule_family> key_rules() { return std::make_unique<keys>(); }

}  // namespace quorlen_tool
