// A C++ program built against an installed copy of the library.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "quorlen_config_parser.h"

namespace {

struct setup_deleter {
  void operator()(camera_setup* s) const {
    for (std::uint32_t i = 0; i < s->control_count; ++i) {
      std::free(s->controls[i].code);
    }
    std::free(s->controls);
    std::free(s->entries);
    delete s;
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::unique_ptr<camera_setup, setup_deleter> setup(new camera_setup{});
  const int result = quorlen_parse_config(argv[1], setup.get());
  std::printf("c++: result %d, type %s, %u entries\n", result, setup->type,
              static_cast<unsigned>(setup->entry_count));
  return result == 0 && setup->entry_count > 0 ? 0 : 1;
}
