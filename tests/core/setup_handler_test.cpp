#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "setup/fields.h"
#include "setup/setup_internal.h"
#include "test_support.h"

namespace {

using quorlen_test::owned_setup;

int parse(const std::string& text, camera_setup* setup) {
  return quorlen::parse_into(
      setup, [&](quorlen::entry_handler handler, void* user) {
        return quorlen::parse_text(text.c_str(), handler, user);
      });
}

std::string camera(const std::string& line) {
  return "[camera parameter]\n" + line + "\n";
}

TEST(camera_keys, size_needs_exactly_two_values) {
  struct row {
    const char* line;
    std::int32_t width, height;
  } rows[] = {
      {"SIZE = 640, 480", 640, 480},
      {"SIZE = 640", 7, 9},
      {"SIZE = 640,480,1", 7, 9},
      {"SIZE = 640, ,480", 7, 9},
      {"SIZE = ,640,,480,", 640, 480},
      {"SIZE =", 7, 9},
      // Named again, directly or by a continuation: the later values.
      {"SIZE = 640, 480\nSIZE = 800, 600", 800, 600},
      {"SIZE = 640, 480\n  800, 600", 800, 600},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.line);
    owned_setup s;
    s.s.width = 7;
    s.s.height = 9;
    EXPECT_EQ(parse(camera(r.line), &s.s), 0);
    EXPECT_EQ(s.s.width, r.width);
    EXPECT_EQ(s.s.height, r.height);
  }
}

TEST(camera_keys, format_merges_one_or_two_values) {
  struct row {
    const char* line;
    std::uint16_t format;
  } rows[] = {
      {"FORMAT = 1, 2", 0x0102},         {"FORMAT = 0x30", 0x3000},
      {"FORMAT = 1, 0x300", 0x0300},  // the second value is not masked
      {"FORMAT = 0x1234, 0x56", 0x3456}, {"FORMAT = 1,2,3", 0xAAAA},
      {"FORMAT = ,,", 0xAAAA},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.line);
    owned_setup s;
    s.s.format = 0xAAAA;
    EXPECT_EQ(parse(camera(r.line), &s.s), 0);
    EXPECT_EQ(s.s.format, r.format);
  }
}

TEST(camera_keys, integers_keep_their_low_bits) {
  owned_setup s;
  EXPECT_EQ(parse("[camera parameter]\n"
                  "BIT_WIDTH = 0x10A\nI2C_ADDR = 65590\nI2C_MODE = 0x1FF\n"
                  "TRANS_LVL = 0xFFFFFFFF\nCFG_MODE = 010\n",
                  &s.s),
            0);
  EXPECT_EQ(s.s.bit_width, 0x0A);
  EXPECT_EQ(s.s.i2c_addr, 54);
  EXPECT_EQ(s.s.i2c_mode, 0xFF);
  EXPECT_EQ(s.s.trans_lvl, INT32_MAX);
  EXPECT_EQ(s.s.cfg_mode, 10);
  EXPECT_EQ(parse(camera("TRANS_LVL = -5"), &s.s), 0);
  EXPECT_EQ(s.s.trans_lvl, -5);
}

TEST(camera_keys, names_and_sections_match_exactly) {
  const char* texts[] = {
      "[camera parameter]\ncfg_mode = 3\n",
      "[Camera Parameter]\nCFG_MODE = 3\n",
      "[ camera parameter ]\nCFG_MODE = 3\n",
      "CFG_MODE = 3\n",
      // One text over two lines (clang asks for the parentheses).
      ("[camera parameter]\n======CODE_BLOCK_START======\nCFG_MODE = 3\n"
       "======CODE_BLOCK_END======\n"),
  };
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    owned_setup s;
    EXPECT_EQ(parse(text, &s.s), 0);
    EXPECT_EQ(s.s.cfg_mode, 0);
  }
}

