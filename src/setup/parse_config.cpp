// The library's one exported function.
#include "../parser/line_parser.h"
#include "quorlen_config_parser.h"
#include "setup_internal.h"

extern "C" QUORLEN_API int quorlen_parse_config(const char* path,
                                                camera_setup* setup) {
  // The library is built without exceptions: the engine and the handler
  // use only the C library, so nothing can throw through this call.
  return quorlen::parse_into(
      setup, [path](quorlen::entry_handler handler, void* user) {
        return quorlen::parse_path(path, handler, user);
      });
}
