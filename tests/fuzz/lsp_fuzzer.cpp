// The language server's message loop takes any bytes: it ends, with status
// 0 or 1, and what it wrote is a sequence of framed JSON-RPC messages, each
// an answer (a result or an error) or published diagnostics whose ranges
// run forwards.  An input that starts with 0x1E holds message bodies
// separated by 0x1E, framed here with their true lengths, so that changes
// inside a body keep the framing; any other input is the stream itself.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "lsp/lsp.h"
#include "lsp/protocol.h"

namespace {

using quorlen_fuzz::check;
using quorlen_lsp::json;

constexpr char SEPARATOR = '\x1e';

// Delivers the input in reads of varying size, as a pipe does.
class string_source : public quorlen_lsp::byte_source {
 public:
  explicit string_source(std::string_view bytes) : bytes_(bytes) {}
  std::size_t read(char* buffer, std::size_t size) override {
    const std::size_t take =
        std::min({size, bytes_.size() - at_, std::size_t{1} + at_ % 509});
    bytes_.copy(buffer, take, at_);
    at_ += take;
    return take;
  }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
};

class string_sink : public quorlen_lsp::byte_sink {
 public:
  void write(std::string_view bytes) override { out.append(bytes); }
  std::string out;
};

std::string framed(std::string_view bodies) {
  std::string stream;
  for (std::size_t start = 0; start <= bodies.size();) {
    std::size_t end = bodies.find(SEPARATOR, start);
    if (end == std::string_view::npos) end = bodies.size();
    const std::string_view body = bodies.substr(start, end - start);
    stream += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    stream += body;
    start = end + 1;
  }
  return stream;
}

void check_range(const json& range) {
  const json& a = range.at("start");
  const json& b = range.at("end");
  const auto line = [](const json& p) {
    return p.at("line").get<std::size_t>();
  };
  const auto character = [](const json& p) {
    return p.at("character").get<std::size_t>();
  };
  check(
      line(a) < line(b) || (line(a) == line(b) && character(a) <= character(b)),
      "a range runs backwards");
}

void check_output(std::string_view out) {
  static constexpr std::string_view HEADER = "Content-Length: ";
  while (!out.empty()) {
    check(out.substr(0, HEADER.size()) == HEADER, "a message without a header");
    const std::size_t blank = out.find("\r\n\r\n");
    check(blank != std::string_view::npos, "a header without its end");
    const std::size_t length =
        std::stoul(std::string(out.substr(HEADER.size(), blank)));
    check(blank + 4 + length <= out.size(), "a body shorter than its length");
    const json m = json::parse(out.substr(blank + 4, length), nullptr, false);
    check(m.is_object() && m.value("jsonrpc", "") == "2.0", "not JSON-RPC");
    if (m.contains("id")) {
      check(m.contains("result") != m.contains("error"),
            "an answer needs a result or an error");
    } else {
      check(m.value("method", "") == "textDocument/publishDiagnostics",
            "the only notification is published diagnostics");
      for (const json& d : m.at("params").at("diagnostics")) {
        check_range(d.at("range"));
      }
    }
    out.remove_prefix(blank + 4 + length);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string input = !bytes.empty() && bytes[0] == SEPARATOR
                                ? framed(bytes.substr(1))
                                : std::string(bytes);
  string_source source(input);
  string_sink sink;
  const int status = quorlen_lsp::run_lsp(source, sink);
  check(status == 0 || status == 1, "an exit status other than 0 or 1");
  check_output(sink.out);
  return 0;
}
