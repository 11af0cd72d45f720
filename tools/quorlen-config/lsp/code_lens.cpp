// A lens on the first line naming the sensor bindings that apply.
#include "binding/binding.h"
#include "input/diagnostics.h"
#include "lsp/handlers.h"

namespace quorlen_lsp {

json code_lenses(document& doc, const json&, const client_info& client) {
  findings_of(doc);
  json lenses = json::array();
  if (doc.applied.empty()) return lenses;
  std::string title = doc.applied.size() == 1 ? "binding: " : "bindings: ";
  bool first = true;
  for (const quorlen_tool::binding* b : doc.applied) {
    title += (first ? "" : ", ") + quorlen_tool::escape_text(b->name) + " (" +
             quorlen_tool::escape_text(b->path);
    // Why it is a candidate: named in the file, or chosen by its select.
    for (std::size_t i = 0; i < doc.bindings.applied.size(); ++i) {
      if (doc.bindings.applied[i].rules == b) {
        title += ", " + doc.bindings.why[i];
      }
    }
    title += ")";
    first = false;
  }
  const text_map map(doc.text);
  // A lens only shows its title: it runs nothing.
  lenses.push_back({{"range", range_json(map, 0, 0, client.units)},
                    {"command", {{"title", title}, {"command", ""}}}});
  return lenses;
}

}  // namespace quorlen_lsp
