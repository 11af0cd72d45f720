#include "text_helpers.h"

#include <cctype>
#include <cstring>

namespace quorlen {

bool is_space(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

char* skip_space(char* text) {
  while (is_space(*text)) ++text;
  return text;
}

const char* skip_space(const char* text) {
  while (is_space(*text)) ++text;
  return text;
}

char* trim_space_end(char* text) {
  char* end = text + std::strlen(text);
  while (end > text && is_space(end[-1])) *--end = '\0';
  return text;
}

namespace {

bool opens_comment(const char* p) {
  return *p == ';' || (*p == '/' && p[1] == '/');
}

}  // namespace

char* find_stop_char(char* text, const char* stops) {
  for (char* p = text;; ++p) {
    if (*p == '\0') return p;
    if (stops != nullptr && std::strchr(stops, *p) != nullptr) return p;
    if (p > text && is_space(p[-1]) && opens_comment(p)) return p;
  }
}

}  // namespace quorlen
