#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "commands/edit_commands.h"
#include "edit/edit_key.h"
#include "input/diagnostics.h"

namespace {

using quorlen_tool::record_key;

const std::string CAM = "[camera parameter]\n";
const std::string CTL = "[control parameter]\nCTRL_NAME = gain\n";
const std::string REG = "[register parameter]\nREG = 0x30, 0x01\n";

record_key key_of(const std::string& text) {
  record_key key;
  std::string why;
  EXPECT_TRUE(quorlen_tool::parse_record_key(text, key, why)) << why;
  return key;
}

struct set_case {
  std::string input;
  const char* key;
  std::string value;
  bool force;
  std::string output;  // empty: refused
  std::string says;    // part of the refusal, or what the record holds
};

// A row a case: the line as it was, the command, the line as it is after.
TEST(edit, set_rewrites_one_line_or_adds_one) {
  const std::string piece_line = "TYPE = x" + std::string(195, ' ') + "; n\n";
  const set_case rows[] = {
      // In place: indentation, spacing, and the comment at its column.
      {CAM + "TYPE      = qcam-vga     ; sensor\n" + REG, "camera.TYPE",
       "qcam-hd-long-name", false,
       CAM + "TYPE      = qcam-hd-long-name ; sensor\n" + REG,
       "qcam-hd-long-name"},
      {CAM + "TYPE      = qcam-vga     ; sensor\n", "camera.TYPE", "ab", false,
       CAM + "TYPE      = ab           ; sensor\n", "ab"},
      {CAM + "TRANS_LVL\t= 2\t\t; level\n", "camera.TRANS_LVL", "123456789",
       false, CAM + "TRANS_LVL\t= 123456789\t; level\n", "123456789"},
      {CAM + "  CFG_MODE=1\n", "camera.CFG_MODE", "-7", false,
       CAM + "  CFG_MODE=-7\n", "-7"},
      {CTL + "DEF: 1 ; default\n", "control.gain.DEF", "0x20", false,
       CTL + "DEF: 0x20 ; default\n", "32"},
      {CAM + "SIZE = 640, 480\r\n", "camera.SIZE", "1280,720", false,
       CAM + "SIZE = 1280,720\r\n", "1280, 720"},
      {CAM + "FORMAT = 1\n", "camera.FORMAT", "0x2B, 0x01", false,
       CAM + "FORMAT = 0x2B, 0x01\n", "43, 1"},
      // The line that sets the key last; a continuation keeps its indent,
      // and after a number its comment.
      {CAM + "CFG_MODE = 1\nCFG_MODE = 2\n", "camera.CFG_MODE", "3", false,
       CAM + "CFG_MODE = 1\nCFG_MODE = 3\n", "3"},
      {CAM + "TYPE =\n    old text\n", "camera.TYPE", "new", false,
       CAM + "TYPE =\n    new\n", "new"},
      {CTL + "STEP =\n  4 ; why\n", "control.gain.STEP", "8", false,
       CTL + "STEP =\n  8 ; why\n", "8"},
      // Comment marks in a text: after the separator, or on a line of its
      // own, which keeps them.
      {CTL + "FUNC_NAME = x\n", "control.gain.FUNC_NAME", ";x", false,
       CTL + "FUNC_NAME =;x\n", ";x"},
      {CTL + "FUNC_NAME = set_gain ; note\n", "control.gain.FUNC_NAME",
       "f ; v2", false, CTL + "FUNC_NAME =          ; note\n  f ; v2\n",
       "f ; v2"},
      {CTL + "FUNC_NAME = x ; note\n", "control.gain.FUNC_NAME", "", false,
       CTL + "FUNC_NAME =   ; note\n", ""},
      // Added after the section's last name/value line, laid out like it.
      {CAM + "CFG_MODE  = 1\n\n; registers\n" + REG, "camera.I2C_ADDR", "0x36",
       false, CAM + "CFG_MODE  = 1\nI2C_ADDR  = 0x36\n\n; registers\n" + REG,
       "54"},
      {CTL + "======CODE_BLOCK_START======\nx\n======CODE_BLOCK_END======\n",
       "control.gain.DEF", "5", false,
       CTL + "DEF = 5\n"
             "======CODE_BLOCK_START======\nx\n======CODE_BLOCK_END======\n",
       "5"},
      {CAM + "CFG_MODE: 1", "camera.TRANS_LVL", "2", false,
       CAM + "CFG_MODE: 1\nTRANS_LVL: 2", "2"},
      // An indented line after the header would continue a key put there.
      {CAM + "   odd\n", "camera.CFG_MODE", "1", false,
       CAM + "   odd\nCFG_MODE = 1\n", "1"},
      {"[control parameter]\nCTRL_NAME = a.b\n", "control.a.b.DEF", "1", false,
       "[control parameter]\nCTRL_NAME = a.b\nDEF = 1\n", "1"},
      {CTL + "DEF = 1\n" + CTL + "DEF = 1\n", "control.gain.DEF", "2", false,
       CTL + "DEF = 2\n" + CTL + "DEF = 1\n", "2"},
      // Forced: written as given, and the record holds what the library
      // makes of it.
      {CAM + "BIT_WIDTH = 10\n", "camera.BIT_WIDTH", "300", true,
       CAM + "BIT_WIDTH = 300\n", "44"},
      {CAM + "TYPE = a\n", "camera.TYPE", std::string(60, 't'), true,
       CAM + "TYPE = " + std::string(60, 't') + "\n", std::string(49, 't')},
      // Refused.
      {CAM + "BIT_WIDTH = 10\n", "camera.BIT_WIDTH", "300", false, "",
       "'300' does not fit: BIT_WIDTH takes 0 to 255; the record would hold "
       "'44'"},
      {CAM, "camera.I2C_ADDR", "12ab", false, "", "text after the number"},
      {CAM, "camera.CFG_MODE", "-0x10", false, "", "sign before '0x'"},
      {CTL, "control.gain.STEP", "0x80000000", false, "",
       "STEP takes -2147483648 to 2147483647"},
      {CAM, "camera.FORMAT", "1, 256", false, "", "each of its bytes takes"},
      {CAM, "camera.SIZE", "640", true, "", "SIZE takes exactly two values"},
      {CAM, "camera.TYPE", " x", true, "", "white space at either end"},
      {CAM, "camera.TYPE", "a\nb", true, "", "line end"},
      {CAM, "camera.TYPE", std::string(50, 't'), false, "",
       "the record keeps the first 49"},
      {CTL + CTL, "control.gain.CTRL_NAME", "gain", false, "",
       "another control is named 'gain'"},
      {CTL, "control.gains.DEF", "1", false, "",
       "no control is named 'gains'; the controls are 'gain'"},
      {REG, "camera.CFG_MODE", "1", false, "", "no [camera parameter] section"},
      {CAM + piece_line, "camera.TYPE", "y", false, "", "reads it in pieces"},
      {CTL + "DEF = 1 ; " + std::string(185, 'n') + "\n", "control.gain.DEF",
       "1234567890", false, "", "longer than the 199 characters"},
      {CTL + "FUNC_NAME =\n  f\n", "control.gain.FUNC_NAME", "#f", false, "",
       "starts like a comment"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.input + " | set " + row.key + " " + row.value);
    const quorlen_tool::set_outcome out = quorlen_tool::set_value(
        row.input, key_of(row.key), row.value, row.force);
    if (row.output.empty()) {
      EXPECT_FALSE(out.ok);
      EXPECT_NE(out.error.find(row.says), std::string::npos) << out.error;
    } else {
      ASSERT_TRUE(out.ok) << out.error;
      EXPECT_EQ(out.bytes, row.output);
      EXPECT_EQ(out.holds, row.says);
    }
  }
}

TEST(edit, get_prints_what_the_record_holds_as_set_takes_it) {
  const struct {
    std::string input;
    const char* key;
    const char* printed;  // null: no such control
  } rows[] = {
      {CAM + "SIZE = 640, 480\nSIZE = 1\n", "camera.SIZE", "640, 480"},
      {CAM + "FORMAT = 0x2B, 0x01\n", "camera.FORMAT", "43, 1"},
      {CAM + "FORMAT = 0x30\n", "camera.FORMAT", "48, 0"},
      {CAM + "I2C_ADDR = 0x10036\n", "camera.I2C_ADDR", "54"},
      {CAM + "TYPE = a;b ; c\n", "camera.TYPE", "a;b"},
      {REG, "camera.TRANS_LVL", "0"},
      {CTL + "MAX_VALUE = 0xFFFFFFFFFFFFFFFF\n" + CTL + "MAX_VALUE = 1\n",
       "control.gain.MAX_VALUE", "9223372036854775807"},
      {CTL, "control.gain.DEF", "0"},
      {CAM, "control.gain.DEF", nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.input + " | get " + row.key);
    const quorlen_tool::get_outcome got =
        quorlen_tool::get_value(row.input, key_of(row.key));
    EXPECT_EQ(got.ok, row.printed != nullptr) << got.error;
    if (row.printed != nullptr) {
      EXPECT_EQ(got.value, row.printed);
    }
  }
}

// A row a case: set on a file whose section holds a name the library does
// not know but the lint takes for a slip of the key; "" when none is named.
TEST(edit, set_names_a_misspelt_twin_of_its_key) {
  const struct {
    std::string input;
    const char* key;
    const char* where;  // "line:column 'NAME'" of each twin, one a line
  } rows[] = {
      {CAM + "I2C_ADRR = 0x36\n", "camera.I2C_ADDR", "2:1 'I2C_ADRR'\n"},
      {CAM + "  i2c_addr = 0x36\n", "camera.I2C_ADDR", "2:3 'i2c_addr'\n"},
      {CAM + "I2C_ADRR = 1\nTYPE = a\n" + CAM + "I2C_ADDRR = 2\n",
       "camera.I2C_ADDR", "2:1 'I2C_ADRR'\n5:1 'I2C_ADDRR'\n"},
      {CTL + "DEFF = 1\n", "control.gain.DEF", "3:1 'DEFF'\n"},
      // Nearer to another key, in another control, or not near at all.
      {CAM + "I2C_MOD = 1\n", "camera.I2C_ADDR", ""},
      {CTL + "DEFF = 1\n[control parameter]\nCTRL_NAME = exp\n",
       "control.exp.DEF", ""},
      {CAM + "ADDRESS = 0x36\n", "camera.I2C_ADDR", ""},
      {CAM + "I2C_ADDR = 0x36\n", "camera.I2C_ADDR", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.input + " | set " + row.key);
    const quorlen_tool::set_outcome out =
        quorlen_tool::set_value(row.input, key_of(row.key), "0x37", false);
    ASSERT_TRUE(out.ok) << out.error;
    std::string where;
    for (const quorlen_tool::line_note& twin : out.twins) {
      where += std::to_string(twin.line) + ":" + std::to_string(twin.column) +
               " " + twin.text.substr(0, twin.text.find(' ')) + "\n";
    }
    EXPECT_EQ(where, row.where);
  }
}

// A row a case: a text, as messages show it, and as the dump shows it
// (tabs and other encodings kept).  An escape is never followed by a hex
// digit, and the dump's escaping in pieces, as its streams see it, gives
// what escaping the whole gives.
TEST(escape, one_form_in_every_command) {
  const struct {
    std::string text;
    const char* shown;
    const char* dumped;
  } rows[] = {
      {"plain", "plain", "plain"},
      {"a\tb", "a\\tb", "a\tb"},
      {"\t1", "\\t1", "\t1"},
      {"\x1b[2J", "\\x1b[2J", "\\x1b[2J"},
      {"\x1b"
       "1",
       "\\x{1b}1", "\\x{1b}1"},
      {"\x1b"
       "f\x1b"
       "F\x1b"
       "g",
       "\\x{1b}f\\x{1b}F\\x1bg", "\\x{1b}f\\x{1b}F\\x1bg"},
      {"\x1b\x1b"
       "0",
       "\\x1b\\x{1b}0", "\\x1b\\x{1b}0"},
      {"\x7f"
       "A",
       "\\x{7f}A", "\\x{7f}A"},
      {"\xc2\x9b"
       "9",
       "\\xc2\\x{9b}9", "\\xc2\\x{9b}9"},
      {"caf\xe9"
       "e",
       "caf\\x{e9}e",
       "caf\xe9"
       "e"},
      {"\xc3\xa9"
       "1",
       "\xc3\xa9"
       "1",
       "\xc3\xa9"
       "1"},
      {"\x07", "\\x07", "\\x07"},
      // A backslash of the text is shown as it is.
      {"\\x1b", "\\x1b", "\\x1b"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(quorlen_tool::escape_text(row.text), row.shown);
    EXPECT_EQ(quorlen_tool::escape_controls(row.text), row.dumped);
    for (std::size_t cut = 0; cut <= row.text.size(); ++cut) {
      std::string out;
      std::string held = row.text.substr(0, cut);
      held.erase(0, quorlen_tool::append_controls_escaped(out, held, true));
      held += row.text.substr(cut);
      quorlen_tool::append_controls_escaped(out, held, false);
      EXPECT_EQ(out, row.dumped) << "cut at " << cut;
    }
  }
  // A caret spans an escape as wide as it is shown.
  EXPECT_EQ(quorlen_tool::caret_marks("\x1b"
                                      "1",
                                      0, 1),
            "^~~~~~");
  EXPECT_EQ(quorlen_tool::caret_marks("\x1b"
                                      "g",
                                      0, 1),
            "^~~~");
  EXPECT_EQ(quorlen_tool::caret_padding("\x1b"
                                        "1x",
                                        2),
            "       ");
}

std::string read_back(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in),
                     std::istreambuf_iterator<char>());
}

