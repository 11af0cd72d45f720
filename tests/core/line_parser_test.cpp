#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace {

using quorlen::parse_text;
using quorlen_test::recorder;

struct row {
  const char* what;
  std::string input;
  int result;
  std::string events;  // one recorder line each, newline-terminated
};

// Through the text source, and through the bytes as a file holds them.
void check(const row& r) {
  SCOPED_TRACE(r.what);
  recorder rec;
  EXPECT_EQ(quorlen::parse_bytes(r.input.data(), r.input.size(),
                                 recorder::handle, &rec),
            r.result);
  EXPECT_EQ(rec.joined(), r.events);
  if (r.input.find('\0') != std::string::npos) return;  // the text ends there
  recorder text;
  EXPECT_EQ(parse_text(r.input.c_str(), recorder::handle, &text), r.result);
  EXPECT_EQ(text.joined(), r.events);
}

const std::string name60(60, 'N');
const std::string name49(49, 'N');

TEST(line_parser, classifies_comments_blank_lines_and_pairs) {
  const row rows[] = {
      {"empty input", "", 0, ""},
      {"blank and comment lines", "\n   \n; a\n# b\n// c\n\t\n", 0, ""},
      {"single slash is no comment", "/x = 1\n", 0, "|/x|1\n"},
      {"pair before any header has the empty section", "a = 1\n", 0, "|a|1\n"},
      {"colon separates too", "a: 1\n", 0, "|a|1\n"},
      {"first separator splits", "a = b=c:d\n", 0, "|a|b=c:d\n"},
      {"line starting with = has an empty name", "= 5\n", 0, "||5\n"},
      {"empty value", "a =\n", 0, "|a|\n"},
      {"inner spaces of a name are kept", "  my key  =  v  w  \n", 0,
       "|my key|v  w\n"},
      {"CR LF line ends", "[s]\r\na = 1\r\n", 0, "[s]\ns|a|1\n"},
      {"last line without newline", "a = 1\nb = 2", 0, "|a|1\n|b|2\n"},
      {"bare word is faulty, the rest still arrives",
       "a = 1\nb = 2\nword\nc = 3\n", 3, "|a|1\n|b|2\n|c|3\n"},
      {"first faulty line wins", "x\ny\n", 1, ""},
  };
  for (const auto& r : rows) check(r);
}

TEST(line_parser, inline_comments_need_white_space_before_them) {
  const row rows[] = {
      {"; after space", "key=value ; note\n", 0, "|key|value\n"},
      {"; glued", "key=value;note\n", 0, "|key|value;note\n"},
      {"// glued", "key = a//b\n", 0, "|key|a//b\n"},
      {"// after space", "key = a //b\n", 0, "|key|a\n"},
      {"comment right after separator is value text", "key=;x\n", 0,
       "|key|;x\n"},
      {"comment after separator and space", "key= ;x\n", 0, "|key|\n"},
      {"comment before the separator", "name ; note = 1\n", 1, ""},
      {"tab counts as white space", "k = v\t;c\n", 0, "|k|v\n"},
      // The search for a comment starts at the line's first ';' or '/',
      // which need not start one.
      {"glued mark before a comment", "k = a;b ; c\n", 0, "|k|a;b\n"},
      {"glued '/' before a comment", "k = a/b //c\n", 0, "|k|a/b\n"},
      {"mark in the name", "n;m = v ;c\n", 0, "|n;m|v\n"},
      {"single '/' after a blank", "k = a /b\n", 0, "|k|a /b\n"},
      {"blanks before the comment", "k = v      ; c\n", 0, "|k|v\n"},
      {"mark after a NUL ends nothing", std::string("k = v\0 ;x\nk = w\n", 15),
       0, "|k|v\n|k|w\n"},
      {"long name before a header's long group",
       "[register parameter; x][dev3]\n", 0, "[register parameter; x||dev3]\n"},
  };
  for (const auto& r : rows) check(r);
}

