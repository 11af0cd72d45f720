#include "lint/lint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "input/diagnostics.h"
#include "input/number_reading.h"
#include "lint/fixes.h"
#include "quorlen_core.h"
#include "record/record_json.h"
#include "test_support.h"

namespace {

using quorlen_tool::finding;
using quorlen_tool::level;

struct rule_case {
  const char* name;
  std::string input;
  const char* code;
  int line;
  int column;
  // Must appear in the message; and the record must bear it out.
  std::string says;
  std::function<std::string(const camera_setup&)> record;
  std::string suggestion = "";
  int end_column = 0;  // where the span ends, when the row says
};

std::string when(bool holds, const char* text) {
  return holds ? text : "(the record disagrees)";
}

const char CAM[] = "[camera parameter]\n";
const char CTL[] = "[control parameter]\n";
const char REG[] = "[register parameter]\n";
const std::string BLOCK_A =
    "======CODE_BLOCK_START======\na\n======CODE_BLOCK_END======\n";
const std::string BLOCK_B =
    "======CODE_BLOCK_START======\nb\n======CODE_BLOCK_END======\n";
const std::string OK_CONTROL = "CTRL_NAME = c\nMAX_VALUE = 9\nSTEP = 1\n";

std::string num(std::int64_t v) { return std::to_string(v); }

TEST(lint, every_rule_finds_its_place_and_says_what_the_record_holds) {
  const rule_case rows[] = {
      {"unclosed header", "[camera parameter\nCFG_MODE = 1\n", "Q001", 1, 1,
       "closing ']'", [](auto& s) { return when(s.cfg_mode == 0, "closing ']'"); }},
      {"no separator", std::string(CAM) + "  \tCFG_MODE 3\n", "Q002", 2, 4,
       "neither", [](auto& s) { return when(s.cfg_mode == 0, "neither"); }},
      {"block to the end", std::string(CTL) + "\n======CODE_BLOCK_START======\nx\n",
       "Q004", 4, 1, "opened at line 3",
       [](auto& s) { return when(s.controls[0].code == nullptr, "opened at line 3"); }},
      {"block broken off", std::string(CTL) + "======CODE_BLOCK_START======\n[a]\n",
       "Q005", 3, 1, "block is dropped",
       [](auto& s) { return when(s.controls[0].code == nullptr, "block is dropped"); }},
      {"fault after a long line", ";" + std::string(250, 'x') + "\nbad\n", "Q002", 2,
       1, "neither", [](auto&) { return std::string("neither"); }},
      {"lines after an unclosed header", std::string(CAM) + "CFG_MODE = 1\n[register parameter\nREG = 1\n",
       "Q105", 3, 1, "line 4 go into section 'camera parameter' of line 1",
       [](auto& s) {
         return when(s.entry_count == 0 && s.cfg_mode == 1,
                     "line 4 go into section 'camera parameter' of line 1");
       }, "", 20},
      {"unknown section", "[camera parameters]\nCFG_MODE = 3\n\n", "Q101", 1, 1,
       "1 line in it", [](auto& s) { return when(s.cfg_mode == 0, "1 line in it"); },
       "did you mean '[camera parameter]'?"},
      {"unknown joined section", "[Register Parameter] [dev3]\nREG = 1\nREG = 2\n",
       "Q101", 1, 1, "2 lines in it",
       [](auto& s) { return when(s.entry_count == 0, "2 lines in it"); }},
      {"joined groups fold", "[Register Parameter][dev3][inf3]\n", "Q101", 1, 1,
       "ignored", [](auto&) { return std::string("ignored"); },
       "did you mean '[register parameter||dev3||inf3]'?"},
      {"open later group", "[board parameter][dev2\nREG = 1\n", "Q102", 1, 23,
       "'board parameter||dev2'", [](auto& s) {
         return when(s.entries[0].entry_type == (QUORLEN_SECTION_BOARD_DEV2 | QUORLEN_KEY_REG),
                     "'board parameter||dev2'");
       }},
      {"name cut", "[" + std::string(55, 'n') + "]\n", "Q103", 1, 51,
       "'" + std::string(49, 'n') + "'", [](auto&) { return "'" + std::string(49, 'n') + "'"; }},
      {"text after header", "[camera parameter] CFG_MODE = 1 \n", "Q104", 1, 20,
       "'CFG_MODE = 1'", [](auto& s) { return when(s.cfg_mode == 0, "'CFG_MODE = 1'"); }},
      {"unknown camera key", std::string(CAM) + "I2C_ADR = 0x36\n", "Q201", 2, 1,
       "'I2C_ADR'", [](auto& s) { return when(s.i2c_addr == 0, "'I2C_ADR'"); },
       "did you mean 'I2C_ADDR'?"},
      {"key in lower case", std::string(REG) + "reg = 1\n", "Q201", 2, 1, "'reg'",
       [](auto& s) { return when(s.entry_count == 0, "'reg'"); }, "did you mean 'REG'?"},
      {"unknown control key", std::string(CTL) + OK_CONTROL + "DEFAULT = 1\n", "Q201",
       5, 1, "'DEFAULT'", [](auto& s) { return when(s.controls[0].def == 0, "'DEFAULT'"); }},
      {"escaped key", std::string(CAM) + "K\x1b[2J = 1\n", "Q201", 2, 1, "'K\\x1b[2J'",
       [](auto&) { return std::string("'K\\x1b[2J'"); }},
      {"pair before header", "CFG_MODE = 3\n" + std::string(CAM), "Q202", 1, 1,
       "'CFG_MODE'", [](auto& s) { return when(s.cfg_mode == 0, "'CFG_MODE'"); }},
      {"text after number", std::string(CAM) + "CFG_MODE = 12ab\n", "Q301", 2, 14,
       "read as 12", [](auto& s) { return "read as " + num(s.cfg_mode); }},
      {"comment without blank", std::string(REG) + "REG = 7, 0x10;note\n", "Q301", 2, 14,
       "read as 0x10", [](auto& s) { return when(s.entries[0].values[1] == 16, "read as 0x10"); }},
      {"comment kept on a continuation", std::string(REG) + "REG = 1\n  2, 3 ; note, 4\n",
       "Q404", 3, 8, "holds 3 values",
       [](auto& s) { return "holds " + num(s.entries[1].value_count) + " values"; }},
      {"no number", std::string(CAM) + "TRANS_LVL = abc\n", "Q302", 2, 13, "as 0",
       [](auto& s) { return "as " + num(s.trans_lvl); }},
      {"blank piece", std::string(REG) + "REG = 1, ,2\n", "Q302", 2, 9, "as 0",
       [](auto& s) { return "as " + num(s.entries[0].values[1]); }},
      {"sign before 0x", std::string(CTL) + OK_CONTROL + "MIN_VALUE = -0x10\n", "Q303",
       5, 13, "holds 0", [](auto& s) { return "holds " + num(s.controls[0].min_value); }},
      {"beyond 32 bits", std::string(CAM) + "TRANS_LVL = 0xFFFFFFFF\n", "Q304", 2, 13,
       "holds 2147483647", [](auto& s) { return "holds " + num(s.trans_lvl); }},
      {"below 32 bits", std::string(REG) + "DELAY = -9999999999\n", "Q304", 2, 9,
       "holds -2147483648", [](auto& s) { return "holds " + num(s.entries[0].values[0]); }},
      {"beyond 64 bits", std::string(CTL) + "MAX_VALUE = 0x1FFFFFFFFFFFFFFFF\n", "Q304", 2,
       13, "holds 9223372036854775807",
       [](auto& s) { return "holds " + num(s.controls[0].max_value); }},
      {"low 8 bits", std::string(CAM) + "BIT_WIDTH = 300\n", "Q305", 2, 13, "holds 44",
       [](auto& s) { return "holds " + num(s.bit_width); }},
      {"low 16 bits", std::string(CAM) + "I2C_ADDR = 65590\n", "Q305", 2, 12, "holds 54",
       [](auto& s) { return "holds " + num(s.i2c_addr); }},
      {"low 32 bits", std::string(CTL) + "STEP = 0x100000002\n", "Q305", 2, 8, "holds 2",
       [](auto& s) { return "holds " + num(s.controls[0].step); }},
      {"format overlap", std::string(CAM) + "FORMAT = 1, 0x300\n", "Q305", 2, 10,
       "holds 0x0300", [](auto& s) { return when(s.format == 0x0300, "holds 0x0300"); }},
      {"seventeen values", std::string(REG) + "REG = 1,2,3,4,5,6,7,8,9,0,1,2,3,4,5,6,7,8\n",
       "Q401", 2, 39, "drops 2",
       [](auto& s) { return "drops " + num(18 - s.entries[0].value_count); }},
      {"size of one", std::string(CAM) + "SIZE = 640\n", "Q402", 2, 8,
       "width 0 and height 0",
       [](auto& s) { return "width " + num(s.width) + " and height " + num(s.height); }},
      {"format of three", std::string(CAM) + "FORMAT = 1,2,3\n", "Q403", 2, 10,
       "format 0x0000", [](auto& s) { return when(s.format == 0, "format 0x0000"); }},
      {"long type", std::string(CAM) + "TYPE = " + std::string(60, 't') + "\n", "Q501", 2,
       57, "first 49", [](auto& s) { return "first " + std::to_string(std::strlen(s.type)); }},
      {"long name", std::string(CTL) + "FUNC_NAME = " + std::string(130, 'f') + "\n", "Q501",
       2, 140, "first 127",
       [](auto& s) { return "first " + std::to_string(std::strlen(s.controls[0].func_name)); }},
      {"kept semicolon", std::string(CAM) + "TYPE = a;b ; note\n", "Q502", 2, 9, "'a;b'",
       [](auto& s) { return "'" + std::string(s.type) + "'"; }},
      {"long line", ";" + std::string(250, 'x') + "\n", "Q601", 1, 200, "remaining 52",
       [](auto&) { return std::string("remaining 52"); }},
      {"line of 199", ";" + std::string(198, 'x') + "\n", "Q601", 1, 200, "its line end",
       [](auto&) { return std::string("its line end"); }},
      {"late byte-order mark", std::string(CAM) + "\xEF\xBB\xBF" "CFG_MODE = 1\n", "Q602", 2,
       1, "read as text", [](auto& s) { return when(s.cfg_mode == 0, "read as text"); }},
      {"indented after header", std::string(CAM) + "  CFG_MODE = 1\n", "Q603", 2, 1,
       "ordinary line", [](auto& s) { return when(s.cfg_mode == 1, "ordinary line"); }},
      {"NUL in a line", std::string(REG) + "REG = 0x10," + '\0' + " 0x20\n", "Q605", 2, 12,
       "never sees the 4 characters after it: '0x20'", [](auto& s) {
         return when(s.entries[0].value_count == 1,
                     "never sees the 4 characters after it: '0x20'");
       }, "", 13},
      {"not a text file", "\x7f" "ELF" + std::string(8, '\0') + "\n" + CAM + "CFG_MODE = 1\n",
       "Q606", 1, 1, "byte 5 starts a run of NUL bytes",
       [](auto& s) { return when(s.cfg_mode == 1, "byte 5 starts a run of NUL bytes"); }, "", 2},
      {"control bytes", std::string(CAM) + std::string(40, '\x01') + "\n", "Q606", 1, 1,
       "40 of its first 60 bytes are control bytes",
       [](auto&) { return std::string("40 of its first 60 bytes are control bytes"); }},
      {"block outside control", std::string(CAM) + BLOCK_A, "Q701", 2, 1,
       "'camera parameter'", [](auto& s) { return when(s.control_count == 0, "'camera parameter'"); }},
      {"second block", std::string(CTL) + OK_CONTROL + BLOCK_A + BLOCK_B, "Q702", 8, 1,
       "the one at line 5",
       [](auto& s) { return when(std::string(s.controls[0].code) == "b\n", "the one at line 5"); }},
      {"min above max", std::string(CTL) + "CTRL_NAME = c\nSTEP = 1\nMIN_VALUE = 16\nMAX_VALUE = 8\n",
       "Q801", 5, 1, "MIN_VALUE 16 is above MAX_VALUE 8", [](auto& s) {
         return "MIN_VALUE " + num(s.controls[0].min_value) + " is above MAX_VALUE " +
                num(s.controls[0].max_value);
       }},
      {"default outside", std::string(CTL) + OK_CONTROL + "DEF = 10\n", "Q802", 5, 1,
       "DEF 10 lies outside MIN_VALUE 0 .. MAX_VALUE 9",
       [](auto& s) { return "DEF " + num(s.controls[0].def) + " lies outside MIN_VALUE 0 .. MAX_VALUE 9"; }},
      {"no step", std::string(CTL) + "CTRL_NAME = c\n", "Q803", 1, 1, "holds 0",
       [](auto& s) { return "holds " + num(s.controls[0].step); }},
      {"step below zero", std::string(CTL) + "CTRL_NAME = c\nSTEP = -2\n", "Q803", 3, 1,
       "STEP -2", [](auto& s) { return "STEP " + num(s.controls[0].step); }},
      {"no name", std::string(CTL) + "STEP = 1\n", "Q804", 1, 1, "no CTRL_NAME",
       [](auto& s) { return when(s.controls[0].ctrl_name[0] == '\0', "no CTRL_NAME"); }},
      {"same name", std::string(CTL) + OK_CONTROL + CTL + OK_CONTROL, "Q805", 6, 1,
       "control at line 1",
       [](auto& s) { return when(s.control_count == 2, "control at line 1"); }},
      {"camera key again", std::string(CAM) + "CFG_MODE = 2\nCFG_MODE = 3\n", "Q901", 3, 1,
       "first at line 2", [](auto& s) { return when(s.cfg_mode == 3, "first at line 2"); },
       "", 9},
      {"hash kept in a text", std::string(CAM) + "TYPE = ql5m # rev A\n", "Q503", 2, 13,
       "'ql5m # rev A'", [](auto& s) { return "'" + std::string(s.type) + "'"; }, "", 20},
      {"indented key", std::string(CAM) + "I2C_ADDR = 0x36\n  BIT_WIDTH = 10\n", "Q604", 3,
       3, "value of I2C_ADDR, not as BIT_WIDTH", [](auto& s) {
         return when(s.i2c_addr == 0 && s.bit_width == 0, "value of I2C_ADDR, not as BIT_WIDTH");
       }, "", 12},
      {"indented block marker", std::string(CTL) + OK_CONTROL +
           "  ======CODE_BLOCK_START======\n  set(value);\n======CODE_BLOCK_END======\n",
       "Q703", 5, 3, "continues STEP: no block opens, and lines 6 to 7",
       [](auto& s) {
         return when(s.controls[0].code == nullptr && s.controls[0].step == 0,
                     "continues STEP: no block opens, and lines 6 to 7");
       }, "", 31},
      {"end marker alone", std::string(CAM) + "======CODE_BLOCK_END======\n", "Q704", 2, 1,
       "no block open", [](auto& s) { return when(s.control_count == 0, "no block open"); },
       "", 27},
      {"misspelt start marker", std::string(CTL) + OK_CONTROL +
           "======CODE_BLOCK_START=====\nset(value);\n======CODE_BLOCK_END======\n",
       "Q705", 5, 1, "no block opens: the library reads this line and lines 6 to 7",
       [](auto& s) {
         return when(s.controls[0].code == nullptr,
                     "no block opens: the library reads this line and lines 6 to 7");
       }, "did you mean '======CODE_BLOCK_START======'?", 28},
      {"misspelt end marker", std::string(CTL) + OK_CONTROL +
           "======CODE_BLOCK_START======\nset(value);\n=====CODE_BLOCK_END=====\n",
       "Q705", 7, 1, "the block goes on",
       [](auto& s) { return when(s.controls[0].code == nullptr, "the block goes on"); },
       "did you mean '======CODE_BLOCK_END======'?", 25},
      {"control key again", std::string(CTL) + OK_CONTROL + "CTRL_NAME = d\n", "Q902", 5,
       1, "first at line 2", [](auto& s) {
         return when(std::string(s.controls[0].ctrl_name) == "d", "first at line 2");
       }, "", 10},
      {"unknown code disabled", "; quorlen-config: disable=Q201,Q999\n" + std::string(CAM),
       "Q903", 1, 32, "'Q999'", [](auto&) { return std::string("'Q999'"); }, "", 36},
      {"spans cover the number", std::string(CAM) + "BIT_WIDTH = 0x1FF ; note\n", "Q305",
       2, 13, "holds 255", [](auto& s) { return "holds " + num(s.bit_width); }, "", 18},
  };
  for (const rule_case& row : rows) {
    SCOPED_TRACE(row.name);
    quorlen_test::owned_setup setup;
    const auto outcome = quorlen_tool::lint_bytes(row.input, &setup.s);
    EXPECT_EQ(outcome.library_lines, outcome.pieces);
    const finding* found = nullptr;
    for (const finding& f : outcome.findings) {
      if (f.code == row.code && f.line == row.line && found == nullptr)
        found = &f;
    }
    ASSERT_NE(found, nullptr) << "no " << row.code << " on line " << row.line;
    EXPECT_EQ(found->column, row.column);
    EXPECT_EQ(found->severity, quorlen_tool::find_rule(row.code)->severity);
    EXPECT_NE(found->message.find(row.says), std::string::npos)
        << found->message;
    EXPECT_EQ(row.record(setup.s), row.says);
    if (!row.suggestion.empty()) {
      EXPECT_EQ(found->suggestion, row.suggestion);
    }
    if (row.end_column != 0) {
      EXPECT_EQ(found->end_line, row.line);
      EXPECT_EQ(found->end_column, row.end_column);
    }
  }
}

// A line read otherwise than it looks is explained once, at its cause: what
// the keys and values on it then say is left out.
TEST(lint, a_cause_leaves_out_what_follows_from_it) {
  const struct {
    std::string input;
    std::vector<std::string> kept;  // the causes, and what they do not explain
  } rows[] = {
      {std::string(CAM) + "I2C_ADDR = 0x36\n  BIT_WIDTH = 10\n", {"Q604"}},
      {std::string(CTL) +
           "MAX_VALUE = 9\nSTEP = 1\nCTRL_NAME = c\n"
           "  ======CODE_BLOCK_START======\n  set(value);\n"
           "  reg 0x3500 = (value >> 12)\n======CODE_BLOCK_END======\n",
       {"Q703"}},
      {std::string(REG) + "REG = 1\n======CODE_BLOCK_END======\n", {"Q704"}},
      // The code lines are refused or unknown keys, the end marker stray.
      {std::string(CTL) + OK_CONTROL +
           "======CODE_BLOCK_START=====\nset(value);\n"
           "reg 0x3500 = (value >> 12)\n======CODE_BLOCK_END======\n",
       {"Q705"}},
      // The block runs on to the end.
      {std::string(CTL) + OK_CONTROL +
           "======CODE_BLOCK_START======\nset(value);\n=====CODE_BLOCK_END====="
           "=\n",
       {"Q705"}},
      // The lines after the consumed header set the first control's keys
      // again and break its range; the third control's name is a real
      // repeat of the first's.
      {std::string(CTL) +
           "CTRL_NAME = exposure\nMIN_VALUE = 0\nMAX_VALUE = 100\nSTEP = 1\n"
           "======CODE_BLOCK_START======\nset(value);\n" +
           CTL +
           "CTRL_NAME = gain\nMIN_VALUE = 200\nMAX_VALUE = 150\nSTEP = 0\n" +
           BLOCK_A + CTL + "CTRL_NAME = exposure\nMAX_VALUE = 9\nSTEP = 1\n",
       {"Q005", "Q805"}},
      // Register lines in the camera section: unknown keys there.
      {std::string(CAM) +
           "CFG_MODE = 1\n[register parameter\nREG = 1\nREG = 2\n",
       {"Q001", "Q105"}},
      {"\x7f"
       "ELF" +
           std::string(8, '\0') + "\n" + CAM + "CFG_MODE\n",
       {"Q606"}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.input);
    quorlen_test::owned_setup setup;
    std::vector<std::string> codes;
    for (const finding& f :
         quorlen_tool::lint_bytes(r.input, &setup.s).findings) {
      codes.push_back(f.code);
    }
    EXPECT_EQ(codes, r.kept);
  }
}

// The table of codes in docs/lint-codes.md is the registry's, row for row.
TEST(lint, the_codes_page_lists_every_rule_as_the_registry_does) {
  std::ifstream page(std::string(QUORLEN_SOURCE_DIR) + "/docs/lint-codes.md");
  ASSERT_TRUE(page.good());
  std::vector<std::string> listed, registered;
  for (std::string line; std::getline(page, line);) {
    if (line.rfind("| Q", 0) == 0) listed.push_back(line);
  }
  for (const quorlen_tool::rule& r : quorlen_tool::lint_rules) {
    registered.push_back(std::string("| ") + r.code + " | " +
                         quorlen_tool::level_name(r.severity) + " | " +
                         (r.fixes ? "fix" : "") + " | " + r.summary + " |");
  }
  EXPECT_EQ(listed, registered);
}

TEST(lint, comments_silence_codes_on_the_next_line_or_in_the_whole_file) {
  struct row {
    std::string input;
    std::vector<int> lines;  // where Q305 is still reported
  } rows[] = {
      {std::string(CAM) +
           "; quorlen-config: disable=Q201,Q305\nBIT_WIDTH = 300\n"
           "BIT_WIDTH = 301\n",
       {4}},
      {"# quorlen-config: disable=Q305\n" + std::string(CAM) +
           "BIT_WIDTH = 300\n",
       {}},
      {std::string(CAM) + "; quorlen-config: disable=Q201\nBIT_WIDTH = 300\n",
       {3}},
      {std::string(CAM) +
           "BIT_WIDTH = 300\n======CODE_BLOCK_START======\n"
           "; quorlen-config: disable=Q305\n======CODE_BLOCK_END======\n"
           "BIT_WIDTH = 300\n",
       {2, 6}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.input);
    quorlen_test::owned_setup setup;
    std::vector<int> lines;
    for (const finding& f :
         quorlen_tool::lint_bytes(r.input, &setup.s).findings) {
      if (f.code == "Q305") lines.push_back(f.line);
    }
    EXPECT_EQ(lines, r.lines);
  }
}

TEST(lint, a_clean_file_has_no_findings_at_any_level) {
  quorlen_test::owned_setup setup;
  const std::string text =
      std::string(CAM) + "SIZE = 640, 480\nFORMAT = 0x30, 0x01\n" + REG +
      "REG = 0x3000, 0x01 ; note\n  0x3001, 0x02 ; the same key\n" + CTL +
      OK_CONTROL + BLOCK_A;
  const auto outcome = quorlen_tool::lint_bytes(text, &setup.s);
  EXPECT_TRUE(outcome.findings.empty()) << outcome.findings[0].message;
  EXPECT_EQ(outcome.result, 0);
}

// The lint, get and set and the language server walk a list with the tool's
// own loop; it must find the pieces and numbers the parse stores.
TEST(lint, lists_are_read_as_the_parse_reads_them) {
  const char alphabet[] = "0123456789xX+- \t,,,g";
  std::mt19937 random(11);
  for (int i = 0; i < 100000; ++i) {
    const std::string text = quorlen_test::random_text(random, alphabet, 40);
    register_entry parsed{};
    quorlen::parse_value_list(&parsed, text.c_str());
    std::vector<std::int32_t> walked;
    const unsigned count = quorlen::scan::for_each_piece(
        text.c_str(), [&](const char* p, unsigned) {
          const quorlen::number_reading r = quorlen::read_number(p);
          walked.push_back(quorlen::scan::clamp32(r.value));
          return r.end;
        });
    ASSERT_EQ(count, walked.size()) << '"' << text << '"';
    ASSERT_EQ(parsed.value_count, std::min(count, 16u)) << '"' << text << '"';
    for (unsigned v = 0; v < parsed.value_count; ++v) {
      ASSERT_EQ(parsed.values[v], walked[v]) << '"' << text << '"' << v;
    }
  }
}

// A row a kind of fix: the line as it was, the finding, the line as the
// fix leaves it; or no fix, where the right text is not certain or the fix
// would bring a finding of its own.
TEST(lint, fixes_mend_what_is_certain_and_nothing_else) {
  const struct {
    const char* name;
    std::string input;
    const char* code;
    std::string output;  // empty: the finding has no fix
  } rows[] = {
      {"misspelt key", std::string(CAM) + "  I2C_ADR = 0x36 ; addr\n", "Q201",
       std::string(CAM) + "  I2C_ADDR = 0x36 ; addr\n"},
      {"mis-cased key", std::string(REG) + "reg = 1, 2\n", "Q201",
       std::string(REG) + "REG = 1, 2\n"},
      {"misspelt section", "[camera parameters] ; cam\nCFG_MODE = 1\n", "Q101",
       "[camera parameter] ; cam\nCFG_MODE = 1\n"},
      {"mis-spaced joined section", "[Board  Parameter][dev2]\r\nREG = 1\r\n",
       "Q101", "[board parameter][dev2]\r\nREG = 1\r\n"},
      {"semicolon", std::string(CAM) + "TYPE = ql5m; rev B\n", "Q502",
       std::string(CAM) + "TYPE = ql5m ; rev B\n"},
      {"slashes",
       std::string(CTL) + "CTRL_NAME = c\nFUNC_NAME = f// v2\n" +
           "MAX_VALUE = 1\nSTEP = 1\n",
       "Q502",
       std::string(CTL) + "CTRL_NAME = c\nFUNC_NAME = f // v2\n" +
           "MAX_VALUE = 1\nSTEP = 1\n"},
      {"late byte-order mark", std::string(CAM) + "\xEF\xBB\xBF; b.cfg\n",
       "Q602", std::string(CAM) + "; b.cfg\n"},
      {"joined groups keep their style",
       "[register parameters][dev3][inf2]\nREG = 1\n", "Q101",
       "[register parameter][dev3][inf2]\nREG = 1\n"},
      {"misspelt start marker",
       std::string(CTL) + OK_CONTROL +
           "======CODE_BLOCK_START=====\nset(value);\n" +
           "======CODE_BLOCK_END======\n",
       "Q705",
       std::string(CTL) + OK_CONTROL + BLOCK_A.substr(0, 29) + "set(value);\n" +
           "======CODE_BLOCK_END======\n"},
      {"misspelt end marker",
       std::string(CTL) + OK_CONTROL + "======CODE_BLOCK_START======\n" +
           "set(value);\n ======Code_Block_Ende====== \n",
       "Q705",
       std::string(CTL) + OK_CONTROL + "======CODE_BLOCK_START======\n" +
           "set(value);\n======CODE_BLOCK_END======\n"},
      {"a marker that would open a block nothing keeps",
       std::string(CAM) +
           "=====CODE_BLOCK_START======\nx\n======CODE_BLOCK_END======\n",
       "Q705", ""},
      {"two names as near", "[register parameter][dev3][inf4]\n", "Q101", ""},
      {"a mark in a text", std::string(CAM) + "TYPE = a;b\n", "Q502", ""},
      {"a TYPE that would be cut",
       std::string(CAM) + "TYPE = " + std::string(60, 't') + "\n", "Q501", ""},
      {"a value the key cannot hold", std::string(CAM) + "BIT_WDTH = 300\n",
       "Q201", ""},
      {"a key set again", std::string(CAM) + "CFG_MOD = 1\nCFG_MODE = 2\n",
       "Q201", ""},
      {"a line read in pieces",
       std::string(CAM) + "I2C_ADR = 1 ;" + std::string(190, 'x') + "\n",
       "Q201", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    quorlen_test::owned_setup setup;
    std::vector<finding> found =
        quorlen_tool::lint_bytes(row.input, &setup.s).findings;
    const auto fixes = quorlen_tool::settle_fixes(row.input, found,
                                                  quorlen_tool::every_finding);
    const auto it = std::find_if(found.begin(), found.end(),
                                 [&](auto& f) { return f.code == row.code; });
    ASSERT_NE(it, found.end());
    EXPECT_EQ(it->fix.empty(), row.output.empty());
    EXPECT_EQ(fixes.fixed.bytes, row.output.empty() ? row.input : row.output);
    for (const finding& f : fixes.after) {
      EXPECT_TRUE(row.output.empty() || f.code != row.code) << f.message;
    }
  }
}

// Two fixes over the same bytes: the first in the file is applied, the
// other left out and named.
TEST(lint, of_two_overlapping_fixes_the_first_is_applied) {
  std::vector<finding> found(3);
  found[0].fix = {{4, 6, "xy"}};
  found[1].fix = {{0, 2, "ab"}};
  found[2].fix = {{5, 5, "!"}};
  const auto fixed = quorlen_tool::apply_fixes("0123456789", found,
                                               quorlen_tool::every_finding);
  EXPECT_EQ(fixed.bytes, "ab23xy6789");
  EXPECT_EQ(fixed.applied, (std::vector<std::size_t>{1, 0}));
  ASSERT_EQ(fixed.overlapping.size(), 1u);
  EXPECT_EQ(fixed.overlapping[0], (std::pair<std::size_t, std::size_t>{2, 0}));
}

}  // namespace

// What explain says of each rule is borne out by the lint itself: the
// example brings the code, the corrected file brings nothing at all, a fix
// turns the one into the other, and the silencing comment it names works.
TEST(lint, each_explained_example_brings_its_code_and_the_correction_none) {
  const std::vector<std::string> no_example = {"Q003", "Q006"};
  const auto codes_of = [](std::string_view text) {
    quorlen_test::owned_setup setup;
    std::vector<std::string> codes;
    for (const finding& f :
         quorlen_tool::lint_bytes(std::string(text), &setup.s).findings) {
      codes.push_back(f.code);
    }
    return codes;
  };
  for (const quorlen_tool::rule& r : quorlen_tool::lint_rules) {
    SCOPED_TRACE(r.code);
    const quorlen_tool::rule_text& e = quorlen_tool::text_of(r.id);
    EXPECT_GT(std::strlen(e.meaning), 20u);
    EXPECT_GT(std::strlen(e.matters), 20u);
    const bool none = std::find(no_example.begin(), no_example.end(), r.code) !=
                          no_example.end() ||
                      quorlen_tool::binding_rule(r);
    EXPECT_EQ(e.example.empty(), none);
    EXPECT_EQ(e.corrected.empty(), none);
    if (none) continue;
    const std::vector<std::string> found = codes_of(e.example);
    EXPECT_NE(std::find(found.begin(), found.end(), r.code), found.end())
        << "the example does not bring " << r.code;
    EXPECT_EQ(codes_of(e.corrected), std::vector<std::string>{});
    const std::vector<std::string> silenced =
        codes_of("; quorlen-config: disable=" + std::string(r.code) + "\n" +
                 std::string(e.example));
    const bool by_comment =
        quorlen_tool::silence_text(r).find("a comment") != std::string::npos;
    EXPECT_EQ(
        std::find(silenced.begin(), silenced.end(), r.code) == silenced.end(),
        by_comment)
        << "what explain says of silencing " << r.code << " is wrong";
    if (r.fixes) {
      quorlen_test::owned_setup setup;
      const std::string bytes(e.example);
      std::vector<finding> all =
          quorlen_tool::lint_bytes(bytes, &setup.s).findings;
      EXPECT_EQ(
          quorlen_tool::settle_fixes(bytes, all, quorlen_tool::every_finding)
              .fixed.bytes,
          std::string(e.corrected));
    }
  }
}

// The page's codes one by one are the registry's explanations, as this
// writes them; on a difference the page as it should be is left in
// lint-codes.expected.md beside the test.
TEST(lint, the_codes_page_explains_every_rule_as_the_registry_does) {
  const std::string heading = "## The codes one by one";
  std::ifstream page(std::string(QUORLEN_SOURCE_DIR) + "/docs/lint-codes.md");
  ASSERT_TRUE(page.good());
  std::string text((std::istreambuf_iterator<char>(page)),
                   std::istreambuf_iterator<char>());
  const std::size_t at = text.find("\n" + heading + "\n");
  ASSERT_NE(at, std::string::npos) << "no '" << heading << "'";
  const auto block = [](std::string_view file) {
    std::string out = "```\n";
    for (std::size_t from = 0; from < file.size();) {
      std::size_t end = file.find('\n', from);
      if (end == std::string_view::npos) end = file.size();
      out += quorlen_tool::escape_text(file.substr(from, end - from)) + "\n";
      from = end + 1;
    }
    return out + "```\n";
  };
  std::string want = text.substr(0, at + 1) + heading + "\n";
  for (const quorlen_tool::rule& r : quorlen_tool::lint_rules) {
    const quorlen_tool::rule_text& e = quorlen_tool::text_of(r.id);
    want += "\n### " + std::string(r.code) + "\n\n" + r.summary + " (" +
            quorlen_tool::level_name(r.severity) +
            (r.fixes ? ", with a fix" : "") + ").  " + e.meaning + "  " +
            e.matters + "\n";
    if (!e.example.empty()) {
      want += "\n" + block(e.example) + "\nCorrected:\n\n" + block(e.corrected);
    }
  }
  if (text != want) {
    std::ofstream("lint-codes.expected.md") << want;
    FAIL() << "docs/lint-codes.md differs from the registry; the page as "
              "it should be is in lint-codes.expected.md";
  }
}
