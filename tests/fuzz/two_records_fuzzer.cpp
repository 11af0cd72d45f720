// Two inputs (split at the first 0xFF byte) into one record, as a program
// that reads two files does; and the first input with no record at all.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace quorlen_fuzz;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::size_t split = bytes.find('\xff');
  std::string first = bytes.substr(0, split);
  std::string second =
      split == std::string::npos ? first : bytes.substr(split + 1);
  first = first.substr(0, first.find('\0'));
  second = second.substr(0, second.find('\0'));

  camera_setup joint{};
  logging_context one{quorlen::setup_watch(&joint), {}};
  int r1 = parse_from_text(first.c_str(), one);
  const std::uint32_t entries = joint.entry_count;
  const std::uint32_t controls = joint.control_count;
  logging_context two{quorlen::setup_watch(&joint), {}};
  int r2 = parse_from_text(second.c_str(), two);
  check(r1 >= 0 && r2 >= 0, "negative result");
  check_consistent(joint);

  // The second parse appends exactly what it would store on its own.
  camera_setup alone{};
  logging_context solo{quorlen::setup_watch(&alone), {}};
  check(parse_from_text(second.c_str(), solo) == r2, "second result differs");
  check(joint.entry_count == entries + alone.entry_count, "entries appended");
  check(joint.control_count == controls + alone.control_count,
        "controls appended");
  for (std::uint32_t i = 0; i < alone.entry_count; ++i) {
    const register_entry& x = joint.entries[entries + i];
    const register_entry& y = alone.entries[i];
    // Every value: the places past value_count are zero in both.
    check(x.entry_type == y.entry_type && x.value_count == y.value_count &&
              std::memcmp(x.values, y.values, sizeof x.values) == 0,
          "appended entry differs");
  }
  quorlen::release_setup(alone);
  quorlen::release_setup(joint);

  // Without a record every event is refused; the result is still a line.
  logging_context none{quorlen::setup_watch(nullptr), {}};
  int r3 = parse_from_text(first.c_str(), none);
  check(r3 >= 0, "negative result without a record");
  check(none.log.empty() || r3 > 0, "refused events left no fault");
  return 0;
}
