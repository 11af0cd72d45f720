#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "setup/number_scan.h"
#include "setup/setup_internal.h"
#include "test_support.h"

namespace {

TEST(numbers, parse_int32_bases_and_clamping) {
  struct row {
    const char* text;
    std::int32_t expected;
  } rows[] = {
      {"0", 0},
      {"  42", 42},
      {"\t-5", -5},
      {"+7", 7},
      {"010", 10},  // no octal
      {"0x10", 16},
      {"0X1f", 31},
      {" 0x7FFFFFFF", INT32_MAX},
      {"0x80000000", INT32_MAX},  // bit 31 set: beyond the signed range
      {"0xFFFFFFFF", INT32_MAX},
      {"2147483647", INT32_MAX},
      {"2147483648", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"-2147483649", INT32_MIN},
      {"99999999999999999999999", INT32_MAX},
      {"-99999999999999999999999", INT32_MIN},
      {"12ab", 12},
      {"abc", 0},
      {"", 0},
      {"-0x10", 0},  // a sign before 0x means base 10
      {"0x", 0},
      {"0xg", 0},
      {"- 5", 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.text);
    EXPECT_EQ(quorlen::parse_int32(r.text), r.expected);
  }
}

TEST(numbers, parse_int64_bases_and_clamping) {
  struct row {
    const char* text;
    std::int64_t expected;
  } rows[] = {
      {"4294967298", 4294967298LL},
      {"0x7FFFFFFFFFFFFFFF", INT64_MAX},
      {"0xFFFFFFFFFFFFFFFF", INT64_MAX},
      {"9223372036854775807", INT64_MAX},
      {"9223372036854775808", INT64_MAX},
      {"-9223372036854775808", INT64_MIN},
      {"-9223372036854775809", INT64_MIN},
      {"-0x10", 0},
      {" -16", -16},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.text);
    EXPECT_EQ(quorlen::parse_int64(r.text), r.expected);
  }
}

TEST(numbers, parse_value_list_splits_at_commas) {
  struct row {
    std::string text;
    std::vector<std::int32_t> values;
  };
  std::string seventeen;
  for (int i = 1; i <= 17; ++i) seventeen += std::to_string(i) + ",";
  std::string many(3000, ',');
  for (int i = 0; i < 300; ++i) many += "7,";
  const row rows[] = {
      {"", {}},
      {",,,", {}},
      {"1,2", {1, 2}},
      {",1,,2,", {1, 2}},
      {"1, ,2", {1, 0, 2}},
      {"1, ", {1, 0}},
      {"0x30, 0x01", {0x30, 1}},
      {" 7 junk, 8", {7, 8}},
      {"0,x5", {0, 0}},
      {"-,5", {0, 5}},
      {"0x,5", {0, 5}},
      {seventeen, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
      {many, std::vector<std::int32_t>(16, 7)},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.text);
    register_entry entry{};
    for (auto& v : entry.values) v = -99;
    quorlen::parse_value_list(&entry, r.text.c_str());
    ASSERT_EQ(entry.value_count, r.values.size());
    for (std::size_t i = 0; i < r.values.size(); ++i) {
      EXPECT_EQ(entry.values[i], r.values[i]) << "value " << i;
    }
    for (std::size_t i = r.values.size(); i < QUORLEN_MAX_VALUES; ++i) {
      EXPECT_EQ(entry.values[i], 0) << "value " << i << " kept stale bytes";
    }
  }
}

TEST(numbers, lookup_is_exact_and_ends_at_the_null_row) {
  EXPECT_EQ(quorlen::lookup_code(quorlen::section_codes, "camera parameter"),
            0x01000000u);
  EXPECT_EQ(quorlen::lookup_code(quorlen::section_codes,
                                 "register parameter||dev3||inf2"),
            0x03040000u);
  EXPECT_EQ(quorlen::lookup_code(quorlen::section_codes, "Camera parameter"),
            0u);
  EXPECT_EQ(quorlen::lookup_code(quorlen::section_codes, "camera parameter "),
            0u);
  EXPECT_EQ(quorlen::lookup_code(quorlen::register_key_codes, "VRCMD"), 2u);
  EXPECT_EQ(quorlen::lookup_code(quorlen::register_key_codes, "reg"), 0u);
  EXPECT_EQ(quorlen::lookup_code(quorlen::register_key_codes, ""), 0u);
}

}  // namespace

namespace {

// The same choice of base, then the C library's own conversion.
std::int64_t reference_int64(const char* text) {
  const char* p = text;
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  int base = (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) ? 16 : 10;
  return std::strtoll(p, nullptr, base);
}

TEST(numbers, conversion_agrees_with_strtoll) {
  const char alphabet[] = "0123456789abcdefABCDEFxX+- \t,g9";
  std::mt19937 random(7);
  for (int i = 0; i < 200000; ++i) {
    std::string text = quorlen_test::random_text(random, alphabet, 24);
    if (random() % 4 == 0) text = "0x" + text;
    ASSERT_EQ(quorlen::parse_int64(text.c_str()), reference_int64(text.c_str()))
        << '"' << text << '"';
    const std::int64_t wide = reference_int64(text.c_str());
    const std::int32_t narrow =
        wide > INT32_MAX
            ? INT32_MAX
            : (wide < INT32_MIN ? INT32_MIN : static_cast<std::int32_t>(wide));
    ASSERT_EQ(quorlen::parse_int32(text.c_str()), narrow) << '"' << text << '"';
    // The lists' short-number path reads exactly as the general one.
    const quorlen::space_class is_space;
    const char* list_end = nullptr;
    const char* general_end = nullptr;
    ASSERT_EQ(quorlen::scan::convert32(text.c_str(), &list_end, is_space),
              narrow)
        << '"' << text << '"';
    quorlen::scan::convert(text.c_str(), &general_end, is_space);
    ASSERT_EQ(list_end, general_end) << '"' << text << '"';
  }
}

}  // namespace
