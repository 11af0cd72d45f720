// The binding a configuration file names in a comment, and whether it lies
// within the file's folder tree.
#include <climits>
#include <cstdlib>

#include "binding/binding.h"

namespace quorlen_tool {

namespace {

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view skip_blanks(std::string_view text) {
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  return text;
}

std::string real(const std::string& path) {
  char buffer[PATH_MAX];
  return realpath(path.c_str(), buffer) != nullptr ? buffer : "";
}

}  // namespace

std::optional<named_binding> binding_named_in(std::string_view bytes) {
  int line = 0;
  while (!bytes.empty()) {
    ++line;
    const std::size_t end = bytes.find('\n');
    const std::string_view whole = bytes.substr(0, end);
    bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
    std::string_view text = skip_blanks(whole);
    if (!text.empty() && text.front() == '[') return std::nullopt;
    if (text.rfind("//", 0) == 0) {
      text.remove_prefix(2);
    } else if (!text.empty() && (text.front() == ';' || text.front() == '#')) {
      text.remove_prefix(1);
    } else {
      continue;
    }
    text = skip_blanks(text);
    for (std::string_view word : {"quorlen-config:", "binding="}) {
      if (text.substr(0, word.size()) != word) {
        text = {};
        break;
      }
      text = skip_blanks(text.substr(word.size()));
    }
    if (text.empty()) continue;
    std::size_t length = 0;
    while (length < text.size() && !blank(text[length])) ++length;
    named_binding out;
    out.path = std::string(text.substr(0, length));
    out.line = line;
    out.column = static_cast<int>(text.data() - whole.data()) + 1;
    return out;
  }
  return std::nullopt;
}

std::string named_binding_path(const std::string& file_path,
                               const std::string& named, bool* inside) {
  const std::size_t slash = file_path.rfind('/');
  const std::string folder =
      slash == std::string::npos ? "." : file_path.substr(0, slash);
  *inside = !named.empty() && named.front() != '/';
  int depth = 0;
  for (std::size_t at = 0; at <= named.size() && *inside;) {
    std::size_t next = named.find('/', at);
    if (next == std::string::npos) next = named.size();
    const std::string part = named.substr(at, next - at);
    if (part == "..") {
      if (--depth < 0) *inside = false;
    } else if (!part.empty() && part != ".") {
      ++depth;
    }
    at = next + 1;
  }
  const std::string path = folder + "/" + named;
  const std::string real_folder = real(folder);
  const std::string real_path = real(path);
  if (*inside && !real_folder.empty() && !real_path.empty() &&
      real_path.rfind(real_folder + "/", 0) != 0) {
    *inside = false;
  }
  return path;
}

}  // namespace quorlen_tool
