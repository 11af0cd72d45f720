#include "record/record_text.h"

#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "input/load.h"
#include "record/record_json.h"

namespace {

using json = nlohmann::ordered_json;

// A small record's document, as json writes it.
json base_document() {
  static const char text[] =
      "[camera parameter]\nTYPE = cam\nSIZE = 640, 480\n"
      "[register parameter]\nREG = 0x3000, 0x01\n"
      "[control parameter]\nCTRL_NAME = gain\nSTEP = 1\nMAX_VALUE = 255\n"
      "======CODE_BLOCK_START======\nset(value)\n"
      "======CODE_BLOCK_END======\n";
  quorlen_tool::loaded_file file;
  quorlen_tool::load(text, quorlen_tool::entries_go::record, file);
  return json::parse(
      quorlen_tool::json_document("base.cfg", true, file.record));
}

// The message format gives for a document, or empty when it writes a file.
std::string format_message(const std::string& document) {
  camera_setup setup{};
  quorlen_tool::entry_list entries;
  std::string message;
  try {
    quorlen_tool::read_document(document, setup, entries);
    quorlen_tool::write_config(setup, &entries);
  } catch (const quorlen_tool::unwritable& e) {
    message = e.what();
  }
  quorlen::release_setup(setup);
  return message;
}

// What format refuses: anything json does not write, and records that no
// file can give; the JSON path of the first problem named.
TEST(record_text, format_refuses_with_the_path_of_the_first_problem) {
  struct row {
    const char* name;
    std::function<void(json&)> change;
    const char* path;  // the message starts "path: why"
  } rows[] = {
      {"empty object", [](json& d) { d = json::object(); }, "$.file: missing"},
      {"lint report",
       [](json& d) {
         d = json{{"findings", json::array()}};
       },
       "$.findings: unknown field"},
      {"missing height", [](json& d) { d["camera"].erase("height"); },
       "$.camera.height: missing"},
      {"misspelt field",
       [](json& d) { d["camera"]["i2c_adr"] = d["camera"]["i2c_addr"]; },
       "$.camera.i2c_adr: unknown field"},
      {"text for a number", [](json& d) { d["camera"]["width"] = "640"; },
       "$.camera.width: wrong type"},
      {"fraction", [](json& d) { d["camera"]["width"] = 1.5; },
       "$.camera.width: not a whole number"},
      {"beyond 8 bits", [](json& d) { d["camera"]["bit_width"] = 256; },
       "$.camera.bit_width: beyond"},
      {"beyond 64 bits",
       [](json& d) { d["controls"][0]["min_value"] = 9223372036854775808ULL; },
       "$.controls[0].min_value: beyond"},
      {"name and code disagree",
       [](json& d) { d["entries"][0]["section"] = "board parameter"; },
       "$.entries[0].section_code: 50331648 is not the code"},
      {"type disagrees", [](json& d) { d["entries"][0]["type"] = 5; },
       "$.entries[0].type: 5 is not"},
      {"unknown section",
       [](json& d) { d["entries"][0]["section"] = "camera parameters"; },
       "$.entries[0].section: 'camera parameters' is no board"},
      {"camera section for an entry",
       [](json& d) { d["entries"][0]["section"] = "camera parameter"; },
       "$.entries[0].section: 'camera parameter' is no board"},
      {"unknown key", [](json& d) { d["entries"][0]["key"] = "REGS"; },
       "$.entries[0].key: 'REGS' is no register key"},
      {"seventeen values",
       [](json& d) {
         d["entries"][0]["values"] = json(std::vector<int>(17, 1));
       },
       "$.entries[0].values: more than 16"},
      {"value beyond 32 bits",
       [](json& d) { d["entries"][0]["values"][1] = 2147483648LL; },
       "$.entries[0].values[1]: beyond"},
      {"entry not an object", [](json& d) { d["entries"][0] = 1; },
       "$.entries[0]: wrong type"},
      {"hex for a UTF-8 text",
       [](json& d) { d["camera"]["type_hex"] = "63616d"; },
       "$.camera.type_hex: the bytes are UTF-8"},
      {"hex disagrees",
       [](json& d) {
         d["camera"]["type"] = "\xef\xbf\xbd";
         d["camera"]["type_hex"] = "ff41";
       },
       "$.camera.type_hex: the bytes disagree"},
      {"hex not hex", [](json& d) { d["camera"]["type_hex"] = "zz"; },
       "$.camera.type_hex: not pairs"},
      {"type too long",
       [](json& d) { d["camera"]["type"] = std::string(50, 't'); },
       "$.camera.type: more than 49"},
      {"name too long",
       [](json& d) { d["controls"][0]["ctrl_name"] = std::string(128, 'n'); },
       "$.controls[0].ctrl_name: more than 127"},
      {"leading blank", [](json& d) { d["camera"]["type"] = " lead"; },
       "$.camera.type: white space"},
      {"two lines", [](json& d) { d["camera"]["type"] = "two\nlines"; },
       "$.camera.type: a line end"},
      {"comment that cannot be spelt",
       [](json& d) { d["controls"][0]["ctrl_name"] = "; a ;b"; },
       "$.controls[0].ctrl_name: a value that starts like a comment"},
      {"code reads as a header",
       [](json& d) { d["controls"][0]["code"] = "[camera parameter]\n"; },
       "$.controls[0].code: a code line reads as a section header"},
      {"code holds the end marker",
       [](json& d) {
         d["controls"][0]["code"] = "  ======code_block_end======\n";
       },
       "$.controls[0].code: a code line is the end marker"},
      {"code without line end",
       [](json& d) { d["controls"][0]["code"] = "no line end"; },
       "$.controls[0].code: a code block's text ends"},
      {"code without line end, the whole message",
       [](json& d) { d["controls"][0]["code"] = "set(value)"; },
       "$.controls[0].code: a code block's text ends without a line end"},
      {"code line too long",
       [](json& d) { d["controls"][0]["code"] = std::string(200, 'c') + "\n"; },
       "$.controls[0].code: a code line is longer"},
      {"code with a trailing blank",
       [](json& d) { d["controls"][0]["code"] = "trailing blank \n"; },
       "$.controls[0].code: white space"},
  };
  ASSERT_EQ(format_message(base_document().dump()), "");
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    json document = base_document();
    r.change(document);
    const std::string message = format_message(document.dump());
    EXPECT_EQ(message.rfind(r.path, 0), 0u) << message;
  }
  // What a tree of the document cannot show.
  std::string twice = base_document().dump();
  twice.replace(twice.find("\"clean\""), 7, "\"file\"");
  EXPECT_EQ(format_message(twice).rfind("$.file: given twice", 0), 0u);
  EXPECT_EQ(format_message("{\"file\": ").rfind("$.file: not JSON", 0), 0u);
}

