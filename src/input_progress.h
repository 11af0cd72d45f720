// How far a parse has read its input, for a handler that plans its memory
// ahead.  The file reader keeps it at each block it reads; where the
// input's size is not known, both stay 0.
#ifndef QUORLEN_INPUT_PROGRESS_H
#define QUORLEN_INPUT_PROGRESS_H

#include <cstddef>

namespace quorlen {

struct input_progress {
  std::size_t read = 0;    // bytes taken from the input so far
  std::size_t unread = 0;  // bytes of it still to come
};

}  // namespace quorlen

#endif
