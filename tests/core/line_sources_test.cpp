#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "setup/setup_internal.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using quorlen_test::recorder;

std::vector<fs::path> configuration_files() {
  std::vector<fs::path> files;
  for (const char* dir : {"examples", "tests/data", "tests/fuzz/corpus"}) {
    fs::path root = fs::path(QUORLEN_SOURCE_DIR) / dir;
    if (!fs::exists(root)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      if (entry.is_regular_file() && entry.path().extension() != ".txt") {
        files.push_back(entry.path());
      }
    }
  }
  return files;
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

template <class Parse>
std::string record_after(Parse parse, int* result) {
  quorlen_test::owned_setup s;
  *result = quorlen::parse_into(&s.s, parse);
  return quorlen_test::describe(s.s);
}

// The same file through the path and through memory: same result, same
// events in the same order, same record.
TEST(line_sources, text_and_path_agree_on_every_configuration_file) {
  const auto files = configuration_files();
  ASSERT_GE(files.size(), 5u);
  for (const auto& file : files) {
    SCOPED_TRACE(file.string());
    std::string bytes = read_file(file);
    if (bytes.find('\0') != std::string::npos) continue;  // text ends there
    const std::string path = file.string();
    recorder from_text, from_path;
    int text_result =
        quorlen::parse_text(bytes.c_str(), recorder::handle, &from_text);
    int path_result =
        quorlen::parse_path(path.c_str(), recorder::handle, &from_path);
    EXPECT_EQ(text_result, path_result);
    EXPECT_EQ(from_text.events, from_path.events);

    int r1 = 0, r2 = 0;
    std::string a = record_after(
        [&](quorlen::entry_handler h, void* u) {
          return quorlen::parse_text(bytes.c_str(), h, u);
        },
        &r1);
    std::string b = record_after(
        [&](quorlen::entry_handler h, void* u) {
          return quorlen::parse_path(path.c_str(), h, u);
        },
        &r2);
    EXPECT_EQ(r1, r2);
    EXPECT_EQ(a, b);
  }
}

// Lines of every length up to 400, so that many of them cross the file
// source's read blocks and the 199-character limit.
TEST(line_sources, long_files_agree_across_read_blocks) {
  std::mt19937 random(42);
  const char alphabet[] = "ab =:;/[]|, \t0x19";
  std::string text = "[register parameter]\n";
  while (text.size() < 300000) {
    const int length = static_cast<int>(random() % 400);
    std::string line = random() % 2 ? "REG = " : "  ";
    for (int i = 0; i < length; ++i) {
      line += alphabet[random() % (sizeof alphabet - 1)];
    }
    text += line + (random() % 50 == 0 ? "\r\n" : "\n");
  }
  quorlen_test::temp_file file(text);
  recorder from_text, from_path, from_stream;
  const int expected =
      quorlen::parse_text(text.c_str(), recorder::handle, &from_text);
  EXPECT_EQ(quorlen::parse_path(file.path(), recorder::handle, &from_path),
            expected);
  std::FILE* stream = std::fopen(file.path(), "r");
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(quorlen::parse_open_stream(stream, recorder::handle, &from_stream),
            expected);
  std::fclose(stream);
  EXPECT_GT(from_text.events.size(), 1000u);
  EXPECT_EQ(from_path.events, from_text.events);
  EXPECT_EQ(from_stream.events, from_text.events);
}

// The file source reads in 64 KiB blocks and cuts lines in place; fgets
// over the same file is the reference, NUL bytes and block edges included,
// for the file and for the same bytes parsed in memory.
TEST(line_sources, file_reads_match_fgets_at_block_edges_and_nul_bytes) {
  constexpr std::size_t block = 64 * 1024;
  // A filler of short lines that ends exactly at offset, then the tail.
  auto at_offset = [](std::size_t offset, const std::string& tail) {
    std::string text = "[register parameter]\n";
    while (text.size() + 16 < offset) text += "REG = 0x10, 0x2\n";
    text += std::string(offset - text.size() - 1, ' ') + "\n";
    return text + tail;
  };
  std::mt19937 random(7);
  std::string noisy = "[register parameter]\n";
  const char alphabet[] = "ab =:;/[]|,\t0x1\r\n\n\n";
  while (noisy.size() < 3 * block) {
    noisy += random() % 9 == 0 ? '\0' : alphabet[random() % 18];
  }
  const std::string rows[] = {
      at_offset(block - 1, "REG = 1\nREG = 2\n"),
      at_offset(block, "REG = 1\nREG = 2\n"),
      at_offset(block + 1, "REG = 1\nREG = 2\n"),
      at_offset(block - 3, std::string("RE\0G = 1\nREG = 2\n", 17)),
      at_offset(block - 100, "REG = " + std::string(300, '7') + "\nREG=3\n"),
      at_offset(block - 199, "REG = " + std::string(193, '5') + "\nREG=4"),
      at_offset(block - 2, "REG = 9"),
      at_offset(block, ""),
      std::string(block, 'x'),
      std::string(block - 1, '\0') + "\nREG = 1",
      noisy,
      noisy + "\n",
  };
  for (std::size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    SCOPED_TRACE(i);
    quorlen_test::temp_file file(rows[i]);
    recorder from_path, from_stream;
    const int by_path =
        quorlen::parse_path(file.path(), recorder::handle, &from_path);
    std::FILE* stream = std::fopen(file.path(), "r");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(
        quorlen::parse_open_stream(stream, recorder::handle, &from_stream),
        by_path);
    std::fclose(stream);
    EXPECT_EQ(from_path.events, from_stream.events);
    recorder from_bytes;
    EXPECT_EQ(quorlen::parse_bytes(rows[i].data(), rows[i].size(),
                                   recorder::handle, &from_bytes),
              by_path);
    EXPECT_EQ(from_bytes.events, from_stream.events);
  }
}

const char* const sample = "[s]\na = 1\n  more\nword\nb = 2";

TEST(line_sources, open_stream_from_memory_and_from_a_pipe) {
  recorder expected;
  ASSERT_EQ(quorlen::parse_text(sample, recorder::handle, &expected), 4);

  std::string copy = sample;
  std::FILE* memory = fmemopen(&copy[0], copy.size(), "r");
  ASSERT_NE(memory, nullptr);
  recorder from_memory;
  EXPECT_EQ(quorlen::parse_open_stream(memory, recorder::handle, &from_memory),
            4);
  EXPECT_EQ(from_memory.events, expected.events);
  std::fclose(memory);

  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::thread writer([&] {
    const std::size_t length = std::strlen(sample);
    EXPECT_EQ(write(fds[1], sample, length), static_cast<ssize_t>(length));
    close(fds[1]);
  });
  std::FILE* piped = fdopen(fds[0], "r");
  ASSERT_NE(piped, nullptr);
  recorder from_pipe;
  EXPECT_EQ(quorlen::parse_open_stream(piped, recorder::handle, &from_pipe), 4);
  writer.join();
  EXPECT_EQ(from_pipe.events, expected.events);
  std::fclose(piped);
}

TEST(line_sources, open_stream_starts_where_the_stream_stands) {
  quorlen_test::temp_file file("[s]\na = 1\n[t]\nb = 2\n");
  std::FILE* stream = std::fopen(file.path(), "r");
  ASSERT_NE(stream, nullptr);
  char skipped[16];
  ASSERT_NE(std::fgets(skipped, sizeof skipped, stream), nullptr);
  recorder rec;
  EXPECT_EQ(quorlen::parse_open_stream(stream, recorder::handle, &rec), 0);
  EXPECT_EQ(rec.joined(), "|a|1\n[t]\nt|b|2\n");
  // Still open: it can be rewound and read again.
  std::rewind(stream);
  EXPECT_EQ(std::fgetc(stream), '[');
  std::fclose(stream);
}

// Calls a reader until it returns null and lists what each call delivered.
std::vector<std::string> pieces(quorlen::line_reader reader, void* stream,
                                int size) {
  std::vector<std::string> out;
  std::vector<char> buffer(static_cast<std::size_t>(size) + 1, '#');
  while (reader(buffer.data(), size, stream) != nullptr) {
    out.emplace_back(buffer.data());
    if (out.size() > 1000) break;
  }
  return out;
}

TEST(line_sources, read_text_line_keeps_the_fgets_contract) {
  const std::string l199(199, 'a'), l200(200, 'b'), l201(201, 'c');
  struct row {
    const char* what;
    std::string text;
    int size;
  } rows[] = {
      {"size 2: one character a call", "ab\nc", 2},
      {"199 characters and newline", l199 + "\n" + "x\n", 200},
      {"200 characters", l200 + "\n", 200},
      {"201 characters", l201 + "\n", 200},
      {"no newline at the end", "a\nlast", 200},
      {"only newlines", "\n\n\n", 200},
      {"empty text", "", 200},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    quorlen::text_cursor cursor{r.text.c_str(), r.text.size()};
    auto ours = pieces(quorlen::read_text_line, &cursor, r.size);
    std::string copy = r.text;
    std::FILE* stream = fmemopen(&copy[0], copy.size() + 1, "r");
    ASSERT_NE(stream, nullptr);
    // fmemopen gives the terminator as a byte of its own; stop before it.
    std::vector<std::string> theirs;
    std::vector<char> buffer(static_cast<std::size_t>(r.size) + 1);
    std::size_t consumed = 0;
    while (consumed < r.text.size() &&
           std::fgets(buffer.data(), r.size, stream) != nullptr) {
      theirs.emplace_back(buffer.data());
      consumed += theirs.back().size();
    }
    std::fclose(stream);
    EXPECT_EQ(ours, theirs);
  }
}

TEST(line_sources, read_text_line_with_no_room_delivers_nothing) {
  quorlen::text_cursor cursor{"abc\n", 4};
  char buffer[4] = "zz";
  EXPECT_EQ(quorlen::read_text_line(buffer, 1, &cursor), nullptr);
  EXPECT_EQ(quorlen::read_text_line(buffer, 0, &cursor), nullptr);
  EXPECT_STREQ(buffer, "zz");
  EXPECT_EQ(cursor.left, 4u);
}

TEST(line_sources, embedded_nul_bytes_are_copied_like_fgets_does) {
  const char text[] = "ab\0cd\nef";
  quorlen::text_cursor cursor{text, sizeof text - 1};
  char buffer[16];
  ASSERT_NE(quorlen::read_text_line(buffer, sizeof buffer, &cursor), nullptr);
  EXPECT_EQ(std::memcmp(buffer, "ab\0cd\n", 7), 0);
  EXPECT_EQ(cursor.left, 2u);
  ASSERT_NE(quorlen::read_text_line(buffer, sizeof buffer, &cursor), nullptr);
  EXPECT_STREQ(buffer, "ef");
  EXPECT_EQ(quorlen::read_text_line(buffer, sizeof buffer, &cursor), nullptr);
}

}  // namespace
