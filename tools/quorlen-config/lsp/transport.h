// The protocol's framing: each message is a header block ("Content-Length:
// N", other headers ignored, an empty line) followed by N bytes of JSON.
#ifndef QUORLEN_LSP_TRANSPORT_H
#define QUORLEN_LSP_TRANSPORT_H

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace quorlen_lsp {

class byte_source {
 public:
  virtual ~byte_source() = default;
  // Up to size bytes into buffer, waiting for at least one; 0 at the end.
  virtual std::size_t read(char* buffer, std::size_t size) = 0;
  // Whether bytes can be read now without waiting.
  virtual bool ready() { return false; }
};

class byte_sink {
 public:
  virtual ~byte_sink() = default;
  virtual void write(std::string_view bytes) = 0;
};

// A stream's file descriptor when it has one (read without stdio's buffer,
// so that ready() sees what waits), otherwise the stream itself.
class file_source : public byte_source {
 public:
  explicit file_source(std::FILE* file);
  std::size_t read(char* buffer, std::size_t size) override;
  bool ready() override;

 private:
  std::FILE* file_;
  int fd_;
};

class file_sink : public byte_sink {
 public:
  explicit file_sink(std::FILE* file) : file_(file) {}
  void write(std::string_view bytes) override;

 private:
  std::FILE* file_;
};

// Bodies beyond this are read past and dropped: a 50 MB document escaped as
// JSON stays well below it, and a 32-bit process could not hold much more.
constexpr std::size_t MAX_BODY = std::size_t{256} << 20;
// A header line longer than this is junk, read past to its end.
constexpr std::size_t MAX_HEADER_LINE = 8192;

class message_reader {
 public:
  explicit message_reader(byte_source& source) : source_(source) {}

  enum class outcome { message, skipped, end };
  // The next message's body.  skipped: a header block without a usable
  // Content-Length, or a body too large; the bytes are passed over.
  outcome next(std::string& body);
  // Whether more input is already here or arriving.
  bool waiting();

 private:
  bool fill();
  // The next line without its line end; false at the end of input.
  bool line(std::string& text, bool& junk);

  byte_source& source_;
  std::string buffer_;
  std::size_t at_ = 0;
};

void write_message(byte_sink& sink, std::string_view body);

}  // namespace quorlen_lsp

#endif
