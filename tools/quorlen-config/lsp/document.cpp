#include "lsp/document.h"

#include <algorithm>
#include <string_view>

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

std::string file_path_of(const std::string& uri) {
  std::string_view rest(uri);
  for (const std::string_view scheme : {"file://localhost/", "file:///"}) {
    if (rest.substr(0, scheme.size()) == scheme) {
      rest.remove_prefix(scheme.size() - 1);
      std::string path;
      for (std::size_t i = 0; i < rest.size(); ++i) {
        const auto digit = [](char c) {
          if (c >= '0' && c <= '9') return c - '0';
          if (c >= 'a' && c <= 'f') return c - 'a' + 10;
          if (c >= 'A' && c <= 'F') return c - 'A' + 10;
          return -1;
        };
        if (rest[i] == '%' && i + 2 < rest.size() && digit(rest[i + 1]) >= 0 &&
            digit(rest[i + 2]) >= 0) {
          path +=
              static_cast<char>(digit(rest[i + 1]) * 16 + digit(rest[i + 2]));
          i += 2;
        } else {
          path += rest[i];
        }
      }
      // A NUL names no file.
      if (path.find('\0') != std::string::npos) return "-";
      return path;
    }
  }
  return "-";
}

const std::vector<quorlen_tool::finding>& findings_of(document& doc) {
  if (!doc.linted) {
    camera_setup record{};
    quorlen_tool::lint_outcome outcome;
    quorlen_tool::lint_options options;
    options.bindings = doc.bindings.applied;
    options.refused = doc.bindings.refused;
    try {
      outcome = quorlen_tool::lint_bytes(doc.text, &record, options);
    } catch (...) {
      quorlen::release_setup(record);
      throw;
    }
    quorlen::release_setup(record);
    doc.findings = std::move(outcome.findings);
    doc.applied = std::move(outcome.applied);
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
