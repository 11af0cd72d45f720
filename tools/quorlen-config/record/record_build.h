// What an object of a json document puts in the record once it has been
// read whole: the camera's fields, an entry, a control.
#ifndef QUORLEN_RECORD_BUILD_H
#define QUORLEN_RECORD_BUILD_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "input/entry_list.h"
#include "quorlen_config_parser.h"
#include "record/document_shape.h"

namespace quorlen_tool {

// An object as read, member by member (as slots_of(kind) lists them).
struct object_read {
  shape kind;
  std::vector<char> seen;   // by member
  std::vector<char> given;  // a text given (a code may be null)
  std::vector<std::string> texts;
  std::vector<std::int64_t> numbers;
  std::vector<std::int32_t> values;  // an entry's
};

// Why an object cannot be taken: the member at fault, and why.
struct refusal {
  std::size_t slot;
  std::string why;
};

class record_builder {
 public:
  record_builder(camera_setup& record, entry_list& entries)
      : record_(record), entries_(entries) {}
  ~record_builder();
  record_builder(const record_builder&) = delete;
  record_builder& operator=(const record_builder&) = delete;

  // Takes a finished camera, entry or control; nothing for other objects.
  std::optional<refusal> finish(const object_read& o);
  // The controls move into the record, in one array.
  void done();

 private:
  std::optional<refusal> fields(const object_read& o, void* record);
  std::optional<refusal> entry(const object_read& o);
  std::optional<refusal> control(const object_read& o);

  camera_setup& record_;
  entry_list& entries_;
  std::vector<control_entry> controls_;
};

}  // namespace quorlen_tool

#endif
