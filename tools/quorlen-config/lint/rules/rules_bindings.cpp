// Sensor bindings: what the record will hold, checked against what the
// sensor accepts.  Each register entry is checked as it leaves the record;
// the camera fields and the controls once the file is read, each reported
// at the line that set it last, in the binding's words.
#include <map>

#include "binding/binding.h"
#include "input/diagnostics.h"
#include "input/field_range.h"
#include "lint/lint_context.h"
#include "record/record_json.h"

namespace quorlen_tool {

namespace {

using nlohmann::json;

// Where a value was set, and how the file wrote it.
struct place {
  span at;
  std::string text;
  std::size_t offset = 0;  // in the file, for a fix
  bool fixable = false;
};

struct control_places {
  span header;
  std::map<std::string, place> members;
  std::vector<std::string> set;
};

level level_of(const std::string& name) {
  if (name == "error") return level::error;
  if (name == "info") return level::info;
  return level::warning;
}

bool blank(char c) { return c == ' ' || c == '\t'; }

// The pieces of a value list, trimmed, as the file writes them.
std::vector<std::pair<const char*, const char*>> pieces_of(const char* value) {
  std::vector<std::pair<const char*, const char*>> out;
  quorlen::scan::for_each_piece(value, [&](const char* p, unsigned) {
    const char* end = quorlen::scan::end_of_piece(p);
    while (p < end && blank(*p)) ++p;
    const char* last = end;
    while (last > p &&
           (blank(last[-1]) || last[-1] == '\r' || last[-1] == '\n')) {
      --last;
    }
    out.emplace_back(p, last);
    return end;
  });
  return out;
}

std::string list_text(const std::vector<json>& values, bool hex) {
  std::string out;
  for (const json& v : values) {
    if (!out.empty()) out += ", ";
    out += value_text(v, hex);
  }
  return out;
}

const quorlen::field* member_row(std::uint32_t family,
                                 const std::string& member) {
  for (const quorlen::field* f = quorlen::fields; f->key != nullptr; ++f) {
    if (f->family == family && member == f->member) return f;
  }
  return nullptr;
}

class bindings final : public rule_family {
 public:
  bindings(const std::vector<applied_binding>& chosen,
           const std::vector<refused_binding>& refused,
           std::vector<const binding*>* applied)
      : refused_(refused), applied_(applied) {
    for (const applied_binding& b : chosen) {
      checks_.push_back({&b, std::make_unique<binding_checker>(*b.rules), {}});
    }
  }

  void section(lint_context& ctx, const section_event& ev) override {
    if (ev.code == quorlen::CAMERA_SECTION && camera_header_.begin.line == 0) {
      camera_header_ = ev.header;
    }
    if (ev.code == quorlen::CONTROL_SECTION && ctx.control >= 0) {
      controls_.resize(static_cast<std::size_t>(ctx.control) + 1);
      controls_.back().header = ev.header;
    }
  }

  void pair(lint_context& ctx, const pair_event& ev) override {
    if (ctx.entries_taken != entries_seen_) {
      entries_seen_ = ctx.entries_taken;
      entry(ctx, ev);
      return;
    }
    if (ev.row == nullptr || !ev.changes) return;
    if (ev.code == quorlen::CAMERA_SECTION) {
      remember(ctx, ev, camera_, camera_set_);
    } else if (ev.code == quorlen::CONTROL_SECTION && ctx.control >= 0 &&
               static_cast<std::size_t>(ctx.control) < controls_.size()) {
      control_places& c = controls_[static_cast<std::size_t>(ctx.control)];
      remember(ctx, ev, c.members, c.set);
    }
  }

  void finish(lint_context& ctx) override {
    for (const refused_binding& r : refused_) {
      ctx.add(rule_id::binding_refused,
              {{r.line, r.column}, r.column + r.length}, r.why);
    }
    std::vector<std::vector<std::string>> sets{camera_set_};
    for (const control_places& c : controls_) sets.push_back(c.set);
    const json doc = binding_document(*ctx.record, sets);
    for (check& c : checks_) {
      if (!c.chosen->named && !c.checker->selects(doc)) continue;
      applied_->push_back(c.chosen->rules);
      for (finding& f : c.found) ctx.findings.push_back(std::move(f));
      for (const violation& v : c.checker->document(doc)) {
        report_document(ctx, *c.chosen->rules, v);
      }
    }
  }

 private:
  struct check {
    const applied_binding* chosen;
    std::unique_ptr<binding_checker> checker;
    std::vector<finding> found;  // of the entries, kept until select says
  };

