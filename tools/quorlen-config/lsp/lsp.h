// quorlen-config lsp: a language server for camera configuration files,
// spoken over a pair of streams.
#ifndef QUORLEN_LSP_H
#define QUORLEN_LSP_H

#include <cstdio>

#include "lsp/transport.h"

namespace quorlen_lsp {

// Serves one editor session until 'exit' or the end of the input.  Returns
// the exit status: 0 when 'exit' followed 'shutdown', 1 otherwise.
int run_lsp(std::FILE* in, std::FILE* out);
int run_lsp(byte_source& in, byte_sink& out);

}  // namespace quorlen_lsp

#endif