TEST(camera_keys, type_is_cut_to_49_characters_and_terminated) {
  owned_setup s;
  std::memset(s.s.type, 'X', sizeof s.s.type);
  EXPECT_EQ(parse(camera("TYPE = abc"), &s.s), 0);
  EXPECT_STREQ(s.s.type, "abc");
  for (std::size_t i = 3; i < sizeof s.s.type; ++i) EXPECT_EQ(s.s.type[i], 0);

  EXPECT_EQ(parse(camera("TYPE = " + std::string(60, 't')), &s.s), 0);
  EXPECT_EQ(std::string(s.s.type), std::string(49, 't'));
  EXPECT_EQ(s.s.type[49], '\0');
}

TEST(setup_handler, null_record_refuses_every_event) {
  struct row {
    const char* text;
    int result;
  } rows[] = {
      {"; only a comment\n\n", 0},
      {"; c\n[unknown]\n", 2},
      {"; c\nword\n[s]\n", 2},
      {"; c\n\na = 1\n", 3},
      {"; c\n======CODE_BLOCK_START======\nx\n======CODE_BLOCK_END======\n", 4},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.text);
    EXPECT_EQ(parse(r.text, nullptr), r.result);
  }
}

TEST(register_entries, type_is_section_code_or_key_code) {
  struct row {
    const char* header;
    const char* line;
    std::uint32_t type;  // 0: no entry
  } rows[] = {
      {"[register parameter]", "REG = 1", 0x03000001},
      {"[register parameter][dev3][inf2]", "REG = 1", 0x03040001},
      {"[register parameter||dev3||inf3]", "DELAY = 1", 0x03030003},
      {"[board parameter]", "DELAY = 1", 0x02000003},
      {"[board parameter][dev2]", "DELAY = 10", 0x02020003},
      {"[board parameter][dev3][inf2]", "VRCMD = 1", 0x02040002},
      {"[board parameter][dev3][inf3]", "VRCMD = 1", 0x02030002},
      {"[register parameter]", "VALUE = 5", 0},
      {"[register parameter]", "reg = 5", 0},
      {"[register parameter][dev2]", "REG = 5", 0},
      {"[camera parameter]", "REG = 5", 0},
      {"[control parameter]", "REG = 5", 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.header) + " " + r.line);
    owned_setup s;
    EXPECT_EQ(parse(std::string(r.header) + "\n" + r.line + "\n", &s.s), 0);
    if (r.type == 0) {
      EXPECT_EQ(s.s.entry_count, 0u);
      EXPECT_EQ(s.s.entries, nullptr);
    } else {
      ASSERT_EQ(s.s.entry_count, 1u);
      EXPECT_EQ(s.s.entries[0].entry_type, r.type);
    }
  }
}

TEST(register_entries, values_continuations_and_blocks) {
  owned_setup s;
  EXPECT_EQ(parse("[register parameter]\nREG = 0x30, 0x01\n  0x31, 2\n"
                  "REG = 1, ,2\n======CODE_BLOCK_START======\nREG = 9\n"
                  "======CODE_BLOCK_END======\nREG =\n",
                  &s.s),
            0);
  ASSERT_EQ(s.s.entry_count, 4u);
  const register_entry* e = s.s.entries;
  EXPECT_EQ(e[0].value_count, 2);
  EXPECT_EQ(e[0].values[0], 0x30);
  EXPECT_EQ(e[0].values[1], 1);
  EXPECT_EQ(e[1].entry_type, 0x03000001u);  // continuation: another entry
  EXPECT_EQ(e[1].values[0], 0x31);
  EXPECT_EQ(e[2].value_count, 3);
  EXPECT_EQ(e[2].values[1], 0);
  EXPECT_EQ(e[2].values[2], 2);
  EXPECT_EQ(e[3].value_count, 0);
}

std::string register_lines(int count, int first) {
  std::string text = "[register parameter]\n";
  for (int i = 0; i < count; ++i) {
    text += "REG = " + std::to_string(first + i) + "\n";
  }
  return text;
}

