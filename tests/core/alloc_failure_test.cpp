// Linked with --wrap for malloc, realloc, calloc and free: while armed, the
// Nth allocation (or the Nth and every later one) fails, and allocations
// made while tracking are counted until they are freed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

#include "parser/line_parser.h"
#include "setup/setup_internal.h"
#include "test_support.h"

extern "C" {
void* __real_malloc(std::size_t size);
void* __real_realloc(void* p, std::size_t size);
void* __real_calloc(std::size_t count, std::size_t size);
void __real_free(void* p);
}

namespace {

struct injector {
  bool armed = false;
  bool persistent = false;
  long fail_at = 0;
  long calls = 0;
  long injected = 0;
  bool tracking = false;
  long live = 0;

  bool fail_now() {
    if (!armed) return false;
    ++calls;
    if (calls == fail_at || (persistent && calls > fail_at)) {
      ++injected;
      return true;
    }
    return false;
  }
} alloc;

}  // namespace

extern "C" {
void* __wrap_malloc(std::size_t size) {
  if (alloc.fail_now()) return nullptr;
  void* p = __real_malloc(size);
  if (p != nullptr && alloc.tracking) ++alloc.live;
  return p;
}
void* __wrap_realloc(void* p, std::size_t size) {
  if (alloc.fail_now()) return nullptr;
  void* q = __real_realloc(p, size);
  if (q != nullptr && p == nullptr && alloc.tracking) ++alloc.live;
  return q;
}
void* __wrap_calloc(std::size_t count, std::size_t size) {
  if (alloc.fail_now()) return nullptr;
  void* p = __real_calloc(count, size);
  if (p != nullptr && alloc.tracking) ++alloc.live;
  return p;
}
void __wrap_free(void* p) {
  if (p != nullptr && alloc.tracking) --alloc.live;
  __real_free(p);
}
}

namespace {

// Reaches every allocation: the first entry, growth at 100 and 200, the
// first control and a second one, a code block longer than its first
// buffer, and a second block in the same control.
std::string every_allocation() {
  std::string text = "[camera parameter]\nSIZE = 640, 480\nTYPE = t\n";
  text += "[register parameter]\n";
  for (int i = 0; i < 230; ++i) text += "REG = " + std::to_string(i) + "\n";
  text +=
      "[control parameter]\nCTRL_NAME = a\n"
      "======CODE_BLOCK_START======\nshort\n======CODE_BLOCK_END======\n";
  text += "[control parameter]\nCTRL_NAME = b\n======CODE_BLOCK_START======\n";
  for (int i = 0; i < 20; ++i)
    text += "line " + std::to_string(i) + " of code\n";
  text +=
      "======CODE_BLOCK_END======\n"
      "======CODE_BLOCK_START======\nagain\n======CODE_BLOCK_END======\n"
      "STEP = 2\n";
  return text;
}

int count_lines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// Through a file, as the exported call reads: without memory for its block
// the reader falls back to a line at a time.
int parse(const std::string& text, camera_setup* setup) {
  const quorlen_test::temp_file file(text);
  return quorlen::parse_into(
      setup, [&](quorlen::entry_handler handler, void* user) {
        return quorlen::parse_path(file.path(), handler, user);
      });
}

// Everything the record holds can be read, and nothing is out of place.
void expect_consistent(const camera_setup& s, int passes) {
  if (s.entry_count > 0) {
    ASSERT_NE(s.entries, nullptr);
  }
  if (s.control_count > 0) {
    ASSERT_NE(s.controls, nullptr);
  }
  // Each pass stores its lines in file order.
  std::int32_t previous = -1;
  int seen = 1;
  for (std::uint32_t i = 0; i < s.entry_count; ++i) {
    const register_entry& e = s.entries[i];
    ASSERT_EQ(e.entry_type, 0x03000001u);
    ASSERT_EQ(e.value_count, 1);
    if (e.values[0] <= previous) ++seen;
    previous = e.values[0];
  }
  ASSERT_LE(seen, passes);
  for (std::uint32_t i = 0; i < s.control_count; ++i) {
    const control_entry& c = s.controls[i];
    ASSERT_NE(std::memchr(c.ctrl_name, '\0', sizeof c.ctrl_name), nullptr);
    ASSERT_NE(std::memchr(c.func_name, '\0', sizeof c.func_name), nullptr);
    if (c.code != nullptr) {
      ASSERT_LT(std::strlen(c.code), 1000u);
    }
  }
}

struct baseline {
  std::uint32_t entries;
  std::uint32_t controls;
};

void sweep(bool persistent, bool prefilled) {
  const std::string text = every_allocation();
  const int lines = count_lines(text);
  baseline full{};
  {
    quorlen_test::owned_setup s;
    if (prefilled) {
      ASSERT_EQ(parse(text, &s.s), 0);
    }
    ASSERT_EQ(parse(text, &s.s), 0);
    full = {s.s.entry_count, s.s.control_count};
  }
  for (long n = 1; n < 100000; ++n) {
    SCOPED_TRACE("allocation " + std::to_string(n));
    camera_setup s{};
    alloc.tracking = true;
    if (prefilled) {
      ASSERT_EQ(parse(text, &s), 0);
    }
    alloc = injector{true, persistent, n, 0, 0, true, alloc.live};
    int result = parse(text, &s);
    alloc.armed = false;
    const long injected = alloc.injected;

    EXPECT_GE(result, 0);
    EXPECT_LE(result, lines);
    if (injected > 0 && result == 0) {
      // Reported as success: then nothing may be missing.
      EXPECT_EQ(s.entry_count, full.entries) << "a failure reported as success";
      EXPECT_EQ(s.control_count, full.controls);
    }
    expect_consistent(s, prefilled ? 2 : 1);
    if (!persistent) {
      EXPECT_GE(s.entry_count + 1, full.entries);
      EXPECT_GE(s.control_count + 1, full.controls);
    }
    quorlen::release_setup(s);
    alloc.tracking = false;
    EXPECT_EQ(alloc.live, 0) << "leaked allocations";
    alloc.live = 0;
    if (injected == 0) {
      EXPECT_GT(n, 5) << "the sweep reached too few allocations";
      std::printf("sweep: %ld allocations, each failed in turn\n", n - 1);
      return;
    }
  }
  FAIL() << "the sweep did not end";
}

TEST(allocation_failure, transient_failures) { sweep(false, false); }
TEST(allocation_failure, persistent_failures) { sweep(true, false); }
TEST(allocation_failure, transient_failures_on_a_second_call) {
  sweep(false, true);
}
TEST(allocation_failure, persistent_failures_on_a_second_call) {
  sweep(true, true);
}

}  // namespace
