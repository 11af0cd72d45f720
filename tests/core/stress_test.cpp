// Large and hostile inputs, generated here at run time.  Each must parse
// without a crash into exactly the expected record and result.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "test_support.h"

namespace {

using quorlen_test::owned_setup;
using quorlen_test::temp_file;

// Under a sanitizer every realloc copies, so the one-element growth of the
// control array costs quadratic time there: those runs take fewer lines.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int scale = 20;
#else
constexpr int scale = 1;
#endif

TEST(stress, a_million_register_lines) {
  const int count = 1000000 / scale;
  std::string text = "[register parameter]\n";
  text.reserve(static_cast<std::size_t>(count) * 20);
  for (int i = 0; i < count; ++i) {
    text += "REG = 0x" + std::to_string(i % 10000) + ", 0x82\n";
  }
  temp_file file(text);
  owned_setup s;
  ASSERT_EQ(quorlen_parse_config(file.path(), &s.s), 0);
  ASSERT_EQ(s.s.entry_count, static_cast<std::uint32_t>(count));
  const register_entry& last = s.s.entries[count - 1];
  EXPECT_EQ(last.entry_type, 0x03000001u);
  EXPECT_EQ(last.value_count, 2);
  EXPECT_EQ(last.values[1], 0x82);
}

TEST(stress, a_hundred_thousand_control_sections) {
  const int count = 100000 / scale;
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += "[control parameter]\nCTRL_NAME = c" + std::to_string(i) +
            "\nDEF = " + std::to_string(i) + "\n";
  }
  temp_file file(text);
  owned_setup s;
  ASSERT_EQ(quorlen_parse_config(file.path(), &s.s), 0);
  ASSERT_EQ(s.s.control_count, static_cast<std::uint32_t>(count));
  EXPECT_STREQ(s.s.controls[count - 1].ctrl_name,
               ("c" + std::to_string(count - 1)).c_str());
  EXPECT_EQ(s.s.controls[count - 1].def, count - 1);
}

TEST(stress, a_ten_megabyte_code_block) {
  const std::string line(99, 'x');  // 100 bytes with its newline
  const int lines = 10 * 1000 * 1000 / 100;
  std::string text = "[control parameter]\n======CODE_BLOCK_START======\n";
  for (int i = 0; i < lines; ++i) text += line + "\n";
  text += "======CODE_BLOCK_END======\n";
  temp_file file(text);
  owned_setup s;
  ASSERT_EQ(quorlen_parse_config(file.path(), &s.s), 0);
  ASSERT_EQ(s.s.control_count, 1u);
  ASSERT_NE(s.s.controls[0].code, nullptr);
  EXPECT_EQ(std::strlen(s.s.controls[0].code), 10u * 1000 * 1000);
}

TEST(stress, lines_of_ten_thousand_characters) {
  // Each line arrives as pieces of 199 characters; every piece after the
  // first is a faulty line of its own.
  std::string value;
  while (value.size() < 10000 - 6) value += "1,";
  const std::string line = "REG = " + value.substr(0, 10000 - 6);
  const int count = 200;
  std::string text = "[register parameter]\n";
  for (int i = 0; i < count; ++i) text += line + "\n";
  temp_file file(text);
  owned_setup s;
  ASSERT_EQ(quorlen_parse_config(file.path(), &s.s), 3);
  ASSERT_EQ(s.s.entry_count, static_cast<std::uint32_t>(count));
  EXPECT_EQ(s.s.entries[0].value_count, 16);
}

TEST(stress, random_bytes_nul_bytes_and_unclosed_headers) {
  std::mt19937 random(20261208);
  std::string noise(1 << 20, '\0');
  for (auto& c : noise) c = static_cast<char>(random() & 0xFF);
  const std::string nuls(1 << 20, '\0');
  std::string unclosed;
  const char* headers[] = {"[camera parameter", "[control parameter",
                           "[board parameter||dev2", "[register parameter"};
  for (int i = 0; i < 10000; ++i) {
    unclosed += std::string(headers[i % 4]) + "\nREG = 1\n";
  }
  struct row {
    const char* what;
    const std::string& text;
    int result;  // -2: any line number
  } rows[] = {
      {"random bytes", noise, -2},
      {"only NUL bytes", nuls, 0},
      {"every header unclosed", unclosed, 1},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    temp_file file(r.text);
    owned_setup s;
    int result = quorlen_parse_config(file.path(), &s.s);
    if (r.result == -2) {
      EXPECT_GE(result, 0);
    } else {
      EXPECT_EQ(result, r.result);
      EXPECT_EQ(s.s.entry_count, 0u);
      EXPECT_EQ(s.s.control_count, 0u);
    }
  }
}

}  // namespace
