#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "input/myers.h"

namespace {

// The runs found, checked to be common and in order; their total length.
std::size_t common_length(const std::vector<int>& a,
                          const std::vector<int>& b) {
  std::size_t total = 0, next_a = 0, next_b = 0;
  quorlen_tool::find_common_runs(
      a.size(), b.size(),
      [&](std::size_t i, std::size_t j) { return a[i] == b[j]; },
      [&](std::size_t i, std::size_t j, std::size_t length) {
        EXPECT_GE(i, next_a);
        EXPECT_GE(j, next_b);
        for (std::size_t k = 0; k < length; ++k) EXPECT_EQ(a[i + k], b[j + k]);
        next_a = i + length;
        next_b = j + length;
        total += length;
      });
  return total;
}

std::size_t lcs_by_table(const std::vector<int>& a, const std::vector<int>& b) {
  std::vector<std::size_t> row(b.size() + 1, 0);
  for (int x : a) {
    std::size_t diagonal = 0;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = x == b[j - 1] ? diagonal + 1 : std::max(row[j], row[j - 1]);
      diagonal = above;
    }
  }
  return row[b.size()];
}

// Small sequences get the longest common subsequence; sequences too far
// apart to search to the end still get a common one, and soon.
TEST(myers, runs_are_common_and_longest_where_the_search_is_cheap) {
  std::mt19937 random(23);
  for (int round = 0; round < 300; ++round) {
    const std::size_t n = random() % 60, m = random() % 60;
    const int alphabet = 1 + static_cast<int>(random() % 6);
    std::vector<int> a(n), b(m);
    for (int& x : a) x = static_cast<int>(random()) % alphabet;
    for (int& x : b) x = static_cast<int>(random()) % alphabet;
    SCOPED_TRACE(round);
    EXPECT_EQ(common_length(a, b), lcs_by_table(a, b));
  }
  std::vector<int> a(10000), b(10000);
  for (int& x : a) x = static_cast<int>(random() % 1000);
  for (int& x : b) x = static_cast<int>(random() % 1000);
  common_length(a, b);
}

}  // namespace
