// The document's outline: its sections, and its controls by CTRL_NAME.
#include <cinttypes>
#include <cstdio>

#include "input/diagnostics.h"
#include "input/source_map.h"
#include "lsp/handlers.h"
#include "lsp/hover_values.h"
#include "lsp/walk.h"
#include "quorlen_core.h"

namespace quorlen_lsp {
namespace {

constexpr int NAMESPACE_KIND = 3;  // SymbolKind.Namespace
constexpr int OBJECT_KIND = 19;    // SymbolKind.Object

struct section_symbol {
  std::string section;
  std::uint32_t code;
  int header;         // library line of the header
  int last = 0;       // last library line before the next header
  int control = -1;   // index into controls
  int name_line = 0;  // library line of the CTRL_NAME that holds
  std::string name;   // the control's final name, escaped
};

class section_list : public record_watch {
 public:
  void line(const quorlen::line_facts& facts) override { last_ = facts.number; }

  void event(const event_view& e) override {
    if (e.name == nullptr && e.value == nullptr) {
      if (!sections.empty()) sections.back().last = e.line - 1;
      section_symbol s{e.section, e.code, e.line, 0, -1, 0, ""};
      if (e.code == quorlen::CONTROL_SECTION && e.accepted) {
        s.control = static_cast<int>(e.after.control_count) - 1;
      }
      sections.push_back(std::move(s));
      return;
    }
    if (e.control_before != nullptr && e.name != nullptr &&
        std::string(e.name) == "CTRL_NAME" && !sections.empty()) {
      sections.back().name_line = e.line;
    }
  }

  void done(const camera_setup& record) override {
    if (!sections.empty()) sections.back().last = last_;
    for (section_symbol& s : sections) {
      if (s.control < 0 ||
          static_cast<std::uint32_t>(s.control) >= record.control_count) {
        continue;
      }
      s.name = quorlen_tool::escape_text(record.controls[s.control].ctrl_name);
    }
  }

  std::vector<section_symbol> sections;

 private:
  int last_ = 0;
};

using hover_values::code_hex;

}  // namespace

json document_symbols(document& doc, const json& params,
                      const client_info& client) {
  const std::string uri =
      params.at("textDocument").at("uri").get<std::string>();
  section_list list;
  watch_parse(doc.text, list);
  const quorlen_tool::source_map pieces(doc.text);
  const text_map map(doc.text);
  // A library line's bytes, without its line end.
  const auto begin_of = [&](int line) { return pieces.piece_at(line).offset; };
  const auto end_of = [&](int line) {
    std::string_view bytes = pieces.piece_bytes(line);
    while (!bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r')) {
      bytes.remove_suffix(1);
    }
    return begin_of(line) + bytes.size();
  };
  json symbols = json::array();
  for (const section_symbol& s : list.sections) {
    const int last = s.last >= s.header ? s.last : s.header;
    const json range =
        range_json(map, begin_of(s.header), end_of(last), client.units);
    const bool control = s.control >= 0;
    std::string name =
        control
            ? (s.name.empty() ? "control #" + std::to_string(s.control + 1) +
                                    " (no CTRL_NAME)"
                              : s.name)
            : "[" + quorlen_tool::escape_text(s.section) + "]";
    const std::string detail = control
                                   ? "control #" + std::to_string(s.control + 1)
                               : s.code == 0 ? "unknown section"
                                             : code_hex(s.code);
    const int named = control && s.name_line != 0 ? s.name_line : s.header;
    const json selection =
        range_json(map, begin_of(named), end_of(named), client.units);
    const int kind = control ? OBJECT_KIND : NAMESPACE_KIND;
    if (client.hierarchical_symbols) {
      symbols.push_back({{"name", name},
                         {"detail", detail},
                         {"kind", kind},
                         {"range", range},
                         {"selectionRange", selection}});
    } else {
      symbols.push_back({{"name", name},
                         {"kind", kind},
                         {"location", {{"uri", uri}, {"range", range}}},
                         {"containerName", detail}});
    }
  }
  return symbols;
}

}  // namespace quorlen_lsp