TEST(register_entries, grow_by_100_across_two_calls) {
  owned_setup s;
  const std::uint32_t steps[] = {1, 99, 100, 101, 150};
  std::uint32_t parsed = 0;
  for (std::uint32_t upto : steps) {
    EXPECT_EQ(parse(register_lines(static_cast<int>(upto - parsed),
                                   static_cast<int>(parsed)),
                    &s.s),
              0);
    parsed = upto;
    ASSERT_EQ(s.s.entry_count, upto);
    EXPECT_GE(malloc_usable_size(s.s.entries),
              (upto / 100 + 1) * 100 * sizeof(register_entry));
  }
  EXPECT_EQ(parse(register_lines(150, 150), &s.s), 0);
  ASSERT_EQ(s.s.entry_count, 300u);
  for (std::uint32_t i = 0; i < 300; ++i) {
    ASSERT_EQ(s.s.entries[i].values[0], static_cast<std::int32_t>(i));
    ASSERT_EQ(s.s.entries[i].value_count, 1);
  }
}

// A caller's own array of exactly the room that the count promises: the
// parse appends into it and grows it only where that room runs out (the
// sanitizer builds catch a write past it).
TEST(register_entries, append_to_arrays_of_exactly_the_promised_room) {
  // The last rows' blocks are over a MiB, so their pages are mapped ahead;
  // with the allocator mapping blocks of 5 MiB and more on their own, the
  // last one leaves the heap for a mapping and is moved by the parse.
  struct row {
    std::uint32_t held, added;
    int mapped_from;
  } rows[] = {{1, 1, 0},      {1, 99, 0},        {99, 1, 0},
              {99, 2, 0},     {100, 99, 0},      {100, 100, 0},
              {199, 1, 0},    {250, 50, 0},      {250, 400, 0},
              {300, 1000, 0}, {20000, 30000, 0}, {60000, 40000, 5 << 20}};
  for (const auto& r : rows) {
    SCOPED_TRACE(std::to_string(r.held) + " held, " + std::to_string(r.added) +
                 " added");
    if (r.mapped_from != 0) mallopt(M_MMAP_THRESHOLD, r.mapped_from);
    owned_setup s;
    const std::size_t room = (r.held / 100 + 1) * 100;
    s.s.entries = static_cast<register_entry*>(
        std::malloc(room * sizeof(register_entry)));
    ASSERT_NE(s.s.entries, nullptr);
    // Room the parse fills holds stale bytes, as a reused heap block does.
    std::memset(s.s.entries, 0xA5, room * sizeof(register_entry));
    for (std::uint32_t i = 0; i < r.held; ++i) {
      s.s.entries[i] = register_entry{};
      s.s.entries[i].values[0] = static_cast<std::int32_t>(i);
    }
    s.s.entry_count = r.held;
    EXPECT_EQ(parse(register_lines(static_cast<int>(r.added),
                                   static_cast<int>(r.held)),
                    &s.s),
              0);
    const std::uint32_t total = r.held + r.added;
    ASSERT_EQ(s.s.entry_count, total);
    EXPECT_GE(malloc_usable_size(s.s.entries),
              (total / 100 + 1) * 100 * sizeof(register_entry));
    const std::int32_t zeros[QUORLEN_MAX_VALUES - 1] = {};
    for (std::uint32_t i = 0; i < total; ++i) {
      ASSERT_EQ(s.s.entries[i].values[0], static_cast<std::int32_t>(i)) << i;
      ASSERT_EQ(std::memcmp(s.s.entries[i].values + 1, zeros, sizeof zeros), 0)
          << "stale bytes past value_count in entry " << i;
    }
    if (r.mapped_from != 0) mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  }
}

