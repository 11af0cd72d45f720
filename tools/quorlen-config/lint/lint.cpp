// The lint's engine: it runs the library's parse with the library's handler,
// and tells each family of rules what the parse does, line by line and
// event by event.
#include "lint/lint.h"

#include <algorithm>
#include <new>

#include "input/kept_failure.h"
#include "input/load.h"
#include "input/number_reading.h"
#include "lint/lint_context.h"
#include "lint/suppressions.h"
#include "quorlen_core.h"

namespace quorlen_tool {

namespace {

using quorlen::line_kind;

// Whether a list holds a count that its key takes; other counts change
// nothing.
bool takes_count(const quorlen::field& f, const char* value) {
  const unsigned count = quorlen::scan::for_each_piece(
      value,
      [](const char* p, unsigned) { return quorlen::scan::end_of_piece(p); });
  if (f.kind == quorlen::field_kind::pair_first) return count == 2;
  if (f.kind == quorlen::field_kind::byte_pair) {
    return count == 1 || count == 2;
  }
  return true;
}

class linter {
 public:
  linter(const std::string& bytes, camera_setup* record,
         const lint_options& options)
      : bytes_(bytes),
        own_map_(options.map == nullptr ? std::make_unique<source_map>(bytes)
                                        : nullptr),
        map_(options.map != nullptr ? *options.map : *own_map_),
        ctx_(map_, record, options.keep_entries),
        options_(options) {
    families_.push_back(line_rules());
    families_.push_back(section_rules());
    families_.push_back(key_rules());
    families_.push_back(number_rules());
    families_.push_back(text_rules());
    families_.push_back(block_rules());
    families_.push_back(control_rules());
    if (!options.bindings.empty() || !options.refused.empty()) {
      families_.push_back(
          binding_rules(options.bindings, options.refused, &applied_));
    }
  }

  lint_outcome run() {
    // Bytes that are no text still fill the record as the library fills it,
    // but the rules are not told of them: what they would say of each
    // "line" is noise that hides the one thing worth saying.
    const std::string not_text_reason = not_text(bytes_);
    muted_ = !not_text_reason.empty();
    quorlen::parse_observer observer{on_fault, this, on_line};
    lint_outcome outcome;
    outcome.result = parse_bytes(bytes_, on_event, this, &observer);
    failure_.rethrow();
    ctx_.setup.finish();
    if (muted_) {
      ctx_.add(rule_id::not_text, {{1, 1}, 2}, not_text_reason);
    } else {
      for (auto& family : families_) family->section_end(ctx_);
      for (auto& family : families_) family->finish(ctx_);
    }
    outcome.findings = kept_findings();
    outcome.library_lines = library_lines_;
    outcome.file_lines = map_.lines();
    outcome.pieces = map_.pieces();
    outcome.applied = applied_;
    return outcome;
  }

 private:
  static void on_line(void* self, const quorlen::line_facts& facts) {
    auto* lint = static_cast<linter*>(self);
    lint->library_lines_ = facts.number;
    lint->ctx_.facts = facts;
    if (lint->muted_) return;
    lint->failure_.run([&] { lint->line(); });
  }

  void line() {
    const line_kind kind = ctx_.facts.kind;
    if (kind == line_kind::section_header) ctx_.seen_header = true;
    if (kind == line_kind::block_start) {
      block_marker_ = ctx_.line_span();
    }
    if (kind == line_kind::comment) suppressions_.comment(ctx_);
    for (auto& family : families_) family->line(ctx_);
  }

  static void on_fault(void* self, const quorlen::fault& f) {
    auto* lint = static_cast<linter*>(self);
    if (lint->muted_) return;
    lint->failure_.run([&] {
      for (auto& family : lint->families_) family->fault(lint->ctx_, f);
    });
  }

