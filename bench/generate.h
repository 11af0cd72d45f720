// A deterministic generator of realistic configuration files.
#ifndef QUORLEN_BENCH_GENERATE_H
#define QUORLEN_BENCH_GENERATE_H

#include <cstddef>
#include <string>

namespace quorlen_bench {

// Text of at least min_bytes bytes or min_lines lines (whichever is larger):
// one camera section, then board and register sections of every variant,
// mostly "REG = 0x3008, 0x82" lines, with comments, blank and continuation
// lines, and a few control sections with code blocks.
std::string generate_config(std::size_t min_bytes, std::size_t min_lines);

// Lines in a text, counting a last line without a newline.
std::size_t count_lines(const std::string& text);

}  // namespace quorlen_bench

#endif
