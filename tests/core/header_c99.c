/* Compiled as strict C99: the public header must need nothing newer. */
#include "quorlen_config_parser.h"

int header_c99_record_size(void) { return (int)sizeof(camera_setup); }
