#include "lint/rules.h"

#include "input/diagnostics.h"

namespace quorlen_tool {

namespace {

using namespace std::string_view_literals;

// A control that brings no finding of its own, for the examples.
#define GAIN \
  "[control parameter]\nCTRL_NAME = gain\nMAX_VALUE = 255\nSTEP = 1\n"
#define BLOCK                                        \
  "======CODE_BLOCK_START======\nset_gain(value);\n" \
  "======CODE_BLOCK_END======\n"
#define NOTE                                                                  \
  "the lens is the 2.8 mm one from the second batch, with the IR-cut filter " \
  "fitted; keep the register list below as it is until the board has been "   \
  "tested at 60 frames a second in the cold chamber at minus twenty degrees"

struct explained_row {
  rule_id id;
  rule_text text;
};

constexpr explained_row explained[] = {
    {rule_id::unclosed_header,
     {"A line that starts with '[' has no ']' to close its first bracket "
      "group, so the library counts it as a faulty line and stays in the "
      "section before.",
      "The lines below it land in the wrong section, or in none, so their "
      "settings never reach the camera; quorlen_parse_config returns the "
      "line's number, and a camera program may refuse the whole file.",
      "[camera parameter\nCFG_MODE = 1\n"sv,
      "[camera parameter]\nCFG_MODE = 1\n"sv}},
    {rule_id::no_separator,
     {"A line that is no comment, no section header and no continuation has "
      "neither '=' nor ':' between a name and a value; the library refuses "
      "it.",
      "The setting is lost: here the sensor's I2C address stays 0, so the "
      "camera program talks to no device on the bus, and the parse reports "
      "the line as faulty.",
      "[camera parameter]\nI2C_ADDR 0x36\n"sv,
      "[camera parameter]\nI2C_ADDR = 0x36\n"sv}},
    {rule_id::refused_line,
     {"The library ran out of memory while storing the line's register "
      "entry or control.",
      "The record lacks that entry, so the sensor is not sent that write: "
      "the file needs more memory than the camera board has left, however "
      "right the line is.",
      {},
      {}}},
    {rule_id::block_unterminated,
     {"A code block opened by ======CODE_BLOCK_START====== is never closed "
      "by ======CODE_BLOCK_END======, so it runs to the end of the file and "
      "the library drops it.",
      "The control has no code, so the camera program cannot apply it, and "
      "every line after the marker sets nothing; the parse reports the last "
      "line as faulty.",
      GAIN "======CODE_BLOCK_START======\nset_gain(value);\n"sv,
      GAIN BLOCK ""sv}},
    {rule_id::block_broken_off,
     {"A section header stands between a code block's start and end "
      "markers: the library drops the block and does not apply the header.",
      "The control loses its code, and the lines after the header stay in "
      "the section before, so register writes meant for the sensor are "
      "never sent.",
      GAIN "======CODE_BLOCK_START======\nset_gain(value);\n"
           "[register parameter]\nREG = 0x0100, 0x01\n"sv,
      GAIN BLOCK "[register parameter]\nREG = 0x0100, 0x01\n"sv}},
    {rule_id::block_no_memory,
     {"The library ran out of memory while storing a control's code block.",
      "The control has no code, so the camera program cannot apply it: the "
      "file needs more memory than the camera board has left.",
      {},
      {}}},
    {rule_id::unknown_section,
     {"The header names no section the library knows; names are matched "
      "exactly, case and spaces included, so every line up to the next "
      "header is ignored.",
      "A misspelt header throws a whole block of settings away without a "
      "fault: a register section's writes never reach the sensor, and the "
      "camera starts with its power-on defaults.",
      "[camera parameters]\nCFG_MODE = 1\n"sv,
      "[camera parameter]\nCFG_MODE = 1\n"sv}},
    {rule_id::open_group,
     {"Only the first bracket group of a header must be closed; a later "
      "group without its ']' still joins the name, with everything after "
      "its '[' up to the end of the line.",
      "The section is the one meant only while nothing follows the open "
      "group: a comment or a stray character after it makes the name one "
      "the library does not know, and the lines below are ignored.",
      "[board parameter][dev2\nREG = 0x0100, 0x01\n"sv,
      "[board parameter][dev2]\nREG = 0x0100, 0x01\n"sv}},
    {rule_id::section_cut,
     {"A section name longer than 49 characters is cut at 49, and the cut "
      "name is what the library matches.",
      "No known section is that long, so the lines below are ignored as an "
      "unknown section, or, should the cut name be a known one, go to a "
      "section that the file does not name.",
      "[register parameter||dev3||inf3||this name goes on too long]\n"
      "REG = 0x0100, 0x01\n"sv,
      "[register parameter||dev3||inf3]\nREG = 0x0100, 0x01\n"sv}},
    {rule_id::text_after_header,
     {"Everything after a header's closing ']' on its line is ignored.",
      "A setting written on the header's line never reaches the record: "
      "here the camera's mode stays 0.",
      "[camera parameter] CFG_MODE = 1\n"sv,
      "[camera parameter]\nCFG_MODE = 1\n"sv}},
    {rule_id::lines_after_unclosed_header,
     {"After a header that lacks its ']', the library stays in the section "
      "before, so the lines below the header go there.",
      "Register writes land in the camera section, where REG is no key and "
      "is dropped, so the sensor is never programmed with them.",
      "[camera parameter]\nCFG_MODE = 1\n[register parameter\n"
      "REG = 0x0100, 0x01\n"sv,
      "[camera parameter]\nCFG_MODE = 1\n[register parameter]\n"
      "REG = 0x0100, 0x01\n"sv}},
    {rule_id::unknown_key,
     {"The section does not know the key; keys are upper case and matched "
      "exactly, and the library ignores a line whose key it does not know.",
      "The value never reaches the record and the field keeps 0: a misspelt "
      "I2C_ADDR leaves the camera program addressing device 0x00 on the "
      "bus.",
      "[camera parameter]\nI2C_ADR = 0x36\n"sv,
      "[camera parameter]\nI2C_ADDR = 0x36\n"sv}},
    {rule_id::pair_before_header,
     {"A name/value line stands before the first section header, where no "
      "key means anything; the library ignores it.",
      "The setting is lost: usually the header was forgotten, or the line "
      "was pasted above it.",
      "CFG_MODE = 1\n[camera parameter]\n"sv,
      "[camera parameter]\nCFG_MODE = 1\n"sv}},
    {rule_id::text_after_number,
     {"A value starts with a number and goes on with text, which the "
      "library passes over: '12ab' is read as 12.",
      "A hex number without its '0x', or with a letter for a digit, gives "
      "another value than the one meant, and it is written to the camera "
      "without a fault.",
      "[camera parameter]\nTRANS_LVL = 12ab\n"sv,
      "[camera parameter]\nTRANS_LVL = 0x12AB\n"sv}},
    {rule_id::no_number,
     {"A value holds no digits where a number is expected, so the library "
      "reads 0.",
      "An address or a register value silently becomes 0: the sensor is "
      "programmed with 0, or the camera program addresses the wrong "
      "device.",
      "[camera parameter]\nI2C_ADDR = x36\n"sv,
      "[camera parameter]\nI2C_ADDR = 0x36\n"sv}},
    {rule_id::sign_before_hex,
     {"A number with a sign before '0x' is read as decimal, which stops at "
      "the 'x': '-0x10' is read as 0.",
      "The control's range starts at 0 instead of -16, so the camera "
      "program cannot set the values below it.",
      GAIN "MIN_VALUE = -0x10\n"sv, GAIN "MIN_VALUE = -16\n"sv}},
    {rule_id::beyond_range,
     {"The number is beyond what its type holds (32 bits for most values, "
      "64 for a control's MIN_VALUE, MAX_VALUE and DEF), so the library "
      "stops it at the bound.",
      "The record holds the bound, 2147483647 here, not what the file says, "
      "and the board is sent that.",
      "[register parameter]\nVRCMD = 0x1FFFFFFFF\n"sv,
      "[register parameter]\nVRCMD = 0x1FFFFFFF\n"sv}},
    {rule_id::cut_to_field,
     {"The number is read whole but its field is narrower: BIT_WIDTH and "
      "I2C_MODE keep their low 8 bits, I2C_ADDR and FORMAT their low 16, "
      "STEP its low 32.",
      "The camera program sees another value than the file says: BIT_WIDTH "
      "300 is stored as 44, so frames are read with the wrong bit depth, "
      "and an I2C_ADDR beyond 16 bits addresses another device.",
      "[camera parameter]\nBIT_WIDTH = 300\n"sv,
      "[camera parameter]\nBIT_WIDTH = 12\n"sv}},
    {rule_id::too_many_values,
     {"A line lists more than 16 values; the library keeps the first 16 and "
      "drops the rest.",
      "The last values are never written: a register sequence sent to the "
      "sensor stops short.",
      "[register parameter]\n"
      "REG = 1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18\n"sv,
      "[register parameter]\nREG = 1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16\n"
      "REG = 17,18\n"sv}},
    {rule_id::size_count,
     {"SIZE takes exactly two values, the width and the height; with any "
      "other count the line changes nothing.",
      "The frame size stays 0 by 0 (or what an earlier SIZE set), so the "
      "frame buffers are sized wrong or the stream does not start.",
      "[camera parameter]\nSIZE = 1920\n"sv,
      "[camera parameter]\nSIZE = 1920, 1080\n"sv}},
    {rule_id::format_count,
     {"FORMAT takes one value (its high byte) or two (its high and low "
      "bytes); with any other count the line changes nothing.",
      "The pixel format stays as it was, so frames are decoded in the wrong "
      "format.",
      "[camera parameter]\nFORMAT = 0x2B, 0x01, 0x00\n"sv,
      "[camera parameter]\nFORMAT = 0x2B, 0x01\n"sv}},
    {rule_id::continuation_comment,
     {"A continuation line is taken whole, its comment included, so a ',' "
      "in the comment adds values to the entry.",
      "The register entry gets values that are words of the comment, read "
      "as 0 or as stray numbers, and the sensor is sent writes that nobody "
      "wrote.",
      "[register parameter]\nREG = 0x3000, 0x01\n"
      "  0x3001, 0x02 ; mode, 2 lanes\n"sv,
      "[register parameter]\n; mode, 2 lanes\nREG = 0x3000, 0x01\n"
      "  0x3001, 0x02\n"sv}},
    {rule_id::text_cut,
     {"A text is longer than its field (TYPE holds 49 characters, CTRL_NAME "
      "and FUNC_NAME 127) and is cut.",
      "The camera program sees the cut text: a sensor type or a control's "
      "function that is not the one it looks for.",
      "[camera parameter]\n"
      "TYPE = ql5m-1080p30-raw10-mipi-2lane-rev-b-engineering-sample\n"sv,
      "[camera parameter]\nTYPE = ql5m-1080p30-raw10-mipi-2lane-rev-b\n"sv}},
    {rule_id::unspaced_comment_mark,
     {"';' or '//' starts an inline comment only after white space; "
      "without a blank before it, it and what follows stay in the value.",
      "The text holds the comment: the sensor type is 'ql5m; rev B', and a "
      "camera program that looks for 'ql5m' does not find it.",
      "[camera parameter]\nTYPE = ql5m; rev B\n"sv,
      "[camera parameter]\nTYPE = ql5m ; rev B\n"sv}},
    {rule_id::hash_in_text,
     {"'#' starts a comment only at the start of a line; after a value it "
      "is part of the text.",
      "The text holds the comment: the sensor type is 'ql5m # rev A', and a "
      "camera program that looks for 'ql5m' does not find it.",
      "[camera parameter]\nTYPE = ql5m # rev A\n"sv,
      "[camera parameter]\nTYPE = ql5m ; rev A\n"sv}},
    {rule_id::long_line,
     {"The library reads at most 199 characters at a time; a longer line is "
      "read in pieces, and each piece is a line of its own.",
      "The pieces after the first are read as new lines: a value cut there "
      "becomes a faulty line or a setting of its own, and the line numbers "
      "the library reports run ahead of an editor's.",
      "[camera parameter]\nTYPE = ql5m\n; " NOTE "\n"sv,
      "[camera parameter]\nTYPE = ql5m\n; the lens is the 2.8 mm one\n"sv}},
    {rule_id::late_byte_order_mark,
     {"A UTF-8 byte-order mark is skipped only at the very start of the "
      "file; anywhere else, usually where two files were joined, it is read "
      "as text.",
      "The key on that line reads as '\\xef\\xbb\\xbfCFG_MODE', which no "
      "section knows, so the setting is dropped.",
      "[camera parameter]\n\xEF\xBB\xBF"
      "CFG_MODE = 1\n"sv,
      "[camera parameter]\nCFG_MODE = 1\n"sv}},
    {rule_id::indented_after_header,
     {"An indented line right after a section header is an ordinary line, "
      "not a continuation: a header ends every run of continuation lines.",
      "The line is read as it is written, but its indentation says it "
      "continues something; a reader of the file may take it for part of "
      "the list above the header.",
      "[camera parameter]\n  CFG_MODE = 1\n"sv,
      "[camera parameter]\nCFG_MODE = 1\n"sv}},
    {rule_id::indented_key,
     {"An indented line right after a name/value line continues that key, "
      "even when it looks like a key of its own: '  BIT_WIDTH = 10' is a "
      "further value of I2C_ADDR.",
      "The indented key is never set, and the key before it is set again to "
      "a value that is no number: here the I2C address becomes 0 and the "
      "bit width stays unset.",
      "[camera parameter]\nI2C_ADDR = 0x36\n  BIT_WIDTH = 10\n"sv,
      "[camera parameter]\nI2C_ADDR = 0x36\nBIT_WIDTH = 10\n"sv}},
    {rule_id::nul_byte,
     {"A NUL byte ends a line for the library, which never sees the "
      "characters after it.",
      "The values after the NUL are lost: the register write is sent with "
      "fewer values than an editor shows.",
      "[register parameter]\nREG = 0x3000,\0 0x01\n"sv,
      "[register parameter]\nREG = 0x3000, 0x01\n"sv}},
    {rule_id::not_text,
     {"The file's first 8192 bytes hold a run of 4 NUL bytes, or many "
      "control bytes: it is an image, an archive or a text saved as UTF-16, "
      "not a configuration file.",
      "The library reads whatever lines it finds in it, so the camera "
      "starts with settings picked out of binary data; usually the wrong "
      "file was copied to the board.",
      "\x7f"
      "ELF\x01\x01\x01\0\0\0\0\0\0\0\0\0\n"sv,
      "[camera parameter]\nCFG_MODE = 1\n"sv}},
    {rule_id::block_elsewhere,
     {"A code block belongs to the control section it stands in; outside a "
      "control section the library reads it and throws it away.",
      "The code that applies a control never reaches the record, so the "
      "camera program has nothing to run when the control changes.",
      "[camera parameter]\nCFG_MODE = 1\n" BLOCK ""sv,
      "[camera parameter]\nCFG_MODE = 1\n" GAIN BLOCK ""sv}},
    {rule_id::second_block,
     {"A control section holds a second code block, which replaces the "
      "first.",
      "The first block's code is lost; usually the header of the next "
      "control is missing between the two.",
      GAIN BLOCK "======CODE_BLOCK_START======\nset_gain2(value);\n"
                 "======CODE_BLOCK_END======\n"sv,
      GAIN BLOCK
      "[control parameter]\nCTRL_NAME = exposure\nMAX_VALUE = 255\n"
      "STEP = 1\n======CODE_BLOCK_START======\nset_exposure(value);\n"
      "======CODE_BLOCK_END======\n"sv}},
    {rule_id::indented_block_marker,
     {"An indented start marker right after a name/value line is read as a "
      "further value of that key, so no block opens.",
      "The control gets no code, the key before the marker is set again "
      "(STEP becomes 0 here), and the lines of code are read as settings.",
      GAIN "  ======CODE_BLOCK_START======\n  set_gain(value);\n"
           "======CODE_BLOCK_END======\n"sv,
      GAIN "======CODE_BLOCK_START======\n  set_gain(value);\n"
           "======CODE_BLOCK_END======\n"sv}},
    {rule_id::stray_block_end,
     {"An end marker with no block open is an ordinary line to the "
      "library.",
      "Usually its start marker is missing or misspelt, so the code it was "
      "meant to close was read as settings or refused.",
      "[camera parameter]\nCFG_MODE = 1\n======CODE_BLOCK_END======\n"sv,
      "[camera parameter]\nCFG_MODE = 1\n"sv}},
    {rule_id::near_block_marker,
     {"A line is nearly a code-block marker (an '=' too few or too many, a "
      "letter off) but not one, so the library reads it as an ordinary "
      "line.",
      "No block opens, or the open one does not end: the control's code is "
      "lost, and its lines are read as settings or refused.",
      GAIN "======CODE_BLOCK_START=====\nset_gain(value);\n"
           "======CODE_BLOCK_END======\n"sv,
      GAIN BLOCK ""sv}},
    {rule_id::min_above_max,
     {"The control's MIN_VALUE is above its MAX_VALUE, so no value lies in "
      "its range.",
      "A camera program that keeps a value in the range can set none, or "
      "any; usually the two were swapped.",
      "[control parameter]\nCTRL_NAME = gain\nMIN_VALUE = 16\n"
      "MAX_VALUE = 8\nSTEP = 1\nDEF = 8\n"sv,
      "[control parameter]\nCTRL_NAME = gain\nMIN_VALUE = 8\n"
      "MAX_VALUE = 16\nSTEP = 1\nDEF = 8\n"sv}},
    {rule_id::def_outside,
     {"The control's DEF lies outside MIN_VALUE .. MAX_VALUE.",
      "The camera starts with a value the control itself forbids: the "
      "sensor gets a gain or an exposure out of its range at every start.",
      GAIN "DEF = 300\n"sv, GAIN "DEF = 200\n"sv}},
    {rule_id::step_not_positive,
     {"The control's STEP is 0 or below; a control without STEP has 0.",
      "A user interface that steps through the range never moves, or "
      "loops, and a camera program may divide by the step.",
      "[control parameter]\nCTRL_NAME = gain\nMAX_VALUE = 255\nSTEP = 0\n"sv,
      GAIN ""sv}},
    {rule_id::no_ctrl_name,
     {"A control section has no CTRL_NAME.",
      "The camera program finds controls by name, so this one can never be "
      "set.",
      "[control parameter]\nMAX_VALUE = 255\nSTEP = 1\n"sv, GAIN ""sv}},
    {rule_id::same_ctrl_name,
     {"Two control sections have the same CTRL_NAME.",
      "A camera program that finds controls by name finds only the first; "
      "the second is never set.",
      GAIN GAIN ""sv,
      GAIN "[control parameter]\nCTRL_NAME = exposure\nMAX_VALUE = 255\n"
           "STEP = 1\n"sv}},
    {rule_id::camera_key_again,
     {"A camera key is set a second time; the later line wins.",
      "The earlier line is dead text that a reader may trust; often one of "
      "the two was meant for another key.",
      "[camera parameter]\nCFG_MODE = 2\nCFG_MODE = 3\n"sv,
      "[camera parameter]\nCFG_MODE = 3\n"sv}},
    {rule_id::control_key_again,
     {"A key is set a second time in one control section; the later line "
      "wins.",
      "Usually the header of the next control is missing: two controls have "
      "become one, and the first loses its settings.",
      GAIN "CTRL_NAME = exposure\nMAX_VALUE = 100\n"sv,
      GAIN "[control parameter]\nCTRL_NAME = exposure\nMAX_VALUE = 100\n"
           "STEP = 1\n"sv}},
    {rule_id::unknown_disabled_code,
     {"A disable comment names a code that no rule has, so it silences "
      "nothing for it.",
      "The finding it was meant to silence is still reported, or the code "
      "was mistyped and stays wrong: codes never change meaning.",
      "; quorlen-config: disable=Q999\n[camera parameter]\nCFG_MODE = 1\n"sv,
      "; quorlen-config: disable=Q901\n[camera parameter]\nCFG_MODE = 1\n"sv}},
    // What a binding refuses depends on the binding: its own examples, which
    // binding check runs, show each kind.
    {rule_id::binding_not_allowed,
     {"The value is not one the sensor's binding allows (its enum or const): "
      "I2C_ADDR 0x10 for a sensor that answers at 0x36 or 0x37.",
      "The file reads cleanly, but the camera does not start on the board: "
      "the driver talks to an address, size or format this sensor lacks.",
      {},
      {}}},
    {rule_id::binding_out_of_range,
     {"The value lies outside the binding's minimum or maximum: a REG value "
      "above 0xFF where the sensor's registers take one byte.",
      "The register write or control limit is cut or refused by the sensor, "
      "so the sensor is programmed with another value than the file says.",
      {},
      {}}},
    {rule_id::binding_not_set,
     {"The binding needs a key that the file never sets, so the record holds "
      "0 there.",
      "A field left at 0 (an I2C address, a size) is taken as a real value "
      "by the camera program.",
      {},
      {}}},
    {rule_id::binding_value_count,
     {"A REG, VRCMD or DELAY line has another number of values than the "
      "binding allows for that key: a REG of this sensor writes an address "
      "and one byte.",
      "Missing values are sent as 0 and extra ones are sent too: the wrong "
      "bytes reach the sensor or the board.",
      {},
      {}}},
    {rule_id::binding_unmet,
     {"Another condition of the binding is not met: a pattern, a length, or "
      "an if/then the binding's author wrote.",
      "The binding's description says what the sensor needs; the file as "
      "written does not give it.",
      {},
      {}}},
    {rule_id::binding_refused,
     {"The file names a binding in a comment that lies outside the file's "
      "folder tree; it is not applied unless the command line allows it.",
      "A file picks its own binding, so a file from elsewhere could point "
      "the check anywhere; the file is checked without that binding.",
      {},
      {}}},
};

#undef GAIN
#undef BLOCK
#undef NOTE

static_assert(std::size(explained) == lint_rules.size(),
              "every rule is explained");

constexpr bool explained_in_order() {
  for (std::size_t i = 0; i < std::size(explained); ++i) {
    if (static_cast<std::size_t>(explained[i].id) != i) return false;
  }
  return true;
}

// The example and the corrected file, indented, their bytes escaped.
std::string shown_file(std::string_view text) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    out += "    " + escape_text(text.substr(at, end - at)) + "\n";
    at = end + 1;
  }
  return out;
}

}  // namespace