  void remember(lint_context& ctx, const pair_event& ev,
                std::map<std::string, place>& places,
                std::vector<std::string>& set) {
    const auto note = [&](const quorlen::field& f, const char* from,
                          const char* to) {
      place p;
      p.at = ctx.span_to(from, to);
      p.text = std::string(from, static_cast<std::size_t>(to - from));
      p.offset = ctx.file_offset(from);
      p.fixable =
          ctx.facts.kind != quorlen::line_kind::continuation && ctx.fixable(0);
      places[f.member] = p;
      if (std::find(set.begin(), set.end(), f.member) == set.end()) {
        set.push_back(f.member);
      }
    };
    const auto pieces = pieces_of(ev.value);
    if (ev.row->kind == quorlen::field_kind::pair_first && pieces.size() == 2) {
      note(*ev.row, pieces[0].first, pieces[0].second);
      note(ev.row[1], pieces[1].first, pieces[1].second);
    } else if (ev.row->kind == quorlen::field_kind::text || pieces.empty()) {
      const char* end = ev.value + std::strlen(ev.value);
      while (end > ev.value &&
             (blank(end[-1]) || end[-1] == '\n' || end[-1] == '\r')) {
        --end;
      }
      note(*ev.row, ev.value, end);
    } else {
      note(*ev.row, pieces.front().first, pieces.back().second);
    }
  }

  void entry(lint_context& ctx, const pair_event& ev) {
    const register_entry& e = ctx.entry;
    bool pending = false;
    for (check& c : checks_) pending = pending || !c.checker->entry(e).empty();
    if (!pending) return;
    const bool hex = (e.entry_type & 0xFFFFu) != QUORLEN_KEY_DELAY;
    const auto pieces = pieces_of(ev.value);
    const std::string key = ev.continuation ? ev.name : ev.name;
    for (check& c : checks_) {
      for (const violation& v : c.checker->entry(e)) {
        span where = pieces.empty() ? ctx.line_span()
                                    : ctx.span_to(pieces.front().first,
                                                  pieces.back().second);
        std::string subject = key;
        place p;
        if (v.path.size() == 2 && v.path[0] == "values") {
          const std::size_t i = std::stoul(v.path[1]);
          if (i < pieces.size()) {
            where = ctx.span_to(pieces[i].first, pieces[i].second);
            subject += " value";
            p.at = where;
            p.text = std::string(pieces[i].first, pieces[i].second);
            p.offset = ctx.file_offset(pieces[i].first);
            p.fixable = !ev.continuation && ctx.fixable(0);
          }
        } else if (!v.path.empty() && (v.path[0] == "key")) {
          where = ctx.name_span(ev.name);
        }
        const std::size_t before = ctx.findings.size();
        report(ctx, *c.chosen->rules, v, where, subject,
               p.text.empty() ? "" : p.text, hex, &p,
               static_cast<unsigned>(pieces.size()));
        // Held until the end: the binding may turn out not to apply.
        for (std::size_t i = before; i < ctx.findings.size(); ++i) {
          c.found.push_back(std::move(ctx.findings[i]));
        }
        ctx.findings.resize(before);
      }
    }
  }

  void report_document(lint_context& ctx, const binding& b,
                       const violation& v) {
    const span top =
        camera_header_.begin.line != 0 ? camera_header_ : span{{1, 1}, 2};
    const auto& path = v.path;
    if (path.size() == 2 && path[0] == "camera") {
      const quorlen::field* f = member_row(quorlen::CAMERA_SECTION, path[1]);
      auto it = camera_.find(path[1]);
      const place* p = it != camera_.end() ? &it->second : nullptr;
      std::string subject = f != nullptr ? f->key : path[1];
      if (f != nullptr && f->kind == quorlen::field_kind::pair_first) {
        subject += " width";
      } else if (f != nullptr && f->kind == quorlen::field_kind::pair_second) {
        subject = "SIZE height";
      }
      report(ctx, b, v, p != nullptr ? p->at : top, subject,
             p != nullptr ? p->text : "", f != nullptr && f->hex, p, 0);
      return;
    }
    if (path.size() == 1 && path[0] == "set" &&
        v.what == violation::kind::not_set) {
      const quorlen::field* f = member_row(quorlen::CAMERA_SECTION, v.missing);
      report(ctx, b, v, top, f != nullptr ? f->key : v.missing, "", false,
             nullptr, 0);
      return;
    }
    if (path.size() >= 2 && path[0] == "controls") {
      const std::size_t i = std::stoul(path[1]);
      const control_entry& c = ctx.record->controls[i];
      const std::string name = in_quotes(c.ctrl_name);
      const span header = i < controls_.size() ? controls_[i].header : top;
      if (path.size() == 3 && path[2] == "set") {
        const quorlen::field* f =
            member_row(quorlen::CONTROL_SECTION, v.missing);
        report(ctx, b, v, header,
               (f != nullptr ? f->key : v.missing) + " of control " + name, "",
               false, nullptr, 0);
        return;
      }
      if (path.size() == 3 && i < controls_.size()) {
        const quorlen::field* f = member_row(quorlen::CONTROL_SECTION, path[2]);
        auto it = controls_[i].members.find(path[2]);
        const place* p =
            it != controls_[i].members.end() ? &it->second : nullptr;
        report(ctx, b, v, p != nullptr ? p->at : header,
               std::string(f != nullptr ? f->key : path[2]),
               (p != nullptr ? p->text + " " : "") + "of control " + name,
               false, p, 0);
        return;
      }
      report(ctx, b, v, header, "control " + name, "", false, nullptr, 0);
      return;
    }
    report(ctx, b, v, top, "the file", "", false, nullptr, 0);
  }

