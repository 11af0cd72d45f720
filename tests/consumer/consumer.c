/* A C program built against an installed copy of the library. */
#include <stdio.h>
#include <stdlib.h>

#include "quorlen_config_parser.h"

int main(int argc, char** argv) {
  camera_setup setup = {0};
  uint32_t i;
  int result;
  if (argc != 2) return 2;
  result = quorlen_parse_config(argv[1], &setup);
  printf("c: result %d, %dx%d, %u entries, %u controls\n", result,
         (int)setup.width, (int)setup.height, (unsigned)setup.entry_count,
         (unsigned)setup.control_count);
  for (i = 0; i < setup.control_count; ++i) free(setup.controls[i].code);
  free(setup.controls);
  free(setup.entries);
  return result == 0 && setup.entry_count > 0 ? 0 : 1;
}
