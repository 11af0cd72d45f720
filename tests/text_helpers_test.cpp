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

// Scanned as a line is: terminated, with SCAN_SLACK bytes of the same
// alphabet after the terminator, which no answer may depend on.
std::string as_line(std::mt19937& random, const std::string& text,
                    const char* alphabet) {
  return text + '\0' +
         quorlen_test::random_text(random, alphabet, quorlen::SCAN_SLACK) +
         std::string(quorlen::SCAN_SLACK, 'x');
}

// The word-wide searches find what a byte-by-byte one finds, whatever the
// bytes around the separator and after the line.
TEST(text_helpers, find_separator_agrees_with_a_byte_scan) {
  const char alphabet[] = "=:;/89<>?+ aZ_\t]x";
  std::mt19937 random(11);
  for (int i = 0; i < 100000; ++i) {
    std::string text = quorlen_test::random_text(random, alphabet, 40);
    std::size_t expected = 0;
    while (expected < text.size() &&
           std::strchr("=:;/", text[expected]) == nullptr) {
      ++expected;
    }
    std::string line = as_line(random, text, alphabet);
    char* begin = &line[0];
    char* at = quorlen::find_separator(begin, begin + text.size());
    ASSERT_EQ(static_cast<std::size_t>(at - begin), expected)
        << '"' << text << '"';
  }
}

TEST(text_helpers, comment_mark_test_agrees_with_a_byte_scan) {
  const char alphabet[] = ";/+?=: aZ09\t,x";
  std::mt19937 random(12);
  for (int i = 0; i < 100000; ++i) {
    std::string text = quorlen_test::random_text(random, alphabet, 40);
    const std::size_t from = random() % (text.size() + 1);
    bool expected = false;
    for (std::size_t k = from; k < text.size(); ++k) {
      expected = expected || std::strchr(";/+?", text[k]) != nullptr;
    }
    std::string line = as_line(random, text, alphabet);
    ASSERT_EQ(
        quorlen::holds_comment_mark(line.c_str() + from, text.size() - from),
        expected)
        << '"' << text << "\" from " << from;
  }
}

}  // namespace
