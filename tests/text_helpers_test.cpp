#include "parser/text_helpers.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(text_helpers, trim_and_skip) {
  char text[] = " \t a b \r\n\v\f";
  EXPECT_STREQ(quorlen::skip_space(quorlen::trim_space_end(text)), "a b");
  char blank[] = " \n ";
  EXPECT_STREQ(quorlen::trim_space_end(blank), "");
  EXPECT_EQ(*quorlen::skip_space(blank), '\0');
}

TEST(text_helpers, find_stop_char_comment_only_after_space) {
  struct row {
    const char* text;
    const char* stops;
    std::size_t at;
  } rows[] = {
      {"abc", nullptr, 3},   {"a;b", nullptr, 3},   {"a ;b", nullptr, 2},
      {";b", nullptr, 2},    {"a //b", nullptr, 2}, {"a / /b", nullptr, 6},
      {"a=b", "=:", 1},      {"a ;=b", "=:", 2},    {"a:b=c", "=:", 1},
      {"a\t//", nullptr, 2}, {"a]b", "]", 1},       {"", "]", 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.text);
    std::string copy = r.text;
    char* p = quorlen::find_stop_char(&copy[0], r.stops);
    EXPECT_EQ(static_cast<std::size_t>(p - copy.c_str()), r.at);
  }
}

}  // namespace
