// The lint only watches: with it and without it, one input gives the same
// result and the same record, and the lint's own map of the file's lines
// agrees with the library's count.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "lint/lint.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace quorlen_fuzz;
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  camera_setup plain{};
  logging_context alone{quorlen::setup_watch(&plain), {}};
  const int expected = parse_from_stream(bytes.data(), bytes.size(), alone);
  if (expected == -2) return 0;  // no stream could be made

  camera_setup watched{};
  const quorlen_tool::lint_outcome outcome =
      quorlen_tool::lint_bytes(bytes, &watched);
  check(outcome.result == expected, "results differ with the lint watching");
  check(same_setup(plain, watched), "records differ with the lint watching");
  check(outcome.library_lines == outcome.pieces,
        "the lint counts the library's lines differently");
  for (const quorlen_tool::finding& f : outcome.findings) {
    check(f.line >= 1 && f.line <= outcome.file_lines + 1,
          "finding off the file");
    check(f.column >= 1, "finding before the line");
    check(f.end_line == f.line && f.end_column > f.column,
          "finding without its span");
    check(quorlen_tool::find_rule(f.code) != nullptr, "finding without a rule");
  }
  quorlen::release_setup(plain);
  quorlen::release_setup(watched);
  return 0;
}
