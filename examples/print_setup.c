/* Parses a configuration file and prints what the record holds. */
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>

#include "quorlen_config_parser.h"

static void release(camera_setup* setup) {
  uint32_t i;
  for (i = 0; i < setup->control_count; ++i) free(setup->controls[i].code);
  free(setup->controls);
  free(setup->entries);
}

int main(int argc, char** argv) {
  camera_setup setup = {0};
  uint32_t i;
  int result;
  if (argc != 2) {
    fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  result = quorlen_parse_config(argv[1], &setup);
  if (result < 0) {
    fprintf(stderr, "%s: cannot read\n", argv[1]);
    return 2;
  }
  printf("type %s, %" PRId32 "x%" PRId32 ", %u bits, format 0x%04X\n",
         setup.type, setup.width, setup.height, setup.bit_width, setup.format);
  printf("i2c address 0x%02X, %" PRIu32 " register entries, %" PRIu32
         " controls\n",
         setup.i2c_addr, setup.entry_count, setup.control_count);
  for (i = 0; i < setup.control_count; ++i) {
    printf("control %s: %" PRId64 "..%" PRId64 "\n",
           setup.controls[i].ctrl_name, setup.controls[i].min_value,
           setup.controls[i].max_value);
  }
  release(&setup);
  if (result > 0) fprintf(stderr, "%s:%d: faulty line\n", argv[1], result);
  return result == 0 ? 0 : 1;
}
