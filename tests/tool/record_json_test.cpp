#include "record/record_json.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "record/record_text.h"
#include "test_support.h"

namespace {

using json = nlohmann::json;

// The document holds every field of the record.
void expect_same(const camera_setup& s, const json& doc) {
  const json& camera = doc.at("camera");
  EXPECT_EQ(camera.at("cfg_mode").get<std::int32_t>(), s.cfg_mode);
  EXPECT_EQ(camera.at("type").get<std::string>(), std::string(s.type));
  EXPECT_EQ(camera.at("width").get<std::int32_t>(), s.width);
  EXPECT_EQ(camera.at("height").get<std::int32_t>(), s.height);
  EXPECT_EQ(camera.at("bit_width").get<unsigned>(), s.bit_width);
  EXPECT_EQ(camera.at("format").get<unsigned>(), s.format);
  EXPECT_EQ(camera.at("i2c_mode").get<unsigned>(), s.i2c_mode);
  EXPECT_EQ(camera.at("i2c_addr").get<unsigned>(), s.i2c_addr);
  EXPECT_EQ(camera.at("trans_lvl").get<std::int32_t>(), s.trans_lvl);

  const json& entries = doc.at("entries");
  ASSERT_EQ(entries.size(), s.entry_count);
  for (std::uint32_t i = 0; i < s.entry_count; ++i) {
    const register_entry& e = s.entries[i];
    const json& j = entries[i];
    EXPECT_EQ(j.at("type").get<std::uint32_t>(), e.entry_type);
    EXPECT_EQ(j.at("section_code").get<std::uint32_t>() |
                  j.at("key_code").get<std::uint32_t>(),
              e.entry_type);
    EXPECT_EQ(j.at("key_code").get<std::uint32_t>() >> 16, 0u);
    ASSERT_EQ(j.at("values").size(), e.value_count);
    for (int v = 0; v < e.value_count; ++v) {
      EXPECT_EQ(j.at("values")[static_cast<std::size_t>(v)].get<std::int32_t>(),
                e.values[v]);
    }
  }

  const json& controls = doc.at("controls");
  ASSERT_EQ(controls.size(), s.control_count);
  for (std::uint32_t i = 0; i < s.control_count; ++i) {
    const control_entry& c = s.controls[i];
    const json& j = controls[i];
    EXPECT_EQ(j.at("min_value").get<std::int64_t>(), c.min_value);
    EXPECT_EQ(j.at("max_value").get<std::int64_t>(), c.max_value);
    EXPECT_EQ(j.at("step").get<std::int32_t>(), c.step);
    EXPECT_EQ(j.at("def").get<std::int64_t>(), c.def);
    EXPECT_EQ(j.at("ctrl_name").get<std::string>(), std::string(c.ctrl_name));
    EXPECT_EQ(j.at("func_name").get<std::string>(), std::string(c.func_name));
    if (c.code == nullptr) {
      EXPECT_TRUE(j.at("code").is_null());
    } else {
      EXPECT_EQ(j.at("code").get<std::string>(), std::string(c.code));
    }
  }
}

// A document read back gives the record it was written from.
void expect_reads_back(const camera_setup& setup, const std::string& text) {
  camera_setup back{};
  quorlen_tool::entry_list entries;
  quorlen_tool::read_document(text, back, entries);
  EXPECT_TRUE(quorlen_tool::same_but_entries(setup, back));
  ASSERT_EQ(entries.size(), setup.entry_count);
  for (std::uint32_t i = 0; i < setup.entry_count; ++i) {
    EXPECT_TRUE(entries.same(i, setup.entries[i]));
  }
  quorlen::release_setup(back);
}

TEST(record_json, reads_back_field_by_field) {
  for (const char* file :
       {"examples/camera.cfg", "examples/damaged.cfg",
        "tests/data/camera_only.cfg", "tests/data/dump_edges.cfg",
        "tests/data/edge_cases.cfg"}) {
    SCOPED_TRACE(file);
    const std::string path = std::string(QUORLEN_SOURCE_DIR) + "/" + file;
    camera_setup setup{};
    ASSERT_GE(quorlen_parse_config(path.c_str(), &setup), 0);
    const std::string text = quorlen_tool::json_document(file, true, setup);
    expect_same(setup, json::parse(text));
    expect_reads_back(setup, text);
    quorlen::release_setup(setup);
    EXPECT_EQ(setup.entries, nullptr);
    EXPECT_EQ(setup.control_count, 0u);
  }
}

TEST(record_json, extreme_numbers_survive_the_round_trip) {
  quorlen_test::temp_file file(
      "[control parameter]\nMIN_VALUE = -9223372036854775808\n"
      "MAX_VALUE = 9223372036854775807\nSTEP = -1\n"
      "[register parameter]\nREG = -2147483648, 0xFFFFFFFF\n");
  camera_setup setup{};
  ASSERT_EQ(quorlen_parse_config(file.path(), &setup), 0);
  const std::string text = quorlen_tool::json_document("x", true, setup);
  expect_same(setup, json::parse(text));
  expect_reads_back(setup, text);
  quorlen::release_setup(setup);
}

}  // namespace
