// One input into a fresh record, through memory and through a stream: the
// results, the events and the records must be identical.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace quorlen_fuzz;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  // Text in memory ends at its first NUL; the stream is shown the same.
  const std::string text = bytes.substr(0, bytes.find('\0'));

  camera_setup a{}, b{};
  logging_context from_text{quorlen::setup_context(&a), {}};
  logging_context from_stream{quorlen::setup_context(&b), {}};
  int r1 = parse_from_text(text.c_str(), from_text);
  int r2 = parse_from_stream(text.data(), text.size(), from_stream);
  if (r2 != -2) {
    check(r1 == r2, "text and stream results differ");
    check(from_text.log == from_stream.log, "text and stream events differ");
    check(same_record(a, b), "text and stream records differ");
  }
  check(r1 >= 0, "negative result from memory");
  check_consistent(a);
  release(a);
  release(b);

  // The raw bytes, NULs and all, through a stream.
  camera_setup c{};
  logging_context raw{quorlen::setup_context(&c), {}};
  int r3 = parse_from_stream(bytes.data(), bytes.size(), raw);
  check(r3 >= -2, "unexpected result from a stream");
  check_consistent(c);
  release(c);
  return 0;
}