// Texts and values that need a careful spelling still read back exactly
// (write_config itself parses what it wrote and compares).
TEST(record_text, awkward_records_read_back_exactly) {
  const std::function<void(json&)> changes[] = {
      [](json& d) { d["camera"]["type"] = ";starts like a comment"; },
      [](json& d) { d["camera"]["type"] = "holds ;an inline comment"; },
      [](json& d) { d["camera"]["type"] = "//slashes"; },
      [](json& d) {
        d["controls"][0]["ctrl_name"] = std::string(126, 'n') + " ";
      },
      [](json& d) {
        d["controls"][0]["code"] =
            std::string(199, 'c') + "\n" + "  [not closed\n\n";
      },
      [](json& d) { d["controls"][0]["code"] = ""; },
      [](json& d) {
        d["camera"]["type"] =
            "\xef\xbf\xbd"
            "A";
        d["camera"]["type_hex"] = "ff41";
      },
      [](json& d) {
        d["entries"][0]["key"] = "VRCMD";
        d["entries"][0]["key_code"] = QUORLEN_KEY_VRCMD;
        d["entries"][0]["type"] = QUORLEN_SECTION_REGISTER | QUORLEN_KEY_VRCMD;
        d["entries"][0]["values"] = json(std::vector<int>(16, INT32_MIN));
      },
  };
  for (const auto& change : changes) {
    json document = base_document();
    change(document);
    SCOPED_TRACE(document.dump());
    EXPECT_EQ(format_message(document.dump()), "");
  }
}

}  // namespace
