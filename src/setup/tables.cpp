#include "setup_internal.h"

namespace quorlen {

const code_row section_codes[] = {
    {"camera parameter", QUORLEN_SECTION_CAMERA},
    {"control parameter", QUORLEN_SECTION_CONTROL},
    {"board parameter", QUORLEN_SECTION_BOARD},
    {"board parameter||dev2", QUORLEN_SECTION_BOARD_DEV2},
    {"board parameter||dev3||inf2", QUORLEN_SECTION_BOARD_DEV3_INF2},
    {"board parameter||dev3||inf3", QUORLEN_SECTION_BOARD_DEV3_INF3},
    {"register parameter", QUORLEN_SECTION_REGISTER},
    {"register parameter||dev3||inf2", QUORLEN_SECTION_REGISTER_DEV3_INF2},
    {"register parameter||dev3||inf3", QUORLEN_SECTION_REGISTER_DEV3_INF3},
    {nullptr, 0},
};

// Held in this order: REG, DELAY, VRCMD.
const code_row register_key_codes[] = {
    {"REG", QUORLEN_KEY_REG},
    {"DELAY", QUORLEN_KEY_DELAY},
    {"VRCMD", QUORLEN_KEY_VRCMD},
    {nullptr, 0},
};

}  // namespace quorlen
