// While one lives, standard output and standard error escape control
// characters on their way out (escape_controls), so that routines which
// print a file's texts as they are cannot drive the terminal.
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

  // A stream's bytes on their way to the real one; a UTF-8 sequence cut
  // between two writes waits for its end.
  struct sink {
    std::FILE* to;
    std::string held;
  };

 private:
  sink out_sink_;
  sink err_sink_;
  std::FILE* saved_out_;
  std::FILE* saved_err_;
};

}  // namespace quorlen_tool

#endif
