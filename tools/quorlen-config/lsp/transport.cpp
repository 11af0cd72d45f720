#include "lsp/transport.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quorlen_lsp {
namespace {

constexpr std::size_t CHUNK = 65536;

// The value of a Content-Length header anywhere in the line (so that one
// glued to junk before it is still found), or false.
bool content_length(std::string_view line, std::size_t& length) {
  static constexpr std::string_view NAME = "content-length:";
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  auto found = std::search(line.begin(), line.end(), NAME.begin(), NAME.end(),
                           [&](char a, char b) { return lower(a) == b; });
  if (found == line.end()) return false;
  std::size_t i = static_cast<std::size_t>(found - line.begin()) + NAME.size();
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  const std::size_t digits = i;
  std::size_t value = 0;
  for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
    const auto d = static_cast<std::size_t>(line[i] - '0');
    if (value > (SIZE_MAX - d) / 10) return false;
    value = value * 10 + d;
  }
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  if (i == digits || i != line.size()) return false;
  length = value;
  return true;
}

}  // namespace

file_source::file_source(std::FILE* file) : file_(file), fd_(fileno(file)) {}

std::size_t file_source::read(char* buffer, std::size_t size) {
  if (fd_ < 0) return std::fread(buffer, 1, size, file_);
  for (;;) {
    const ssize_t got = ::read(fd_, buffer, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) return 0;
  }
}

bool file_source::ready() {
  if (fd_ < 0) return false;
  pollfd p{fd_, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0;
}

void file_sink::write(std::string_view bytes) {
  // A client that has gone shows at the input's end; nothing to do here.
  std::fwrite(bytes.data(), 1, bytes.size(), file_);
  std::fflush(file_);
}

bool message_reader::fill() {
  const std::size_t had = buffer_.size();
  buffer_.resize(had + CHUNK);
  const std::size_t got = source_.read(&buffer_[had], CHUNK);
  buffer_.resize(had + got);
  return got > 0;
}

bool message_reader::line(std::string& text, bool& junk) {
  junk = false;
  std::size_t searched = at_;
  for (;;) {
    const std::size_t newline = buffer_.find('\n', searched);
    if (newline != std::string::npos) {
      if (!junk) {
        std::size_t end = newline;
        if (end > at_ && buffer_[end - 1] == '\r') --end;
        text.assign(buffer_, at_, end - at_);
      }
      at_ = newline + 1;
      return true;
    }
    if (buffer_.size() - at_ > MAX_HEADER_LINE) {
      junk = true;  // drop what is here and go on to the line's end
      buffer_.clear();
      at_ = 0;
    }
    searched = buffer_.size();
    if (!fill()) return false;
  }
}

message_reader::outcome message_reader::next(std::string& body) {
  buffer_.erase(0, at_);  // what earlier messages used
  at_ = 0;
  bool any = false;
  bool known = false;
  std::size_t length = 0;
  std::string text;
  for (;;) {
    bool junk;
    if (!line(text, junk)) return outcome::end;
    if (junk) {
      any = true;
      continue;
    }
    if (text.empty()) {
      if (!any) continue;  // stray blank lines between messages
      if (!known) return outcome::skipped;
      break;
    }
    any = true;
    std::size_t value;
    if (content_length(text, value)) {
      length = value;
      known = true;
    }
  }
  if (length > MAX_BODY) {
    for (std::size_t left = length;;) {
      const std::size_t take = std::min(left, buffer_.size() - at_);
      at_ += take;
      left -= take;
      if (left == 0) return outcome::skipped;
      buffer_.clear();
      at_ = 0;
      if (!fill()) return outcome::end;
    }
  }
  const std::size_t have = std::min(length, buffer_.size() - at_);
  body.assign(buffer_, at_, have);
  at_ += have;
  // Grown as the bytes come, not to the length the header claims.
  while (body.size() < length) {
    const std::size_t done = body.size();
    body.resize(done + std::min(length - done, std::size_t{1} << 20));
    const std::size_t got = source_.read(&body[done], body.size() - done);
    body.resize(done + got);
    if (got == 0) return outcome::end;
  }
  return outcome::message;
}

bool message_reader::waiting() {
  while (at_ < buffer_.size() &&
         (buffer_[at_] == '\r' || buffer_[at_] == '\n')) {
    ++at_;
  }
  return at_ < buffer_.size() || source_.ready();
}

void write_message(byte_sink& sink, std::string_view body) {
  std::string framed =
      "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  framed.append(body);
  sink.write(framed);
}

}  // namespace quorlen_lsp