TEST(line_parser, section_headers_and_joined_groups) {
  const row rows[] = {
      {"plain", "[a]\n", 0, "[a]\n"},
      {"text after the close is ignored", "[a] [b]\n", 0, "[a]\n"},
      {"groups join", "[a][b]\n", 0, "[a||b]\n"},
      {"three groups", "[board parameter][dev3][inf2]\n", 0,
       "[board parameter||dev3||inf2]\n"},
      {"written joined", "[board parameter||dev3||inf2]\n", 0,
       "[board parameter||dev3||inf2]\n"},
      {"unclosed later group is no fault", "[a][b\n", 0, "[a||b]\n"},
      {"unclosed later group ends at a comment", "[a][b ;c\n", 0, "[a||b ]\n"},
      {"unclosed first group keeps the section", "[s]\n[a\nk=1\n", 2,
       "[s]\ns|k|1\n"},
      {"comment inside the brackets", "[a ;x]\n", 1, ""},
      {"glued ; is part of the name", "[a;x]\n", 0, "[a;x]\n"},
      {"comment after the header", "[a] ; note\n", 0, "[a]\n"},
      {"empty section", "[]\nk=1\n", 0, "[]\n|k|1\n"},
      {"case and spaces as written", "[ Camera Parameter ]\n", 0,
       "[ Camera Parameter ]\n"},
      {"long section cut to 49", "[" + name60 + "]\nk=1\n", 0,
       "[" + name49 + "]\n" + name49 + "|k|1\n"},
  };
  for (const auto& r : rows) check(r);
}

TEST(line_parser, continuation_lines) {
  const row rows[] = {
      {"indented line continues", "key = 1\n   more text\n", 0,
       "|key|1\n|key|more text\n"},
      {"an indented pair sets the name", "[s]\n  a = 1\n  word\n", 0,
       "[s]\ns|a|1\ns|a|word\n"},
      {"header clears the name", "[s]\n  word\n", 2, "[s]\n"},
      {"indented comments stay comments", "k=1\n  ; c\n  # c\n  // c\n", 0,
       "|k|1\n"},
      {"indented bracket is a value", "[s]\nk=1\n  [a]\nj=2\n", 0,
       "[s]\ns|k|1\ns|k|[a]\ns|j|2\n"},
      {"inline comments are kept", "k=1\n  a ; b\n", 0, "|k|1\n|k|a ; b\n"},
      {"line starting with = empties the name", "=x\n  y\n", 2, "||x\n"},
      {"block marker continues a value",
       "k=1\n  ======CODE_BLOCK_START======\n", 0,
       "|k|1\n|k|======CODE_BLOCK_START======\n"},
      {"long name whole on its line, cut after", name60 + "=1\n  2\n", 0,
       "|" + name60 + "|1\n|" + name49 + "|2\n"},
      {"code block keeps the last name",
       "k=1\n======CODE_BLOCK_START======\nx\n======CODE_BLOCK_END======\n"
       "  more\n",
       0, "|k|1\n|<code>|x\n\n|k|more\n"},
  };
  for (const auto& r : rows) check(r);
}

TEST(line_parser, byte_order_mark_only_on_line_one) {
  const row rows[] = {
      {"skipped on line 1", "\xEF\xBB\xBF[s]\n", 0, "[s]\n"},
      {"kept on line 2",
       "a=1\n\xEF\xBB\xBF"
       "b=2\n",
       0,
       "|a|1\n|\xEF\xBB\xBF"
       "b|2\n"},
      {"not a continuation by itself", "\xEF\xBB\xBFk=1\n", 0, "|k|1\n"},
      {"partial mark is text", "\xEF\xBB=1\n", 0, "|\xEF\xBB|1\n"},
  };
  for (const auto& r : rows) check(r);
}

const std::string START = "======CODE_BLOCK_START======\n";
const std::string END = "======CODE_BLOCK_END======\n";

