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

const code_row control_key_codes[] = {
    {"MIN_VALUE", CONTROL_MIN_VALUE},
    {"MAX_VALUE", CONTROL_MAX_VALUE},
    {"STEP", CONTROL_STEP},
    {"DEF", CONTROL_DEF},
    {"CTRL_NAME", CONTROL_CTRL_NAME},
    {"FUNC_NAME", CONTROL_FUNC_NAME},
    {nullptr, 0},
};

// In the order the keys are compared; the first match acts.
const code_row camera_key_codes[] = {
    {"CFG_MODE", CAMERA_CFG_MODE},
    {"TYPE", CAMERA_TYPE},
    {"BIT_WIDTH", CAMERA_BIT_WIDTH},
    {"I2C_MODE", CAMERA_I2C_MODE},
    {"I2C_ADDR", CAMERA_I2C_ADDR},
    {"TRANS_LVL", CAMERA_TRANS_LVL},
    {"SIZE", CAMERA_SIZE},
    {"FORMAT", CAMERA_FORMAT},
    {nullptr, 0},
};

}  // namespace quorlen
