// lsp: the language server, on standard input and output.
#include <cstdio>
#include <memory>

#include "commands/tool.h"
#include "lsp/lsp.h"

namespace quorlen_tool {

runner declare_lsp(CLI::App& app) {
  auto stdio = std::make_shared<bool>(true);
  app.add_flag("--stdio", *stdio,
               "Talk over standard input and output: the default and only "
               "way, accepted for clients that pass it");
  app.footer(
      "Exit status: 0 when the editor sent 'exit' after 'shutdown', 1 when "
      "the session ended otherwise.");
  return [] { return quorlen_lsp::run_lsp(stdin, stdout); };
}

}  // namespace quorlen_tool