TEST(line_parser, code_blocks) {
  const row rows[] = {
      {"lines end with newline, leading space kept",
       "[c]\n" + START + "a = 1\n  ; b  \n\n[x\n" + END, 0,
       "[c]\nc|<code>|a = 1\n  ; b\n\n[x\n\n"},
      {"empty block", "[c]\n" + START + END, 0, "[c]\nc|<code>|\n"},
      {"markers ignore case and surrounding space",
       "  ======code_block_start======  \nx\n\t======Code_Block_End======\n", 0,
       "|<code>|x\n\n"},
      {"end of input inside a block reports the last line",
       "word\n" + START + "x\ny\n", 4, ""},
      {"block opened on the last line", START, 1, ""},
      {"header breaks the block off and is not applied",
       "[s]\nbad\n" + START + "x\n[t]\nk=1\n", 5, "[s]\ns|k|1\n"},
      {"header with a comment inside does not break", START + "[t ;]\n" + END,
       0, "|<code>|[t ;]\n\n"},
      {"end of input counts the block's lines", START + "x\n", 2, ""},
  };
  for (const auto& r : rows) check(r);
}

TEST(line_parser, refused_events_record_their_line) {
  recorder rec;
  rec.refuse = {2, 3};
  const char* text =
      "[s]\na=1\n  more\n"
      "======CODE_BLOCK_START======\n"
      "x\n======CODE_BLOCK_END======\n";
  EXPECT_EQ(parse_text(text, recorder::handle, &rec), 2);
  EXPECT_EQ(rec.events.size(), 4u);

  recorder block;
  block.refuse = {1};
  EXPECT_EQ(parse_text("k=1\n"
                       "======CODE_BLOCK_START======\nx\n"
                       "======CODE_BLOCK_END======\n"
                       "j=2\n",
                       recorder::handle, &block),
            1);
  recorder end;
  end.refuse = {2};
  EXPECT_EQ(parse_text("k=1\n"
                       "======CODE_BLOCK_START======\nx\n"
                       "======CODE_BLOCK_END======\n",
                       recorder::handle, &end),
            4);
}

TEST(line_parser, long_lines_arrive_in_pieces) {
  // 199 characters fill one read; the rest is a line of its own.
  std::string value(250, 'v');
  recorder rec;
  std::string text = "k=" + value + "\n";
  EXPECT_EQ(parse_text(text.c_str(), recorder::handle, &rec), 2);
  ASSERT_EQ(rec.events.size(), 1u);
  EXPECT_EQ(rec.events[0], "|k|" + std::string(197, 'v'));

  recorder cont;
  text = "k=1\n  " + value + "\n";  // the piece after 199 is not indented
  EXPECT_EQ(parse_text(text.c_str(), recorder::handle, &cont), 3);
  ASSERT_EQ(cont.events.size(), 2u);
  EXPECT_EQ(cont.events[1], "|k|" + std::string(197, 'v'));
}

struct fault_log {
  std::string text;
  static void report(void* context, const quorlen::fault& f) {
    auto* self = static_cast<fault_log*>(context);
    self->text += std::to_string(f.line) + ":" +
                  std::to_string(static_cast<int>(f.kind)) + ":" +
                  std::to_string(f.block_line) + ":" + f.text + "\n";
  }
};

TEST(line_parser, observer_sees_every_fault_without_changing_the_result) {
  fault_log log;
  quorlen::parse_observer observer{fault_log::report, &log};
  recorder rec;
  rec.refuse = {2};
  const std::string text =
      "[a\nword ; x\n[s]\nk = 1 ; c\n" + START + "x\n[t]\n" + START + "y\n";
  EXPECT_EQ(parse_text(text.c_str(), recorder::handle, &rec, &observer), 9);
  EXPECT_EQ(log.text,
            "1:0:0:[a\n"
            "2:1:0:word ; x\n"
            "4:2:0:k = 1 ; c\n"
            "7:4:5:[t]\n"
            "9:3:8:y\n");
}

}  // namespace
