/* Uses the library as a C program does: the header and the shared object
 * only.  On armhf it also pins the record layout that callers bind to. */
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "quorlen_config_parser.h"

#if defined(__arm__)
_Static_assert(sizeof(camera_setup) == 92, "camera_setup size");
_Static_assert(offsetof(camera_setup, width) == 56, "width");
_Static_assert(offsetof(camera_setup, bit_width) == 64, "bit_width");
_Static_assert(offsetof(camera_setup, format) == 66, "format");
_Static_assert(offsetof(camera_setup, i2c_mode) == 68, "i2c_mode");
_Static_assert(offsetof(camera_setup, i2c_addr) == 70, "i2c_addr");
_Static_assert(offsetof(camera_setup, trans_lvl) == 72, "trans_lvl");
_Static_assert(offsetof(camera_setup, entries) == 76, "entries");
_Static_assert(offsetof(camera_setup, entry_count) == 80, "entry_count");
_Static_assert(offsetof(camera_setup, controls) == 84, "controls");
_Static_assert(offsetof(camera_setup, control_count) == 88, "control_count");
_Static_assert(sizeof(register_entry) == 72, "register_entry size");
_Static_assert(offsetof(register_entry, value_count) == 68, "value_count");
_Static_assert(sizeof(control_entry) == 296, "control_entry size");
_Static_assert(offsetof(control_entry, def) == 24, "def");
_Static_assert(offsetof(control_entry, reserved) == 32, "reserved");
_Static_assert(offsetof(control_entry, ctrl_name) == 36, "ctrl_name");
_Static_assert(offsetof(control_entry, func_name) == 164, "func_name");
_Static_assert(offsetof(control_entry, code) == 292, "code");
#endif

static int failures = 0;

#define CHECK(cond)                                                      \
  do {                                                                   \
    if (!(cond)) {                                                       \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                                        \
    }                                                                    \
  } while (0)

int main(int argc, char** argv) {
  camera_setup setup;
  uint32_t i;
  const char* path = argc > 1 ? argv[1] : "camera.cfg";
  FILE* file = fopen("c_api_test.cfg", "w");
  if (file == NULL) return 2;
  fputs(
      "[camera parameter]\nSIZE = 640, 480\nTYPE = c-test\n"
      "[register parameter][dev3][inf2]\nREG = 0x30, 0x01\n"
      "[control parameter]\nCTRL_NAME = gain\n"
      "======CODE_BLOCK_START======\nx\n======CODE_BLOCK_END======\n",
      file);
  fclose(file);

  memset(&setup, 0, sizeof setup);
  CHECK(quorlen_parse_config("c_api_test.cfg", &setup) == 0);
  CHECK(setup.width == 640 && setup.height == 480);
  CHECK(strcmp(setup.type, "c-test") == 0);
  CHECK(setup.entry_count == 1);
  CHECK(setup.entries != NULL &&
        setup.entries[0].entry_type ==
            (QUORLEN_SECTION_REGISTER_DEV3_INF2 | QUORLEN_KEY_REG));
  CHECK(setup.control_count == 1);
  CHECK(setup.controls != NULL && strcmp(setup.controls[0].code, "x\n") == 0);
  for (i = 0; i < setup.control_count; ++i) free(setup.controls[i].code);
  free(setup.controls);
  free(setup.entries);
  remove("c_api_test.cfg");

  memset(&setup, 0, sizeof setup);
  CHECK(quorlen_parse_config(path, &setup) == 0);
  CHECK(setup.entry_count > 0);
  for (i = 0; i < setup.control_count; ++i) free(setup.controls[i].code);
  free(setup.controls);
  free(setup.entries);

  CHECK(quorlen_parse_config("/nonexistent/file.cfg", &setup) == -1);
  if (failures == 0) printf("c_api_test: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
