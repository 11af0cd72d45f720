#include <gtest/gtest.h>

#include <random>
#include <string>

#include "input/diagnostics.h"
#include "lsp/handlers.h"
#include "lsp/positions.h"

namespace {

using quorlen_lsp::encoding;
using quorlen_lsp::json;
using quorlen_lsp::text_map;

TEST(lsp_positions, offsets_and_positions_in_both_units) {
  struct row {
    const char* name;
    std::string text;
    std::size_t offset;
    std::size_t line, utf16, utf8;
  };
  const row rows[] = {
      {"start", "ab\ncd", 0, 0, 0, 0},
      {"after LF", "ab\ncd", 4, 1, 1, 1},
      {"CR LF is one break", "ab\r\ncd", 5, 1, 1, 1},
      {"lone CR breaks", "ab\rcd", 4, 1, 1, 1},
      {"between CR and LF", "ab\r\ncd", 3, 0, 2, 2},
      {"two-byte", "\xC3\xA9x", 2, 0, 1, 2},
      {"beyond the BMP", "\xF0\x9F\x98\x80x", 4, 0, 2, 4},
      {"inside a character", "\xF0\x9F\x98\x80x", 2, 0, 0, 0},
      {"stray bytes", "\xE9\xFFx;", 3, 0, 3, 3},
      {"cut sequence", "\xE2\x82x", 2, 0, 2, 2},
      {"end", "ab\n", 3, 1, 0, 0},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    const text_map map(r.text);
    const auto u16 = map.at(r.offset, encoding::utf16);
    const auto u8 = map.at(r.offset, encoding::utf8);
    EXPECT_EQ(u16.line, r.line);
    EXPECT_EQ(u16.character, r.utf16);
    EXPECT_EQ(u8.character, r.utf8);
    // Back again, to the start of the character the offset lies in.
    const std::size_t back = map.offset(u16, encoding::utf16);
    EXPECT_EQ(back, map.offset(u8, encoding::utf8));
    EXPECT_LE(back, r.offset);
    EXPECT_EQ(map.at(back, encoding::utf16).character, r.utf16);
  }
  // Past a line's end is its end; past the last line is the text's end.
  const text_map map("ab\r\ncd");
  EXPECT_EQ(map.offset({0, 99}, encoding::utf16), 2u);
  EXPECT_EQ(map.offset({7, 0}, encoding::utf8), 6u);
  EXPECT_EQ(map.lint_offset(2, 99), 6u);
  EXPECT_EQ(map.lint_offset(1, 99), 2u);  // the line's text stops at CR LF
}

// Any bytes survive the trip through a JSON message: masked, they are
// valid UTF-8; restored, they are what they were.
TEST(lsp_positions, stray_bytes_survive_a_message) {
  std::mt19937 random(25);
  for (int i = 0; i < 2000; ++i) {
    std::string bytes(random() % 24, '\0');
    for (char& c : bytes) c = static_cast<char>(random() % 256);
    std::string masked = bytes;
    quorlen_lsp::mask_stray_bytes(masked);
    ASSERT_TRUE(quorlen_tool::valid_utf8(masked));
    json message = json::parse(json(masked).dump());
    std::string back = message.get<std::string>();
    if (masked != bytes) quorlen_lsp::restore_bytes(back);
    ASSERT_EQ(back, bytes);
  }
}

// The lint fills a finding's edits where the right text is certain; each
// becomes a quick fix, placed in the session's units.
TEST(lsp_code_actions, a_finding_with_edits_becomes_a_quick_fix) {
  quorlen_lsp::document doc;
  doc.text = "[camera parameter]\n\xF0\x9F\x98\x80 = 1\nI2C_ADR = 0x36\n";
  quorlen_tool::finding f{3,
                          1,
                          quorlen_tool::level::warning,
                          "Q201",
                          "unknown key 'I2C_ADR'",
                          "did you mean 'I2C_ADDR'?",
                          0,
                          0,
                          {{28, 35, "I2C_ADDR"}}};
  quorlen_tool::finding two = f;
  two.line = 2;
  two.fix = {{19, 23, ""}, {26, 26, "x"}};
  quorlen_tool::finding off_the_text = f;
  off_the_text.fix = {{28, 99, ""}};
  doc.findings = {two, f, off_the_text};
  doc.linted = true;
  doc.fixes_checked = true;  // as given: these edits are what is tried
  const std::string uri = "file:///a.cfg";
  const json params = {{"textDocument", {{"uri", uri}}},
                       {"range",
                        {{"start", {{"line", 1}, {"character", 0}}},
                         {"end", {{"line", 2}, {"character", 0}}}}}};

  for (encoding units : {encoding::utf16, encoding::utf8}) {
    SCOPED_TRACE(units == encoding::utf16 ? "utf-16" : "utf-8");
    const json actions =
        quorlen_lsp::code_actions(doc, params, {units, false, {}});
    ASSERT_GE(actions.size(), 2u);
    const json& replace = actions[1];
    EXPECT_EQ(replace["title"], "Replace 'I2C_ADR' with 'I2C_ADDR'");
    EXPECT_EQ(replace["kind"], "quickfix");
    EXPECT_EQ(replace["isPreferred"], true);
    EXPECT_EQ(replace["diagnostics"][0]["code"], "Q201");
    EXPECT_EQ(replace["edit"]["changes"][uri],
              json::parse(R"([{"newText": "I2C_ADDR", "range": {
                  "start": {"line": 2, "character": 0},
                  "end": {"line": 2, "character": 7}}}])"));
    const json& edits = actions[0]["edit"]["changes"][uri];
    EXPECT_EQ(actions[0]["title"], "Fix Q201 (2 edits)");
    EXPECT_EQ(edits[0]["range"]["end"]["character"],
              units == encoding::utf16 ? 2 : 4);
    EXPECT_EQ(edits[1]["range"]["start"]["character"],
              units == encoding::utf16 ? 5 : 7);
    // Edits that do not fit the text make no quick fix, but the finding
    // can still be silenced.
    std::size_t fixes = 0, disables = 0;
    for (const json& a : actions) {
      const std::string title = a["title"];
      fixes += title.rfind("Disable", 0) != 0;
      disables += title.rfind("Disable Q201 on this line", 0) == 0;
    }
    EXPECT_EQ(fixes, 2u);
    EXPECT_EQ(disables, 2u);  // one a line
  }
}

}  // namespace
