#include "lsp/document.h"

#include <algorithm>

#include "lint/fixes.h"
#include "record/record_json.h"

namespace quorlen_lsp {

void apply_change(document& doc, const json& change, encoding e,
                  bool stray_bytes) {
  std::string text = change.at("text").get<std::string>();
  if (stray_bytes) restore_bytes(text);
  if (!change.contains("range")) {
    doc.text = std::move(text);
  } else {
    const json& range = change.at("range");
    const text_map map(doc.text);
    std::size_t begin = map.offset(position_from(range.at("start")), e);
    std::size_t end = map.offset(position_from(range.at("end")), e);
    if (end < begin) std::swap(begin, end);
    doc.text.replace(begin, end - begin, text);
  }
  doc.linted = false;
  if (!doc.unpublished) doc.changed = std::chrono::steady_clock::now();
  doc.unpublished = true;
}

const std::vector<quorlen_tool::finding>& findings_of(document& doc) {
  if (!doc.linted) {
    camera_setup record{};
    quorlen_tool::lint_outcome outcome;
    try {
      outcome = quorlen_tool::lint_bytes(doc.text, &record);
    } catch (...) {
      quorlen::release_setup(record);
      throw;
    }
    quorlen::release_setup(record);
    doc.findings = std::move(outcome.findings);
    doc.linted = true;
    doc.fixes_checked = false;
  }
  return doc.findings;
}

const std::vector<quorlen_tool::finding>& fixed_findings_of(document& doc) {
  findings_of(doc);
  if (!doc.fixes_checked) {
    quorlen_tool::settle_fixes(doc.text, doc.findings,
                               quorlen_tool::every_finding);
    doc.fixes_checked = true;
  }
  return doc.findings;
}

}  // namespace quorlen_lsp
