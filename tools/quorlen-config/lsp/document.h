// An open document: its text as the editor holds it, and the lint's findings
// on that text.
#ifndef QUORLEN_LSP_DOCUMENT_H
#define QUORLEN_LSP_DOCUMENT_H

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "lint/binding_choice.h"
#include "lint/lint.h"
#include "lsp/protocol.h"

namespace quorlen_lsp {

struct document {
  std::string text;
  std::int64_t version = 0;
  // findings describe text only while linted holds.
  bool linted = false;
  std::vector<quorlen_tool::finding> findings;
  // The bindings chosen for the text (set before it is linted), and those
  // of them that applied.
  quorlen_tool::file_bindings bindings;
  std::vector<const quorlen_tool::binding*> applied;
  // The findings' fixes were checked together (quorlen_tool::settle_fixes).
  bool fixes_checked = false;
  // Diagnostics for this text are still to be sent; changed is when it
  // first differed from what was sent.
  bool unpublished = true;
  std::chrono::steady_clock::time_point changed;
};

// Applies one element of didChange's contentChanges: a range and the text
// that replaces it, or, without a range, the whole new text.  Throws
// json::exception when the change is malformed.
void apply_change(document& doc, const json& change, encoding e,
                  bool stray_bytes);

// The file a file:// URI names, or "-" for any other URI (a named binding
// is then found from the working folder, as for standard input).
std::string file_path_of(const std::string& uri);

// The lint's findings on the current text, under doc.bindings.
const std::vector<quorlen_tool::finding>& findings_of(document& doc);
// The same, with only the fixes that hold together: checked when first
// asked for, since a check lints the text again.
const std::vector<quorlen_tool::finding>& fixed_findings_of(document& doc);

}  // namespace quorlen_lsp

#endif
