#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "setup/setup_internal.h"
#include "test_support.h"

namespace {

using quorlen_test::owned_setup;
using quorlen_test::temp_file;

const char* const overview =
    "[camera parameter]\nSIZE = 640, 480\n[register parameter]\n"
    "REG = 0x30, 0x01\n[control parameter]\nCTRL_NAME = gain\n";

camera_setup patterned() {
  camera_setup s;
  std::memset(&s, 0x5A, sizeof s);
  return s;
}

TEST(parse_config, overview_example) {
  temp_file file(overview);
  owned_setup s;
  EXPECT_EQ(quorlen_parse_config(file.path(), &s.s), 0);
  EXPECT_EQ(s.s.width, 640);
  EXPECT_EQ(s.s.height, 480);
  ASSERT_EQ(s.s.entry_count, 1u);
  EXPECT_EQ(s.s.entries[0].entry_type, 0x03000001u);
  EXPECT_EQ(s.s.entries[0].value_count, 2);
  EXPECT_EQ(s.s.entries[0].values[0], 0x30);
  EXPECT_EQ(s.s.entries[0].values[1], 1);
  ASSERT_EQ(s.s.control_count, 1u);
  EXPECT_STREQ(s.s.controls[0].ctrl_name, "gain");
}

TEST(parse_config, unreadable_input_returns_minus_one_untouched) {
  temp_file empty("");
  char dir[] = "/tmp/quorlen_dirXXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  struct row {
    const char* what;
    const char* path;
    int result;
  } rows[] = {
      {"missing file", "/nonexistent/quorlen.cfg", -1},
      {"null path", nullptr, -1},
      {"directory", dir, -1},
      {"empty file", empty.path(), 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    camera_setup s = patterned();
    const camera_setup before = s;
    EXPECT_EQ(quorlen_parse_config(r.path, &s), r.result);
    EXPECT_EQ(std::memcmp(&s, &before, sizeof s), 0);
  }
  rmdir(dir);
}

// A stream that delivers its text, then fails the next read.
struct failing_source {
  std::string text;
  std::size_t at = 0;
  static ssize_t read(void* cookie, char* buffer, std::size_t size) {
    auto* self = static_cast<failing_source*>(cookie);
    if (self->at == self->text.size()) {
      errno = EIO;
      return -1;
    }
    std::size_t n = std::min(size, self->text.size() - self->at);
    std::memcpy(buffer, self->text.data() + self->at, n);
    self->at += n;
    return static_cast<ssize_t>(n);
  }
};

int parse_failing(const std::string& text, camera_setup* setup) {
  failing_source source{text};
  cookie_io_functions_t io{failing_source::read, nullptr, nullptr, nullptr};
  std::FILE* stream = fopencookie(&source, "r", io);
  if (stream == nullptr) return -2;
  int result = quorlen::parse_into(
      setup, [&](quorlen::entry_handler handler, void* user) {
        return quorlen::parse_open_stream(stream, handler, user);
      });
  std::fclose(stream);
  return result;
}

TEST(parse_config, read_failure_part_way_puts_the_record_back) {
  const std::string text =
      std::string(overview) +
      "[camera parameter]\nCFG_MODE = 4\nTYPE = x\n"
      "[control parameter]\n======CODE_BLOCK_START======\nbody\n"
      "======CODE_BLOCK_END======\n[register parameter]\nREG = 5\n";
  camera_setup fresh{};
  EXPECT_EQ(parse_failing(text, &fresh), -1);
  const camera_setup zero{};
  EXPECT_EQ(std::memcmp(&fresh, &zero, sizeof fresh), 0);

  // A record that already holds entries keeps them, with their counts.
  owned_setup s;
  temp_file file(text);
  ASSERT_EQ(quorlen_parse_config(file.path(), &s.s), 0);
  std::string many = "[register parameter]\n";
  for (int i = 0; i < 250; ++i) many += "REG = 7\n";
  many +=
      "[camera parameter]\nCFG_MODE = 9\nSIZE = 1, 1\n"
      "[control parameter]\nCTRL_NAME = z\n";
  camera_setup before = s.s;
  EXPECT_EQ(parse_failing(many, &s.s), -1);
  EXPECT_EQ(s.s.entry_count, before.entry_count);
  EXPECT_EQ(s.s.control_count, before.control_count);
  EXPECT_EQ(s.s.cfg_mode, 4);
  EXPECT_EQ(s.s.width, 640);
  EXPECT_EQ(s.s.entries[1].values[0], 5);
  EXPECT_STREQ(s.s.controls[1].code, "body\n");
}

TEST(parse_config, same_file_twice_doubles_the_arrays) {
  temp_file file(overview);
  owned_setup s;
  EXPECT_EQ(quorlen_parse_config(file.path(), &s.s), 0);
  EXPECT_EQ(quorlen_parse_config(file.path(), &s.s), 0);
  EXPECT_EQ(s.s.entry_count, 2u);
  EXPECT_EQ(s.s.control_count, 2u);
  EXPECT_EQ(s.s.entries[1].entry_type, 0x03000001u);
}

TEST(parse_config, first_faulty_line_from_a_file) {
  temp_file file("[camera parameter]\nCFG_MODE = 1\nword\n[bad\nTYPE = t\n");
  owned_setup s;
  EXPECT_EQ(quorlen_parse_config(file.path(), &s.s), 3);
  EXPECT_EQ(s.s.cfg_mode, 1);
  EXPECT_STREQ(s.s.type, "t");
  EXPECT_EQ(quorlen_parse_config(file.path(), nullptr), 1);
}

TEST(parse_config, a_callers_strtok_scan_survives_a_call) {
  temp_file file("[register parameter]\nREG = 1, 2, 3\nREG = 4,5\n");
  char list[] = "first,second,third";
  ASSERT_STREQ(std::strtok(list, ","), "first");
  owned_setup s;
  EXPECT_EQ(quorlen_parse_config(file.path(), &s.s), 0);
  EXPECT_STREQ(std::strtok(nullptr, ","), "second");
  EXPECT_STREQ(std::strtok(nullptr, ","), "third");
  EXPECT_EQ(s.s.entries[0].value_count, 3);
}

TEST(parse_config, parses_into_separate_records_on_several_threads) {
  std::string text = "[camera parameter]\nSIZE = 1, 2\n[register parameter]\n";
  for (int i = 0; i < 500; ++i) {
    text += "REG = " + std::to_string(i) + ", " + std::to_string(i * 3) +
            ", 0x" + std::to_string(i % 10) + "\n";
  }
  temp_file file(text);
  constexpr int threads = 4;
  std::vector<camera_setup> records(threads);
  std::vector<int> results(threads, -2);
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&, t] {
      for (int round = 0; round < 5; ++round) {
        results[static_cast<std::size_t>(t)] = quorlen_parse_config(
            file.path(), &records[static_cast<std::size_t>(t)]);
      }
    });
  }
  for (auto& w : workers) w.join();
  for (int t = 0; t < threads; ++t) {
    camera_setup& r = records[static_cast<std::size_t>(t)];
    EXPECT_EQ(results[static_cast<std::size_t>(t)], 0);
    ASSERT_EQ(r.entry_count, 2500u);
    for (std::uint32_t i = 0; i < r.entry_count; ++i) {
      const int n = static_cast<int>(i % 500);
      ASSERT_EQ(r.entries[i].value_count, 3);
      ASSERT_EQ(r.entries[i].values[0], n);
      ASSERT_EQ(r.entries[i].values[1], n * 3);
      ASSERT_EQ(r.entries[i].values[2], n % 10);
    }
    quorlen::release_setup(r);
  }
}

}  // namespace
