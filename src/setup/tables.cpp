#include "setup_internal.h"

namespace quorlen {

#define ROW(name, code) \
  { name, code, sizeof(name) - 1 }

const code_row section_codes[] = {
    ROW("camera parameter", QUORLEN_SECTION_CAMERA),
    ROW("control parameter", QUORLEN_SECTION_CONTROL),
    ROW("board parameter", QUORLEN_SECTION_BOARD),
    ROW("board parameter||dev2", QUORLEN_SECTION_BOARD_DEV2),
    ROW("board parameter||dev3||inf2", QUORLEN_SECTION_BOARD_DEV3_INF2),
    ROW("board parameter||dev3||inf3", QUORLEN_SECTION_BOARD_DEV3_INF3),
    ROW("register parameter", QUORLEN_SECTION_REGISTER),
    ROW("register parameter||dev3||inf2", QUORLEN_SECTION_REGISTER_DEV3_INF2),
    ROW("register parameter||dev3||inf3", QUORLEN_SECTION_REGISTER_DEV3_INF3),
    {nullptr, 0, 0},
};

// Held in this order: REG, DELAY, VRCMD.
const code_row register_key_codes[] = {
    ROW("REG", QUORLEN_KEY_REG),
    ROW("DELAY", QUORLEN_KEY_DELAY),
    ROW("VRCMD", QUORLEN_KEY_VRCMD),
    {nullptr, 0, 0},
};

#undef ROW

}  // namespace quorlen
