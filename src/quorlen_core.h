// What the core offers the tool beside the public function: the engine
// with its observer, the handler behind a watch of its own, the section,
// key and field tables, and the number reading.  The tool includes this,
// the public header and setup/dump.h, nothing else of the core, so that the
// handler's growth and look-ups may change without the tool noticing.
#ifndef QUORLEN_CORE_H
#define QUORLEN_CORE_H

#include <cstddef>
#include <cstdint>

#include "char_class.h"
#include "parser/line_parser.h"
#include "parser/line_sources.h"
#include "parser/text_helpers.h"
#include "quorlen_config_parser.h"
#include "setup/fields.h"
#include "setup/number_scan.h"
#include "setup/setup_tables.h"

namespace quorlen {

// The code of the row whose name equals name exactly; 0 for none.
std::uint32_t code_of(const code_row* table, const char* name);

// Told of each register entry a watched parse fills, once it is filled.
// The entry stays readable until the next event.  It must not throw: the
// handler it is called from is built without exceptions.
using entry_sink = void (*)(void* user, const register_entry& entry);

// The library's handler with its state for one parse into one record, for
// a caller that sees every event (pass handle and the watch as its user, or
// call event from a handler of its own).  Entries go to the record as
// quorlen_parse_config puts them; or, when kept_in_record is false, each is
// handed to the sink only (none may be given) and the record ends with
// none.  The library's own parse does not go through here and pays nothing
// for it.
class setup_watch {
 public:
  explicit setup_watch(camera_setup* record);
  setup_watch(camera_setup* record, entry_sink sink, void* user,
              bool kept_in_record);

  // An entry_handler; user is a setup_watch.
  static int handle(void* user, const char* section, const char* name,
                    const char* value);
  // What the library's handler returns for the event.
  int event(const char* section, const char* name, const char* value);
  // Whether the newest control section was stored, so that its keys fill
  // the record's last control; false after one that could not be.
  bool control_open() const;
  // Once the parse is over: a record whose entries were only handed on
  // gets back the entries field it had (the array the parse took is
  // released).
  void finish();

 private:
  // The handler's state, which only the core knows the shape of.
  alignas(8) unsigned char context_[16 * sizeof(void*)];
  camera_setup* record_;
  entry_sink sink_ = nullptr;
  void* user_ = nullptr;
  bool kept_ = true;
  register_entry* entries_before_ = nullptr;
};

// Releases what a parse stored in the record (entries, controls, each
// control's code), as its caller must, and clears the record.
void release_setup(camera_setup& record);

}  // namespace quorlen

#endif
