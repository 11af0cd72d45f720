/*
 * quorlen_config_parser.h -- read a camera module's configuration file.
 *
 * One function, quorlen_parse_config(), parses a configuration file into a
 * camera_setup record supplied by the caller.  The header is plain C99 and
 * may be included from C and C++.
 */
#ifndef QUORLEN_CONFIG_PARSER_H
#define QUORLEN_CONFIG_PARSER_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QUORLEN_VERSION_MAJOR 1
#define QUORLEN_VERSION_MINOR 0
#define QUORLEN_VERSION_PATCH 0

#if defined(__GNUC__)
#define QUORLEN_API __attribute__((visibility("default")))
#else
#define QUORLEN_API
#endif

/* Number of places in register_entry.values. */
#define QUORLEN_MAX_VALUES 16

/* Section codes: the upper half of register_entry.entry_type.  The top byte
 * names the family, the next one the variant. */
enum {
  QUORLEN_SECTION_CAMERA = 0x01000000,          /* "camera parameter" */
  QUORLEN_SECTION_BOARD = 0x02000000,           /* "board parameter" */
  QUORLEN_SECTION_BOARD_DEV2 = 0x02020000,      /* "board parameter||dev2" */
  QUORLEN_SECTION_BOARD_DEV3_INF2 = 0x02040000, /* "...||dev3||inf2" */
  QUORLEN_SECTION_BOARD_DEV3_INF3 = 0x02030000, /* "...||dev3||inf3" */
  QUORLEN_SECTION_REGISTER = 0x03000000,        /* "register parameter" */
  QUORLEN_SECTION_REGISTER_DEV3_INF2 = 0x03040000,
  QUORLEN_SECTION_REGISTER_DEV3_INF3 = 0x03030000,
  QUORLEN_SECTION_CONTROL = 0x04000000 /* "control parameter" */
};

/* Register key codes: the lower half of register_entry.entry_type. */
enum {
  QUORLEN_KEY_REG = 1,   /* "REG" */
  QUORLEN_KEY_VRCMD = 2, /* "VRCMD" */
  QUORLEN_KEY_DELAY = 3  /* "DELAY" */
};

/* One "REG", "DELAY" or "VRCMD" line of a board or register section. */
typedef struct register_entry {
  uint32_t entry_type;                /* section code | key code */
  int32_t values[QUORLEN_MAX_VALUES]; /* the line's values, in order, */
  uint8_t value_count;                /* this many; the rest are 0 */
} register_entry;

/* One "control parameter" section. */
typedef struct control_entry {
  int64_t min_value;   /* "MIN_VALUE" */
  int64_t max_value;   /* "MAX_VALUE" */
  int32_t step;        /* "STEP", low 32 bits */
  int64_t def;         /* "DEF" */
  uint32_t reserved;   /* reserved: never set or read by the library */
  char ctrl_name[128]; /* "CTRL_NAME", always NUL-terminated */
  char func_name[128]; /* "FUNC_NAME", always NUL-terminated */
  char* code;          /* the section's code block, or NULL; caller frees */
} control_entry;

/* The caller's record.  Zero-fill it before the first call. */
typedef struct camera_setup {
  int32_t cfg_mode;        /* "CFG_MODE" */
  char type[50];           /* "TYPE", at most 49 characters, NUL-terminated */
  int32_t width;           /* first value of "SIZE" */
  int32_t height;          /* second value of "SIZE" */
  uint8_t bit_width;       /* "BIT_WIDTH", low 8 bits */
  uint16_t format;         /* "FORMAT" */
  uint8_t i2c_mode;        /* "I2C_MODE", low 8 bits */
  uint16_t i2c_addr;       /* "I2C_ADDR", low 16 bits */
  int32_t trans_lvl;       /* "TRANS_LVL" */
  register_entry* entries; /* board and register lines; caller frees */
  uint32_t entry_count;    /* elements used in entries */
  control_entry* controls; /* control sections; caller frees */
  uint32_t control_count;  /* elements in controls */
} camera_setup;

/*
 * Parses the configuration file at path into *setup.
 *
 * Returns -1 if the file cannot be opened or read (setup is then left as it
 * was), 0 if every line was accepted, and otherwise the number (counting from
 * 1) of the first faulty line.  Parsing always runs to the end of the file, so
 * everything valid is stored even when a line is faulty.  A code block that
 * is still open at the end of the file, or that is broken off by a section
 * header, reports that line instead of any earlier one.
 *
 * Zero-fill *setup before the first call.  A later call with the same record
 * appends register entries and controls and overwrites the camera fields that
 * the file names again.  After a call, entries has room for at least
 * 100 * (entry_count / 100 + 1) elements; an array that the caller puts in
 * the record instead must be allocated with malloc and have that room too.
 * With a NULL setup every line that would store something counts as faulty.
 *
 * Ownership: entries, controls and each control's code are allocated with
 * malloc/realloc and belong to the caller, who releases each with free().
 *
 * The library keeps no state and writes nothing to any stream.  Parses into
 * different records may run on different threads at once.
 */
QUORLEN_API int quorlen_parse_config(const char* path, camera_setup* setup);

#ifdef __cplusplus
}
#endif

#endif /* QUORLEN_CONFIG_PARSER_H */
