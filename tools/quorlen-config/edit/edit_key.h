// `get` and `set` of one key, on a file's bytes: what the record holds for
// the key, and the file changed so that it holds a new value, with every
// other byte kept.
#ifndef QUORLEN_EDIT_KEY_H
#define QUORLEN_EDIT_KEY_H

#include <string>
#include <vector>

#include "edit/edit_value.h"
#include "lint/lint.h"

namespace quorlen_tool {

struct get_outcome {
  bool ok = false;
  std::string value;  // held_text's spelling, unescaped
  std::string error;  // for people, escaped
  std::vector<std::string> notes;
};

// Throws std::bad_alloc when there is no memory to parse with.
get_outcome get_value(const std::string& bytes, const record_key& key);

// A note about another line of the file than the one edited.
struct line_note {
  int line;
  int column;
  std::string text;  // for people, escaped
};

struct set_outcome {
  bool ok = false;
  std::string error;  // why nothing changes, for people, escaped
  int line = 0;       // the editor's line that was, or would have been,
                      // rewritten or added; 0 when none was chosen
  std::string bytes;  // the file after the edit
  edit change;        // the bytes [begin, end) of the old file became text:
                      // whole lines, or new lines between two
  std::string holds;  // what the record holds for the key afterwards
  std::vector<std::string> notes;
  // The lines of the key's section whose unknown key, which the library
  // ignores, is nearest to the key asked for: a misspelling of it.
  std::vector<line_note> twins;
};

// The line that sets the key last is rewritten, keeping its indentation,
// the spacing around its separator and its comment; a key the section does
// not set is added after its last name/value line.  A value that would not
// be stored as given is refused unless force is set; one that no line can
// carry is always refused.  Whatever is written has been parsed back: the
// record differs from the one before in the key's member alone, and the
// file has the same faulty lines.  Throws std::bad_alloc when there is no
// memory to parse with.
set_outcome set_value(const std::string& bytes, const record_key& key,
                      const std::string& value, bool force);

}  // namespace quorlen_tool

#endif