// The file is replaced through a link, keeps its mode, and is left alone
// when the value is refused; no temporary file stays behind.
TEST(edit, set_replaces_the_file_whole_or_not_at_all) {
  char folder[] = "/tmp/quorlen_editXXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string dir = folder;
  const std::string file = dir + "/camera.cfg";
  const std::string link = dir + "/link.cfg";
  const std::string before = CAM + "CFG_MODE = 1 ; mode\n";
  std::ofstream(file, std::ios::binary) << before;
  ASSERT_EQ(chmod(file.c_str(), 0640), 0);
  ASSERT_EQ(symlink("camera.cfg", link.c_str()), 0);

  const auto set = [](const std::string& path, const char* key,
                      const char* value) {
    quorlen_tool::edit_request request;
    request.path = path;
    request.key = key;
    request.value = value;
    return quorlen_tool::run_set(request);
  };
  EXPECT_EQ(set(link, "camera.CFG_MODE", "abc"), 2);
  EXPECT_EQ(set(link, "camera.BIT_WIDTH", "256"), 2);
  EXPECT_EQ(read_back(file), before);
  EXPECT_EQ(set(link, "camera.CFG_MODE", "2"), 0);
  EXPECT_EQ(read_back(file), CAM + "CFG_MODE = 2 ; mode\n");

  struct stat st;
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(set(dir + "/none.cfg", "camera.CFG_MODE", "2"), 2);
  unlink(link.c_str());
  unlink(file.c_str());
  EXPECT_EQ(rmdir(folder), 0) << "a file was left in the folder";
}

}  // namespace