  static int on_event(void* self, const char* section, const char* name,
                      const char* value) {
    auto* lint = static_cast<linter*>(self);
    const int accepted = lint->ctx_.setup.event(section, name, value);
    const bool starts = name == nullptr && value == nullptr;
    if ((accepted != 0 || starts) && !lint->muted_) {
      lint->failure_.run([&] { lint->event(section, name, value); });
    }
    return accepted;
  }

  void event(const char* section, const char* name, const char* value) {
    const std::uint32_t code =
        quorlen::code_of(quorlen::section_codes, section);
    if (name == nullptr && value == nullptr) return start(section, code);
    if (name == nullptr) {
      const block_event ev{section, code, block_marker_};
      for (auto& family : families_) family->block(ctx_, ev);
      return;
    }
    const pair_event ev = pair_of(section, code, name, value);
    for (auto& family : families_) family->pair(ctx_, ev);
  }

  void start(const char* section, std::uint32_t code) {
    for (auto& family : families_) family->section_end(ctx_);
    const bool control =
        code == quorlen::CONTROL_SECTION && ctx_.setup.control_open();
    ctx_.control =
        control ? static_cast<int>(ctx_.record->control_count - 1) : -1;
    const section_event ev{
        section, code, ctx_.span_to(ctx_.facts.start, ctx_.facts.close + 1)};
    for (auto& family : families_) family->section(ctx_, ev);
  }

  pair_event pair_of(const char* section, std::uint32_t code, const char* name,
                     const char* value) const {
    pair_event ev{section, code,    name,    value, false,
                  false,   nullptr, nullptr, true};
    ev.continuation = ctx_.facts.kind == line_kind::continuation;
    ev.known = lint_context::known_key(code, name);
    if (code == quorlen::CAMERA_SECTION || code == quorlen::CONTROL_SECTION) {
      ev.row = quorlen::find_field(code, name);
    }
    if (code == quorlen::CAMERA_SECTION) ev.fills = ctx_.record;
    if (code == quorlen::CONTROL_SECTION && ctx_.control >= 0) {
      ev.fills = &ctx_.record->controls[ctx_.control];
    }
    if (ev.row != nullptr) ev.changes = takes_count(*ev.row, value);
    return ev;
  }

  // In file order, less what follows from another finding and what the
  // file disables.
  std::vector<finding> kept_findings() {
    std::vector<finding>& found = ctx_.findings;
    // What follows from another finding: on the lines it explains, of the
    // kinds it holds back.
    const auto explained = [&](const finding& f) {
      const rule* r = find_rule(f.code);
      if (r == nullptr) return false;
      for (const explanation& e : ctx_.explained) {
        if (f.line >= e.first_line && f.line <= e.last_line &&
            holds_back(e.reach, r->id)) {
          return true;
        }
      }
      return false;
    };
    found.erase(std::remove_if(found.begin(), found.end(),
                               [&](const finding& f) {
                                 return explained(f) ||
                                        suppressions_.silenced(f);
                               }),
                found.end());
    std::stable_sort(
        found.begin(), found.end(), [](const finding& a, const finding& b) {
          return a.line != b.line ? a.line < b.line : a.column < b.column;
        });
    return std::move(found);
  }

  const std::string& bytes_;
  const std::unique_ptr<source_map> own_map_;
  const source_map& map_;
  lint_context ctx_;
  lint_options options_;
  std::vector<std::unique_ptr<rule_family>> families_;
  suppressions suppressions_;
  span block_marker_;  // the line that opened the last code block
  int library_lines_ = 0;
  bool muted_ = false;  // the bytes are not text
  std::vector<const binding*> applied_;
  kept_failure failure_;
};

}  // namespace

lint_outcome lint_bytes(const std::string& bytes, camera_setup* record) {
  return lint_bytes(bytes, record, lint_options{});
}

lint_outcome lint_bytes(const std::string& bytes, camera_setup* record,
                        const lint_options& options) {
  return linter(bytes, record, options).run();
}

}  // namespace quorlen_tool
