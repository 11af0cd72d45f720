// Controls: a range that cannot hold, a step that goes nowhere, a control
// without a name, and two controls of one name.  Names are compared as the
// controls are written: a control header that the library consumes (one
// that broke a code block off, or lacks its ']') starts no control in the
// record, yet its name is the author's and must not hide a repeat.
#include <cstring>
#include <map>

#include "input/diagnostics.h"
#include "lint/lint_context.h"
#include "record/record_compare.h"

namespace quorlen_tool {

namespace {

const quorlen::field& row(const char* key) {
  return *quorlen::find_field(quorlen::CONTROL_SECTION, key);
}

class controls final : public rule_family {
 public:
  controls()
      : min_(row("MIN_VALUE")),
        max_(row("MAX_VALUE")),
        step_(row("STEP")),
        def_(row("DEF")),
        name_(row("CTRL_NAME")) {}

  void section(lint_context& ctx, const section_event& ev) override {
    if (ev.code != quorlen::CONTROL_SECTION || ctx.control < 0) return;
    open_ = true;
    header_ = ev.header;
    places_.clear();
    written_ = {true, ev.header.begin.line, "", {}};
  }

  void fault(lint_context& ctx, const quorlen::fault& f) override {
    std::string header = f.text;
    if (f.kind == quorlen::fault_kind::unclosed_section) {
      header += "]";
    } else if (f.kind != quorlen::fault_kind::block_broken_off) {
      return;
    }
    end_written(ctx);
    const bool control =
        quorlen::code_of(quorlen::section_codes,
                         section_on_its_own(header.c_str()).c_str()) ==
        quorlen::CONTROL_SECTION;
    if (control) written_ = {true, ctx.map.editor_line(f.line), "", {}};
  }

  void pair(lint_context& ctx, const pair_event& ev) override {
    if (!open_ || ev.code != quorlen::CONTROL_SECTION || ev.row == nullptr) {
      return;
    }
    places_[ev.row] = ctx.name_span(ev.name);
    if (ev.row == &name_ && written_.open) {
      written_.name = text_of(&ctx.record->controls[ctx.control], name_);
      written_.place = places_[ev.row];
    }
  }

  void section_end(lint_context& ctx) override {
    end_written(ctx);
    if (!open_) return;
    open_ = false;
    finish_control(ctx, ctx.record->controls[ctx.control]);
  }

 private:
  // Where a key was set in the control, or its header.
  span place(const quorlen::field& f) const {
    auto it = places_.find(&f);
    return it != places_.end() ? it->second : header_;
  }

  void finish_control(lint_context& ctx, const control_entry& c) {
    const auto number = [&](const quorlen::field& f) {
      return quorlen::field_number(&c, f);
    };
    const std::int64_t low = number(min_), high = number(max_);
    const std::int64_t def = number(def_), step = number(step_);
    if (low > high) {
      ctx.add(rule_id::min_above_max,
              places_.count(&max_) != 0 ? place(max_) : place(min_),
              "MIN_VALUE " + std::to_string(low) + " is above MAX_VALUE " +
                  std::to_string(high));
    } else if (def < low || def > high) {
      ctx.add(rule_id::def_outside, place(def_),
              "DEF " + std::to_string(def) + " lies outside MIN_VALUE " +
                  std::to_string(low) + " .. MAX_VALUE " +
                  std::to_string(high));
    }
    if (step <= 0) {
      ctx.add(rule_id::step_not_positive, place(step_),
              places_.count(&step_) != 0
                  ? "STEP " + std::to_string(step) + " is 0 or below"
                  : std::string("control has no STEP; the record holds 0"));
    }
    if (text_of(&c, name_).empty()) {
      ctx.add(rule_id::no_ctrl_name, place(name_), "control has no CTRL_NAME");
    }
  }

  // The control as written ends: its name against those before.
  void end_written(lint_context& ctx) {
    if (!written_.open) return;
    written_.open = false;
    if (written_.name.empty()) return;
    auto first = names_.find(written_.name);
    if (first != names_.end()) {
      ctx.add(rule_id::same_ctrl_name, written_.place,
              "CTRL_NAME " + in_quotes(written_.name) +
                  " is already the name of the control at line " +
                  std::to_string(first->second));
    } else {
      names_.emplace(written_.name, written_.line);
    }
  }

  struct written {
    bool open = false;
    int line = 0;      // its header's
    std::string name;  // its last CTRL_NAME
    span place;        // where that stands
  };

  const quorlen::field& min_;
  const quorlen::field& max_;
  const quorlen::field& step_;
  const quorlen::field& def_;
  const quorlen::field& name_;
  bool open_ = false;
  span header_;
  std::map<const quorlen::field*, span> places_;
  written written_;
  std::map<std::string, int> names_;  // each name's first control's line
};

}  // namespace

std::unique_ptr<rule_family> control_rules() {
  return std::make_unique<controls>();
}

}  // namespace quorlen_tool
