#include "parser/text_helpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "test_support.h"

namespace {

TEST(text_helpers, trim_and_skip) {
  char text[] = " \t a b \r\n\v\f";
  EXPECT_EQ(quorlen::trim_space_end(text, text + sizeof text - 1), text + 6);
  EXPECT_STREQ(quorlen::skip_space(text), "a b");
  char blank[] = " \n ";
  EXPECT_EQ(quorlen::trim_space_end(blank, blank + 3), blank);
  EXPECT_STREQ(blank, "");
  EXPECT_EQ(*quorlen::skip_space(blank), '\0');
}

TEST(text_helpers, find_stop_char_comment_only_after_space) {
  using quorlen::stop_set;
  constexpr auto none = stop_set::none;
  constexpr auto sep = stop_set::separator;
  constexpr auto close = stop_set::close_bracket;
  struct row {
    const char* text;
    quorlen::stop_set stops;
    std::size_t at;
  } rows[] = {
      {"abc", none, 3},   {"a;b", none, 3},   {"a ;b", none, 2},
      {";b", none, 2},    {"a //b", none, 2}, {"a / /b", none, 6},
      {"a=b", sep, 1},    {"a ;=b", sep, 2},  {"a:b=c", sep, 1},
      {"a\t//", none, 2}, {"a]b", close, 1},  {"", close, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.text);
    std::string copy = r.text;
    char* p = quorlen::find_stop_char(&copy[0], r.stops);
    EXPECT_EQ(static_cast<std::size_t>(p - copy.c_str()), r.at);
  }
}

}  // namespace
