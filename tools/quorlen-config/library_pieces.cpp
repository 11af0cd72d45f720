#include "library_pieces.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "parser/line_sources.h"

namespace quorlen_tool {

std::vector<piece> library_pieces(const std::string& bytes) {
  constexpr std::size_t room = quorlen::MAX_LINE - 1;
  std::vector<piece> pieces;
  std::size_t at = 0;
  int line = 1;
  std::size_t column0 = 0;
  while (at < bytes.size()) {
    std::size_t take = std::min(room, bytes.size() - at);
    const void* newline = std::memchr(bytes.data() + at, '\n', take);
    if (newline != nullptr) {
      take = static_cast<std::size_t>(static_cast<const char*>(newline) -
                                      (bytes.data() + at)) +
             1;
    }
    pieces.push_back({line, column0, at, take});
    at += take;
    if (newline != nullptr) {
      ++line;
      column0 = 0;
    } else {
      column0 += take;
    }
  }
  return pieces;
}

int parse_bytes(const std::string& bytes, quorlen::entry_handler handler,
                void* user, quorlen::parse_observer* observer) {
  const int result =
      quorlen::parse_bytes(bytes.data(), bytes.size(), handler, user, observer);
  if (result < 0) throw std::bad_alloc();
  return result;
}

}  // namespace quorlen_tool
