// What two configuration files set differently, as one model that is shown
// as text for people or as JSON for programs.
#ifndef QUORLEN_RECORD_DIFF_H
#define QUORLEN_RECORD_DIFF_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "input/load.h"
#include "record/json_writer.h"

namespace quorlen_tool {

// A field's value as it is shown: a number (in hex where the field table
// says), a text, or no code block.
struct shown_value {
  enum { number, text, none } kind;
  std::int64_t n;
  std::string t;
  bool hex;
};

struct field_change {
  std::string name;  // the member's name in capitals (WIDTH), or code
  shown_value a, b;
};

enum class change_kind : unsigned char { changed, removed, added };

// An entry of A, of B, or one of each; indices into the files' entry lists
// (which a record's 32-bit count bounds).
struct entry_change {
  change_kind kind;
  std::uint32_t a, b;
};

struct section_changes {
  std::uint32_t section;  // the section's code
  std::vector<entry_change> changes;
};

// Controls are matched by CTRL_NAME: the k-th control of a name in A meets
// the k-th of that name in B.
struct control_change {
  change_kind kind;
  std::string name;
  std::size_t a, b;  // indices of the controls
  std::vector<field_change> fields;
};

struct record_diff {
  std::vector<field_change> camera;
  std::vector<section_changes> sections;  // in the order they first occur
  std::vector<control_change> controls;
  bool same() const {
    return camera.empty() && sections.empty() && controls.empty();
  }
};

// Camera fields, the entries of each section as a sequence (a shortest
// edit script), and controls.  Both files must have been loaded with their
// entries in the list.
record_diff diff_files(const loaded_file& a, const loaded_file& b);

void write_text(std::FILE* out, const record_diff& diff, const loaded_file& a,
                const loaded_file& b);
void write_json(json_writer& out, const record_diff& diff, const loaded_file& a,
                const loaded_file& b);

}  // namespace quorlen_tool

#endif
