#include <gtest/gtest.h>

#include <string>

#include "fmt/formatter.h"

namespace {

using quorlen_tool::fmt_options;
using quorlen_tool::format_config;

const std::string CAM = "[camera parameter]\n";
const std::string REG = "[register parameter]\n";
const std::string CTL = "[control parameter]\n";

fmt_options no_align() {
  fmt_options o;
  o.align = false;
  return o;
}

fmt_options tabs_and_crlf() {
  fmt_options o;
  o.indent = "\t";
  o.line_end = "\r\n";
  return o;
}

struct fmt_case {
  std::string before;
  std::string after;
  fmt_options options = {};
};

// A row a case: the file as it was, the file as fmt leaves it.  Each must
// be proved by its parse (never refused), and laid out again stay as it is.
TEST(fmt, lays_out_and_keeps_what_the_file_says) {
  const std::string long_value(180, 'x');
  const std::string long_comment = "; " + std::string(30, 'c');
  const fmt_case rows[] = {
      // Spacing around the separator, '=' and ':' kept apart, values with
      // both in them.
      {CAM + "CFG_MODE=1\nTYPE  :  a=b:c   \n",
       CAM + "CFG_MODE = 1\nTYPE : a=b:c\n"},
      {CAM + "CFG_MODE\t=\t1\t\n", CAM + "CFG_MODE = 1\n"},
      {CAM + "TYPE =\n", CAM + "TYPE =\n"},
      // A line without a name is no KEY = value.
      {"  =  x\n==y  ; z\n", "=  x\n==y  ; z\n"},
      // A value that a blank would turn into a comment stays against '='.
      {CTL + "FUNC_NAME =;x\nCTRL_NAME =//y ; z\n",
       CTL + "FUNC_NAME =;x\nCTRL_NAME =//y ; z\n"},
      {CAM + "TYPE = a;b // c\n", CAM + "TYPE = a;b // c\n"},
      {CAM + "TYPE = ;c\n", CAM + "TYPE = ;c\n"},
      // Indentation after a header means nothing; a continuation keeps one
      // step.
      {CAM + "   CFG_MODE = 1\n  ; note\n", CAM + "CFG_MODE = 1\n; note\n"},
      {REG + "REG = 0x30, 1\n\t0x31, 2\n        0x32, 3\n",
       REG + "REG = 0x30, 1\n    0x31, 2\n    0x32, 3\n"},
      {REG + "REG = 1\n\n   2\n", REG + "REG = 1\n\n    2\n"},
      {REG + "REG = 1\n        2\n",
       "[register parameter]\r\nREG = 1\r\n\t2\r\n", tabs_and_crlf()},
      {"  [camera parameter]\n  CFG_MODE = 1\n", CAM + "CFG_MODE = 1\n"},
      // Blank runs become one; none at the start or the end; one before a
      // header and the comments right above it.
      {"\n\n; top\n" + CAM + "CFG_MODE = 1\n\n\n\nTYPE = t\n\n\n",
       "; top\n" + CAM + "CFG_MODE = 1\n\nTYPE = t\n"},
      {CAM + "CFG_MODE = 1\n; registers\n# next\n" + REG + REG,
       CAM + "CFG_MODE = 1\n\n; registers\n# next\n" + REG + "\n" + REG},
      {CAM + "CFG_MODE = 1\n; a\n\n; b\n" + REG,
       CAM + "CFG_MODE = 1\n; a\n\n; b\n" + REG},
      // Inline comments of consecutive lines in one column.
      {REG + "REG = 1 ; a\nREG = 0x3000, 2  ; b\nDELAY = 5\nREG = 3    ; c\n",
       REG + "REG = 1         ; a\nREG = 0x3000, 2 ; b\nDELAY = 5\nREG = 3 ; "
             "c\n"},
      {REG + "REG = 1 ; a\nREG = 0x3000, 2  ; b\n",
       REG + "REG = 1 ; a\nREG = 0x3000, 2 ; b\n", no_align()},
      {CAM + "TYPE = \xC3\xA9t\xC3\xA9 ; a\nCFG_MODE = 12 ; b\n",
       CAM + "TYPE = \xC3\xA9t\xC3\xA9    ; a\nCFG_MODE = 12 ; b\n"},
      // CR LF where the file has it, line by line; the last line ends.
      {CAM + "CFG_MODE=1 \r\nTYPE=t\n\r\nSIZE=1,2",
       CAM + "CFG_MODE = 1\r\nTYPE = t\n\r\nSIZE = 1,2\n"},
      {"[camera parameter]\r\nCFG_MODE=1",
       "[camera parameter]\r\nCFG_MODE = 1\r\n"},
      // Code blocks byte for byte, markers and all.
      {CTL + "  ======CODE_BLOCK_START======  \n  x  =  1 \t\n\n\n;y\n"
             "======code_block_end======\t\nDEF=1\n",
       CTL + "  ======CODE_BLOCK_START======  \n  x  =  1 \t\n\n\n;y\n"
             "======code_block_end======\t\nDEF = 1\n"},
      // A byte-order mark stays in front.
      {"\xEF\xBB\xBF  ; bom\n" + CAM, "\xEF\xBB\xBF; bom\n" + CAM},
      {"\xEF\xBB\xBF\n\n" + CAM, "\xEF\xBB\xBF\n\n" + CAM},
      // fmt off / on keep a region as it is.
      {CAM + "# quorlen-config: fmt off\nCFG_MODE  = 1\n\n\nTYPE      = t\n"
             ";quorlen-config:fmt on\nSIZE  =  1,2\n",
       CAM + "# quorlen-config: fmt off\nCFG_MODE  = 1\n\n\nTYPE      = t\n"
             ";quorlen-config:fmt on\nSIZE = 1,2\n"},
      // Faulty lines stay, and so does every line's number above the last.
      {CAM + "I2C_ADDR 0x36\n\n\nCFG_MODE=1\n[register\n\n\nTYPE=t\n",
       CAM + "I2C_ADDR 0x36\n\n\nCFG_MODE = 1\n[register\n\nTYPE = t\n"},
      {CAM + "CFG_MODE=1\n" + CTL + "======CODE_BLOCK_START======\n\n\nx\n",
       CAM + "CFG_MODE = 1\n" + CTL + "======CODE_BLOCK_START======\n\n\nx\n"},
      // A line read in pieces, and a line that would grow past the room,
      // stay as they are.
      {CAM + "TYPE=" + std::string(200, 'y') + "  \nCFG_MODE=1\n",
       CAM + "TYPE=" + std::string(200, 'y') + "  \nCFG_MODE = 1\n"},
      {CAM + "TYPE=" + std::string(193, 'y') + "\nCFG_MODE=1\n",
       CAM + "TYPE=" + std::string(193, 'y') + "\nCFG_MODE = 1\n"},
      {CAM + "TYPE = " + long_value + "  ; a\nCFG_MODE = 1  " + long_comment,
       CAM + "TYPE = " + long_value + " ; a\nCFG_MODE = 1 " + long_comment +
           "\n"},
      // A line with a NUL in it stays.
      {CAM + std::string("TYPE  = a\0b  \n", 14) + "CFG_MODE=1\n",
       CAM + std::string("TYPE  = a\0b  \n", 14) + "CFG_MODE = 1\n"},
  };
  for (const fmt_case& row : rows) {
    const auto done = format_config(row.before, row.options);
    EXPECT_EQ(done.refused, "") << row.before;
    EXPECT_EQ(done.text, row.after) << row.before;
    const auto again = format_config(done.text, row.options);
    EXPECT_EQ(again.text, done.text) << "not idempotent: " << row.before;
  }
}

TEST(fmt, tells_of_faulty_lines) {
  EXPECT_FALSE(format_config(CAM + "CFG_MODE = 1\n", {}).faulty);
  EXPECT_TRUE(format_config(CAM + "CFG_MODE 1\n", {}).faulty);
}

}  // namespace