TEST(controls, keys_fill_the_newest_control) {
  owned_setup s;
  EXPECT_EQ(parse("[control parameter]\nCTRL_NAME = gain\nMIN_VALUE = -0x10\n"
                  "MAX_VALUE = 0xFFFFFFFFFFFFFFFF\nSTEP = 4294967298\n"
                  "DEF = -3\nFUNC_NAME = set_gain\nOTHER = 1\n"
                  "[register parameter]\nREG = 1\n"
                  "[control parameter]\nCTRL_NAME = exposure\n  exp2\n",
                  &s.s),
            0);
  ASSERT_EQ(s.s.control_count, 2u);
  const control_entry& gain = s.s.controls[0];
  EXPECT_STREQ(gain.ctrl_name, "gain");
  EXPECT_STREQ(gain.func_name, "set_gain");
  EXPECT_EQ(gain.min_value, 0);
  EXPECT_EQ(gain.max_value, INT64_MAX);
  EXPECT_EQ(gain.step, 2);
  EXPECT_EQ(gain.def, -3);
  EXPECT_EQ(gain.code, nullptr);
  const control_entry& exposure = s.s.controls[1];
  EXPECT_STREQ(exposure.ctrl_name, "exp2");  // continuation sets it again
  EXPECT_STREQ(exposure.func_name, "");
  EXPECT_EQ(exposure.min_value, 0);
  EXPECT_EQ(exposure.code, nullptr);
  EXPECT_EQ(s.s.entry_count, 1u);
}

TEST(controls, names_are_cut_to_127_and_code_blocks_replace) {
  owned_setup s;
  const std::string name = std::string(199 - 12, 'n');
  EXPECT_EQ(parse("[control parameter]\nCTRL_NAME = " + name +
                      "\n"
                      "======CODE_BLOCK_START======\nfirst\n"
                      "======CODE_BLOCK_END======\n"
                      "======CODE_BLOCK_START======\n  a = 1\n\n; b\n"
                      "======CODE_BLOCK_END======\n",
                  &s.s),
            0);
  ASSERT_EQ(s.s.control_count, 1u);
  EXPECT_EQ(std::string(s.s.controls[0].ctrl_name), std::string(127, 'n'));
  ASSERT_NE(s.s.controls[0].code, nullptr);
  EXPECT_STREQ(s.s.controls[0].code, "  a = 1\n\n; b\n");
}

TEST(controls, two_calls_append) {
  owned_setup s;
  const std::string text =
      "[control parameter]\nCTRL_NAME = a\n"
      "[register parameter]\nREG = 1\n";
  EXPECT_EQ(parse(text, &s.s), 0);
  EXPECT_EQ(parse(text, &s.s), 0);
  EXPECT_EQ(s.s.control_count, 2u);
  EXPECT_EQ(s.s.entry_count, 2u);
  EXPECT_STREQ(s.s.controls[1].ctrl_name, "a");
}

// What a parse stored, as bytes: the record without its two pointers, the
// first control and the entry count.
std::string stored(const std::string& text) {
  owned_setup s;
  parse(text, &s.s);
  camera_setup plain = s.s;
  plain.entries = nullptr;
  plain.controls = nullptr;
  std::string bytes(reinterpret_cast<const char*>(&plain), sizeof plain);
  if (s.s.control_count > 0) {
    control_entry first = s.s.controls[0];
    first.code = nullptr;
    bytes.append(reinterpret_cast<const char*>(&first), sizeof first);
  }
  return bytes;
}

TEST(keys, only_the_exact_name_is_a_key) {
  std::vector<std::pair<std::string, std::string>> keys;  // section, key
  for (const auto* row = quorlen::register_key_codes; row->name; ++row) {
    keys.emplace_back("[register parameter]\n", row->name);
  }
  for (const auto* f = quorlen::fields; f->key != nullptr; ++f) {
    keys.emplace_back(f->family == quorlen::CAMERA_SECTION
                          ? "[camera parameter]\n"
                          : "[control parameter]\n",
                      f->key);
  }
  for (const auto& [section, key] : keys) {
    SCOPED_TRACE(key);
    // Keys are compared a word at a time from their start.
    EXPECT_GE(key.size(), 3u);
    const std::string line = " = 7, 9\n";
    const std::string none = stored(section);
    EXPECT_NE(stored(section + key + line), none);
    std::vector<std::string> near = {key.substr(0, key.size() - 1), key + "S",
                                     key + "_X"};
    for (std::size_t i = 0; i < key.size(); ++i) {
      std::string changed = key;
      changed[i] = static_cast<char>(changed[i] ^ 0x20);  // case, or '_' to DEL
      near.push_back(changed);
    }
    for (const auto& n : near) {
      SCOPED_TRACE(n);
      EXPECT_EQ(stored(section + n + line), none);
    }
  }
}

}  // namespace
