#include "lsp/walk.h"

#include "input/kept_failure.h"
#include "input/load.h"
#include "lint/lint.h"
#include "quorlen_core.h"
#include "record/record_json.h"

namespace quorlen_lsp {
namespace {

struct walker {
  explicit walker(record_watch& w) : watch(w), setup(&record) {}
  ~walker() { quorlen::release_setup(record); }

  static int on_event(void* self, const char* section, const char* name,
                      const char* value) {
    auto& w = *static_cast<walker*>(self);
    const camera_setup before = w.record;
    const std::uint32_t code =
        quorlen::code_of(quorlen::section_codes, section);
    const bool in_control = code == quorlen::CONTROL_SECTION &&
                            (name != nullptr || value != nullptr) &&
                            w.setup.control_open();
    // Copied only where it is needed: most events are register lines.
    control_entry control;
    if (in_control) control = w.record.controls[w.record.control_count - 1];
    const int accepted = w.setup.event(section, name, value);
    w.failure.run([&] {
      w.watch.event({w.line, section, name, value, code, accepted != 0, before,
                     w.record, in_control ? &control : nullptr});
    });
    return accepted;
  }

  static void on_line(void* self, const quorlen::line_facts& facts) {
    auto& w = *static_cast<walker*>(self);
    w.line = facts.number;
    w.failure.run([&] { w.watch.line(facts); });
  }

  static void on_fault(void* self, const quorlen::fault& f) {
    auto& w = *static_cast<walker*>(self);
    w.failure.run([&] { w.watch.fault(f); });
  }

  record_watch& watch;
  camera_setup record{};
  quorlen::setup_watch setup;
  int line = 0;
  quorlen_tool::kept_failure failure;
};

}  // namespace

void watch_parse(const std::string& bytes, record_watch& watch) {
  walker w(watch);
  quorlen::parse_observer observer{walker::on_fault, &w, walker::on_line};
  quorlen_tool::parse_bytes(bytes, walker::on_event, &w, &observer);
  w.failure.rethrow();
  watch.done(w.record);
}

}  // namespace quorlen_lsp