const char* level_name(level l) {
  switch (l) {
  case level::info: return "info";
  case level::warning: return "warning";
  case level::error: return "error";
  }
  return "warning";
}

bool binding_rule(const rule& r) {
  return r.id >= rule_id::binding_not_allowed &&
         r.id <= rule_id::binding_refused;
}

const rule* find_rule(const std::string& code) {
  for (const rule& r : lint_rules) {
    if (code == r.code) return &r;
  }
  return nullptr;
}

const rule_text& text_of(rule_id id) {
  static_assert(explained_in_order(), "explained must follow rule_id");
  return explained[static_cast<std::size_t>(id)].text;
}

std::string silence_text(const rule& r) {
  const std::string code = r.code;
  // A file is judged not to be text before any of its lines is read, so
  // its comments are never seen.
  if (r.id == rule_id::not_text) {
    return "--disable=" + code +
           " only: a file that is not text is judged "
           "before its comments are read";
  }
  return "--disable=" + code +
         ", or a comment '; quorlen-config: disable=" + code +
         "' on the line before the finding, or before the first section "
         "header for the whole file";
}

std::string explain_text(const rule& r) {
  const rule_text& e = text_of(r.id);
  std::string out = std::string(r.code) + " (" + level_name(r.severity) +
                    "): " + r.summary + "\n\nWhat it means: " + e.meaning +
                    "\nWhy it matters: " + e.matters + "\n\n";
  if (e.example.empty() && binding_rule(r)) {
    out +=
        "Example: the binding's own examples (binding check runs them), "
        "and docs/bindings.md.\n\n";
  } else if (e.example.empty()) {
    out += "Example: none; no file brings it on purpose.\n\n";
  } else {
    out += "Example:\n" + shown_file(e.example) + "Corrected:\n" +
           shown_file(e.corrected) + "\n";
  }
  out += r.fixes ? "Fix: lint --fix mends it where the right text is certain "
                   "(--fix=diff shows how; so does an editor's quick fix).\n"
                 : "Fix: none; the right text is the author's to choose.\n";
  return out + "Silence it: " + silence_text(r) + ".\n";
}

}  // namespace quorlen_tool