  // One finding: subject and value as the file writes them, then what the
  // binding wants, in its words.
  void report(lint_context& ctx, const binding& b, const violation& v,
              span where, const std::string& subject,
              const std::string& written, bool hex, const place* p,
              unsigned count) {
    const std::string what =
        escape_text(subject) +
        (written.empty() ? "" : " " + escape_text(written));
    const std::string words =
        v.description.empty() ? "" : escape_text(v.description);
    const std::string tag = " [binding " + escape_text(b.name) + "]";
    std::string message;
    rule_id id = rule_id::binding_unmet;
    std::vector<edit> fix;
    switch (v.what) {
    case violation::kind::not_allowed:
      id = rule_id::binding_not_allowed;
      message =
          what + " is not " +
          (words.empty() ? "a value the binding allows" : words) +
          (v.allowed.empty() ? "" : " (" + list_text(v.allowed, hex) + ")");
      if (v.allowed.size() == 1 && p != nullptr && p->fixable &&
          !p->text.empty()) {
        const std::string text =
            v.allowed[0].is_string() ? v.allowed[0].get<std::string>()
            : v.allowed[0].is_number_integer()
                ? number_text(v.allowed[0].get<std::int64_t>(), hex)
                : "";
        const auto growth = static_cast<std::ptrdiff_t>(text.size()) -
                            static_cast<std::ptrdiff_t>(p->text.size());
        if (!text.empty() && text.find('\n') == std::string::npos &&
            ctx.map.line_size(where.begin.line) +
                    static_cast<std::size_t>(growth > 0 ? growth : 0) <=
                LINE_ROOM) {
          fix.push_back({p->offset, p->offset + p->text.size(), text});
        }
      }
      break;
    case violation::kind::out_of_range:
      id = rule_id::binding_out_of_range;
      message = what + " is not " +
                (words.empty() ? "within the binding's limits" : words) +
                (limits_text(v.low, v.high, hex).empty()
                     ? ""
                     : " (" + limits_text(v.low, v.high, hex) + ")");
      break;
    case violation::kind::not_set:
      id = rule_id::binding_not_set;
      message = escape_text(subject) + " is not set" +
                (words.empty() ? "; the binding needs it"
                               : "; the binding needs it: " + words);
      break;
    case violation::kind::value_count:
      id = rule_id::binding_value_count;
      message = escape_text(subject) + " has " + std::to_string(count) +
                (count == 1 ? " value" : " values") + "; " +
                (words.empty() ? "the binding wants" : words + ":") + " " +
                limits_text(v.low, v.high, false);
      break;
    case violation::kind::unmet:
      message = what + " does not meet the binding" +
                (words.empty() ? "" : " (" + words + ")") + ": " +
                escape_text(v.detail);
      break;
    }
    ctx.add(id, where, message + tag, "", std::move(fix));
    ctx.findings.back().severity = level_of(b.level);
  }

  const std::vector<refused_binding>& refused_;
  std::vector<const binding*>* applied_;
  std::vector<check> checks_;
  std::size_t entries_seen_ = 0;
  span camera_header_;
  std::map<std::string, place> camera_;
  std::vector<std::string> camera_set_;
  std::vector<control_places> controls_;
};

}  // namespace

std::unique_ptr<rule_family> binding_rules(
    const std::vector<applied_binding>& chosen,
    const std::vector<refused_binding>& refused,
    std::vector<const binding*>* applied) {
  return std::make_unique<bindings>(chosen, refused, applied);
}

}  // namespace quorlen_tool
