// One input into a fresh record, through memory, through a stream and
// through a file: the results, the events and the records must be
// identical.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"

namespace {

// One scratch file for the whole run, rewritten for each input.
const char* scratch_path(const std::string& bytes) {
  static std::string path = [] {
    char name[] = "/tmp/quorlen_fuzzXXXXXX";
    int fd = mkstemp(name);
    quorlen_fuzz::check(fd >= 0, "no scratch file");
    close(fd);
    return std::string(name);
  }();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  quorlen_fuzz::check(file != nullptr, "scratch file not writable");
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  return path.c_str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace quorlen_fuzz;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  // Text in memory ends at its first NUL; the stream is shown the same.
  const std::string text = bytes.substr(0, bytes.find('\0'));

  camera_setup a{}, b{};
  logging_context from_text{quorlen::setup_watch(&a), {}};
  logging_context from_stream{quorlen::setup_watch(&b), {}};
  int r1 = parse_from_text(text.c_str(), from_text);
  int r2 = parse_from_stream(text.data(), text.size(), from_stream);
  if (r2 != -2) {
    check(r1 == r2, "text and stream results differ");
    check(from_text.log == from_stream.log, "text and stream events differ");
    check(same_setup(a, b), "text and stream records differ");
  }
  check(r1 >= 0, "negative result from memory");
  check_consistent(a);

  camera_setup f{};
  logging_context from_file{quorlen::setup_watch(&f), {}};
  int r4 = quorlen::parse_path(scratch_path(text), logging_context::handle,
                               &from_file);
  check(r1 == r4, "text and file results differ");
  check(from_text.log == from_file.log, "text and file events differ");
  check(same_setup(a, f), "text and file records differ");
  quorlen::release_setup(a);
  quorlen::release_setup(b);
  quorlen::release_setup(f);

  // The raw bytes, NULs and all, through a stream.
  camera_setup c{};
  logging_context raw{quorlen::setup_watch(&c), {}};
  int r3 = parse_from_stream(bytes.data(), bytes.size(), raw);
  check(r3 >= -2, "unexpected result from a stream");
  check_consistent(c);
  quorlen::release_setup(c);
  return 0;
}
