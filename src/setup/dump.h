// Readable dumps of a filled record: groups and camera parameters to
// standard error, register values to standard output.  The parse never
// calls them.
#ifndef QUORLEN_DUMP_H
#define QUORLEN_DUMP_H

#include "quorlen_config_parser.h"

namespace quorlen {

void dump_camera_parameters(const camera_setup* setup);
void dump_controls(camera_setup setup);
void dump_register_entries(const camera_setup* setup);

}  // namespace quorlen

#endif
