// While one lives, standard output and standard error escape control
// characters on their way out (append_controls_escaped), so that routines
// which print a file's texts as they are cannot drive the terminal.
//
// The two streams keep the order they were written in, on a terminal, in a
// pipe or into one file: each reaches its sink unbuffered, and a sink
// writes what it holds before the other stream's bytes go out.  A sink
// holds up to a block, so that a long run of one stream costs few writes.
#ifndef QUORLEN_ESCAPED_OUTPUT_H
#define QUORLEN_ESCAPED_OUTPUT_H

#include <cstdio>
#include <string>

namespace quorlen_tool {

class escaped_output {
 public:
  escaped_output();
  ~escaped_output();
  escaped_output(const escaped_output&) = delete;
  escaped_output& operator=(const escaped_output&) = delete;

  // Writes what is held and puts the streams back: 0, or the errno of the
  // first write to standard output that failed.
  int finish();

  // A stream's way to its file descriptor.
  struct sink {
    int fd;
    std::string raw;    // bytes whose escape waits for what follows
    std::string shown;  // escaped, not yet written
    sink* other;
    sink** last;  // the sink written to last
    int error;    // errno of the first write that failed
  };

 private:
  sink out_sink_;
  sink err_sink_;
  sink* last_ = nullptr;
  std::FILE* saved_out_;
  std::FILE* saved_err_;
  bool finished_ = false;
};

}  // namespace quorlen_tool

#endif
