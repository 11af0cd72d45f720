#include "record_text.h"

#include <gtest/gtest.h>

#include <string>

#include "record_json.h"
#include "test_support.h"

namespace {

using json = nlohmann::json;

std::string control(const std::string& field, const json& value) {
  return json{{"controls", json::array({json{{field, value}}})}}.dump();
}

std::string entry(const json& fields) {
  return json{{"entries", json::array({fields})}}.dump();
}

// What format refuses: the field named, and nothing written.
TEST(record_text, refuses_what_no_file_can_give) {
  const std::string long_line(200, 'c');
  struct row {
    std::string document;
    const char* field;
  } rows[] = {
      {entry({{"section", "camera parameters"}, {"key", "REG"}}),
       "entries[0].section"},
      {entry({{"section", "register parameter"}, {"key", "REGS"}}),
       "entries[0].key"},
      {entry({{"section_code", 0x01000000}, {"key_code", 1}}),
       "entries[0].section"},
      {entry({{"section", "register parameter"}, {"key", "REG"}, {"type", 5}}),
       "entries[0].type"},
      {entry({{"section", "board parameter"},
              {"key", "REG"},
              {"values", json::array({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13,
                                      14, 15, 16, 17})}}),
       "entries[0].values"},
      {entry({{"section", "board parameter"},
              {"key", "DELAY"},
              {"values", json::array({2147483648LL})}}),
       "entries[0].values[0]"},
      {json{{"camera", {{"bit_width", 256}}}}.dump(), "camera.bit_width"},
      {json{{"camera", {{"type", std::string(50, 't')}}}}.dump(),
       "camera.type"},
      {json{{"camera", {{"type", " lead"}}}}.dump(), "camera.type"},
      {json{{"camera", {{"type", "two\nlines"}}}}.dump(), "camera.type"},
      {json{{"camera", {{"type", "x"}, {"type_hex", "zz"}}}}.dump(),
       "camera.type"},
      {control("ctrl_name", std::string(128, 'n')), "controls[0].ctrl_name"},
      {control("ctrl_name", "; a ;b"), "controls[0].ctrl_name"},
      {control("min_value", 9223372036854775808ULL), "controls[0].min_value"},
      {control("code", "[camera parameter]\n"), "controls[0].code"},
      {control("code", "  ======code_block_end======\n"), "controls[0].code"},
      {control("code", "no line end"), "controls[0].code"},
      {control("code", long_line + "\n"), "controls[0].code"},
      {control("code", "trailing blank \n"), "controls[0].code"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.document);
    camera_setup setup{};
    std::string message;
    try {
      quorlen_tool::record_from_json(json::parse(r.document), setup);
      quorlen_tool::write_config(setup);
    } catch (const quorlen_tool::unwritable& e) {
      message = e.what();
    }
    quorlen_tool::free_setup(setup);
    EXPECT_EQ(message.rfind(std::string(r.field) + ":", 0), 0u) << message;
  }
}

// Texts and values that need a careful spelling still read back exactly
// (write_config itself parses what it wrote and compares).
TEST(record_text, awkward_records_read_back_exactly) {
  // Sixteen of the widest values need the compact spelling.
  std::string sixteen =
      "{\"entries\": [{\"section\": \"register parameter\", "
      "\"key\": \"VRCMD\", \"values\": [";
  for (int i = 0; i < 16; ++i)
    sixteen += (i ? ", " : "") + std::string("-2147483648");
  sixteen += "]}]}";
  const std::string documents[] = {
      json{{"camera", {{"type", ";starts like a comment"}}}}.dump(),
      json{{"camera", {{"type", "holds ;an inline comment"}}}}.dump(),
      json{{"camera", {{"type", "//slashes"}}}}.dump(),
      control("ctrl_name", std::string(126, 'n') + " "),
      control("code", std::string(199, 'c') + "\n" + "  [not closed\n\n"),
      control("code", ""),
      json{{"camera", {{"type", "x"}, {"type_hex", "ff41"}}}}.dump(),
      sixteen,
  };
  for (const std::string& document : documents) {
    SCOPED_TRACE(document);
    camera_setup setup{};
    EXPECT_NO_THROW({
      quorlen_tool::record_from_json(json::parse(document), setup);
      quorlen_tool::write_config(setup);
    });
    quorlen_tool::free_setup(setup);
  }
}

}  // namespace
