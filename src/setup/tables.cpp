#include "setup_internal.h"

namespace quorlen {

const code_row section_codes[] = {
    {"camera parameter", 0x01000000},
    {"control parameter", 0x04000000},
    {"board parameter", 0x02000000},
    {"board parameter||dev2", 0x02020000},
    {"board parameter||dev3||inf2", 0x02040000},
    {"board parameter||dev3||inf3", 0x02030000},
    {"register parameter", 0x03000000},
    {"register parameter||dev3||inf2", 0x03040000},
    {"register parameter||dev3||inf3", 0x03030000},
    {nullptr, 0},
};

// Held in this order: REG, DELAY, VRCMD.
const code_row register_key_codes[] = {
    {"REG", 0x00000001},
    {"DELAY", 0x00000003},
    {"VRCMD", 0x00000002},
    {nullptr, 0},
};

const code_row control_key_codes[] = {
    {"MIN_VALUE", 1}, {"MAX_VALUE", 2}, {"STEP", 3},  {"DEF", 4},
    {"CTRL_NAME", 5}, {"FUNC_NAME", 6}, {nullptr, 0},
};

namespace {

// Names are short and most differ in their first bytes, so a plain loop
// beats a call to strcmp.
bool same_text(const char* a, const char* b) {
  while (*a == *b) {
    if (*a == '\0') return true;
    ++a;
    ++b;
  }
  return false;
}

}  // namespace

std::uint32_t lookup_code(const code_row* table, const char* key) {
  const code_row* row = table;
  while (row->name != nullptr && !same_text(row->name, key)) ++row;
  return row->code;
}

}  // namespace quorlen
