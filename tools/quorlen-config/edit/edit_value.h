// What `get` and `set` address, how a value reads back, and whether a value
// given to `set` would be stored as given.  Everything here is read from the
// field table, so a new key needs nothing of its own.
#ifndef QUORLEN_EDIT_VALUE_H
#define QUORLEN_EDIT_VALUE_H

#include <string>

#include "quorlen_core.h"

namespace quorlen_tool {

// camera.NAME, or control.CTRL_NAME.NAME: the name is what follows the last
// '.', so a control's name may hold dots itself.
struct record_key {
  std::string text;  // as given
  const quorlen::field* field = nullptr;
  bool control = false;      // a control's key, not the camera's
  std::string control_name;  // the control's CTRL_NAME
};

// Reads a key; false with the reason.
bool parse_record_key(const std::string& text, record_key& key,
                      std::string& why);

// What a camera_setup or control_entry holds for a row, spelt as `set`
// takes it back: numbers in decimal, SIZE as "width, height", FORMAT as its
// two bytes "high, low", texts as they are (unescaped).
std::string held_text(const void* record, const quorlen::field& f);

// The verdict on a value for a row.
struct value_check {
  // Nothing makes the record hold it: no line can carry the value, or a
  // line with it changes nothing.  --force does not help.
  bool hopeless = false;
  std::string problem;  // why it would not be stored as given; empty if so
  std::string holds;    // what the record would hold instead
};
value_check check_value(const quorlen::field& f, const std::string& value);

// The keys get and set take, one line each, for --help.
std::string key_help();

}  // namespace quorlen_tool

#endif
