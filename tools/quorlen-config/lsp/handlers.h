// One handler a request; each reads the same document.
#ifndef QUORLEN_LSP_HANDLERS_H
#define QUORLEN_LSP_HANDLERS_H

#include <string>
#include <string_view>

#include "lint/lint.h"
#include "lsp/document.h"
#include "lsp/protocol.h"

namespace quorlen_lsp {

// The bytes a finding marks: from its line and column to its end, or, where
// the lint gives no end, to the end of the word there (of the header, for a
// '['), or of the line.
struct span {
  std::size_t begin;
  std::size_t end;
};
span span_of(const text_map& map, std::string_view text,
             const quorlen_tool::finding& f);

json diagnostic(const text_map& map, std::string_view text,
                const quorlen_tool::finding& f, const std::string& uri,
                encoding e);

// The params of textDocument/publishDiagnostics for the document as it is,
// the findings below the client's severity left out.
json publish_params(const std::string& uri, document& doc,
                    const client_info& client);

// Why the library ignores the line a finding of this code is on, or null
// when it does not: such diagnostics are tagged unnecessary.
const char* ignored_because(const std::string& code);
// Where the code's explanation is.
std::string code_link(const std::string& code);

// The requests: params as the client sent them; a null result when there is
// nothing to say.
json hover(document& doc, const json& params, const client_info& client);
json completion(document& doc, const json& params, const client_info& client);
json code_actions(document& doc, const json& params, const client_info& client);
json document_symbols(document& doc, const json& params,
                      const client_info& client);
json folding_ranges(document& doc, const json& params,
                    const client_info& client);
json inlay_hints(document& doc, const json& params, const client_info& client);
json semantic_tokens(document& doc, const json& params,
                     const client_info& client);
json semantic_tokens_legend();
json formatting(document& doc, const json& params, const client_info& client);
json code_lenses(document& doc, const json& params, const client_info& client);

// The quick fix that a finding's edits make, or null when it has none or
// they do not fit the text.
json fix_action(const text_map& map, std::string_view text,
                const quorlen_tool::finding& f, const std::string& uri,
                encoding e);

}  // namespace quorlen_lsp

#endif
