// One parse of a document by the library's own engine and setup handler,
// telling a watcher about every line and what each event did to the record:
// what hover, symbols, completion and code actions read.
#ifndef QUORLEN_LSP_WALK_H
#define QUORLEN_LSP_WALK_H

#include <cstdint>
#include <string>

#include "quorlen_config_parser.h"
#include "quorlen_core.h"

namespace quorlen_lsp {

struct event_view {
  int line;                    // the library's line that caused it
  const char* section;         // as the library keeps it
  const char* name;            // null for a section start or a code block
  const char* value;           // null for a section start
  std::uint32_t code;          // the section's code, 0 for none
  bool accepted;               // false: the library could not store it
  const camera_setup& before;  // the record's top level just before
  const camera_setup& after;
  // In a control section: the newest control just before; else null.
  const control_entry* control_before;
};

class record_watch {
 public:
  virtual ~record_watch() = default;
  // Each line as the engine classified it, before its event.
  virtual void line(const quorlen::line_facts&) {}
  virtual void event(const event_view&) {}
  virtual void fault(const quorlen::fault&) {}
  // The record as the parse left it, just before it is released.
  virtual void done(const camera_setup&) {}
};

// Parses the bytes exactly as the library parses a file holding them.
// Whatever the watcher throws is thrown again once the parse is over.
void watch_parse(const std::string& bytes, record_watch& watch);

}  // namespace quorlen_lsp

#endif
