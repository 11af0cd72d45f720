#include "input/escaped_output.h"

#include <unistd.h>

#include <cerrno>

#include "input/diagnostics.h"

namespace quorlen_tool {

namespace {

// What a sink holds before it writes.
constexpr std::size_t BLOCK = 64 * 1024;

void write_shown(escaped_output::sink& sink) {
  const char* data = sink.shown.data();
  std::size_t left = sink.shown.size();
  while (left > 0 && sink.error == 0) {
    const ssize_t wrote = ::write(sink.fd, data, left);
    if (wrote < 0) {
      if (errno != EINTR) sink.error = errno;
      continue;
    }
    data += wrote;
    left -= static_cast<std::size_t>(wrote);
  }
  sink.shown.clear();
}

// All the sink holds goes out: what waited for more is escaped as it is,
// since what follows now comes from the other stream.
void drain(escaped_output::sink& sink) {
  append_controls_escaped(sink.shown, sink.raw, false);
  sink.raw.clear();
  write_shown(sink);
}

ssize_t write_escaped(void* cookie, const char* data, std::size_t size) {
  auto& sink = *static_cast<escaped_output::sink*>(cookie);
  if (*sink.last != &sink) {
    drain(*sink.other);
    *sink.last = &sink;
  }
  if (sink.raw.empty()) {
    const std::string_view text(data, size);
    const std::size_t used = append_controls_escaped(sink.shown, text, true);
    sink.raw.assign(text.substr(used));
  } else {
    sink.raw.append(data, size);
    const std::size_t used =
        append_controls_escaped(sink.shown, sink.raw, true);
    sink.raw.erase(0, used);
  }
  if (sink.shown.size() >= BLOCK) write_shown(sink);
  return sink.error == 0 ? static_cast<ssize_t>(size) : -1;
}

int close_escaped(void* cookie) {
  auto& sink = *static_cast<escaped_output::sink*>(cookie);
  drain(sink);
  return sink.error == 0 ? 0 : EOF;
}

// Unbuffered, so that no byte waits above the sink while the other stream
// writes.
std::FILE* escaping(escaped_output::sink& sink) {
  cookie_io_functions_t calls{};
  calls.write = write_escaped;
  calls.close = close_escaped;
  std::FILE* stream = fopencookie(&sink, "w", calls);
  if (stream != nullptr) std::setvbuf(stream, nullptr, _IONBF, 0);
  return stream;
}

}  // namespace

// The C library's stdout and stderr are variables that may be set.
escaped_output::escaped_output()
    : out_sink_{fileno(stdout), {}, {}, &err_sink_, &last_, 0},
      err_sink_{fileno(stderr), {}, {}, &out_sink_, &last_, 0},
      saved_out_(stdout),
      saved_err_(stderr) {
  std::fflush(stdout);
  std::fflush(stderr);
  out_sink_.shown.reserve(BLOCK + BUFSIZ);
  err_sink_.shown.reserve(BLOCK + BUFSIZ);
  std::FILE* out = escaping(out_sink_);
  std::FILE* err = escaping(err_sink_);
  if (out != nullptr) stdout = out;
  if (err != nullptr) stderr = err;
}

int escaped_output::finish() {
  if (!finished_) {
    finished_ = true;
    // The sink written to last holds bytes; the other was drained when the
    // stream switched.
    if (stdout != saved_out_) std::fclose(stdout);
    if (stderr != saved_err_) std::fclose(stderr);
    stdout = saved_out_;
    stderr = saved_err_;
  }
  return out_sink_.error;
}

escaped_output::~escaped_output() { finish(); }

}  // namespace quorlen_tool
