#include "input/escaped_output.h"

#include "input/diagnostics.h"

namespace quorlen_tool {

namespace {

// Where, counting back from the end, a UTF-8 sequence starts that the
// bytes do not yet finish; the size when none does.
std::size_t unfinished(const std::string& bytes) {
  const std::size_t size = bytes.size();
  for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
    const auto c = static_cast<unsigned char>(bytes[size - back]);
    if ((c & 0xC0) == 0x80) continue;  // a continuation byte
    const std::size_t length = c >= 0xF0   ? 4
                               : c >= 0xE0 ? 3
                               : c >= 0xC0 ? 2
                                           : 1;
    return length > back ? size - back : size;
  }
  return size;
}

ssize_t write_escaped(void* cookie, const char* data, std::size_t size) {
  auto& sink = *static_cast<escaped_output::sink*>(cookie);
  sink.held.append(data, size);
  const std::size_t ready = unfinished(sink.held);
  const std::string shown =
      escape_controls(std::string_view(sink.held).substr(0, ready));
  sink.held.erase(0, ready);
  if (std::fwrite(shown.data(), 1, shown.size(), sink.to) != shown.size()) {
    return -1;
  }
  return static_cast<ssize_t>(size);
}

int close_escaped(void* cookie) {
  auto& sink = *static_cast<escaped_output::sink*>(cookie);
  const std::string shown = escape_controls(sink.held);
  sink.held.clear();
  std::fwrite(shown.data(), 1, shown.size(), sink.to);
  return std::fflush(sink.to) == 0 ? 0 : EOF;
}

std::FILE* escaping(escaped_output::sink& sink, int buffering) {
  cookie_io_functions_t calls{};
  calls.write = write_escaped;
  calls.close = close_escaped;
  std::FILE* stream = fopencookie(&sink, "w", calls);
  if (stream != nullptr) std::setvbuf(stream, nullptr, buffering, BUFSIZ);
  return stream;
}

}  // namespace

// The C library's stdout and stderr are variables that may be set.
escaped_output::escaped_output()
    : out_sink_{stdout, {}},
      err_sink_{stderr, {}},
      saved_out_(stdout),
      saved_err_(stderr) {
  std::fflush(stdout);
  std::FILE* out = escaping(out_sink_, _IOFBF);
  std::FILE* err = escaping(err_sink_, _IONBF);
  if (out != nullptr) stdout = out;
  if (err != nullptr) stderr = err;
}

escaped_output::~escaped_output() {
  if (stdout != saved_out_) std::fclose(stdout);
  if (stderr != saved_err_) std::fclose(stderr);
  stdout = saved_out_;
  stderr = saved_err_;
}

}  // namespace quorlen_tool
