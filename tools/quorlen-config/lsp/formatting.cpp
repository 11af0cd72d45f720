// Formatting: the document laid out by fmt, as one edit of the whole text.
// A text fmt refuses, or leaves as it is, gets no edit; nor does one that is
// not UTF-8, whose stray bytes a message could not carry back unchanged.
#include "fmt/formatter.h"
#include "lsp/handlers.h"
#include "lsp/positions.h"

namespace quorlen_lsp {

json formatting(document& doc, const json& params, const client_info& client) {
  quorlen_tool::fmt_options options;
  // The editor's own indentation for continuation lines.
  const json* opts = params.is_object() && params.contains("options")
                         ? &params["options"]
                         : nullptr;
  if (opts != nullptr && opts->is_object()) {
    const auto spaces = opts->find("insertSpaces");
    const auto size = opts->find("tabSize");
    if (spaces != opts->end() && spaces->is_boolean() && !spaces->get<bool>()) {
      options.indent = "\t";
    } else if (size != opts->end() && size->is_number_unsigned()) {
      const auto n = size->get<std::size_t>();
      if (n >= 1 && n <= 16) options.indent.assign(n, ' ');
    }
  }
  const quorlen_tool::fmt_outcome out =
      quorlen_tool::format_config(doc.text, options);
  if (!out.refused.empty() || out.text == doc.text) return json::array();
  std::string probe = out.text;
  if (mask_stray_bytes(probe)) return json::array();
  const text_map map(doc.text);
  const json range = {
      {"start", position_json({0, 0})},
      {"end", position_json(map.at(doc.text.size(), client.units))}};
  return json::array({{{"range", range}, {"newText", out.text}}});
}

}  // namespace quorlen_lsp
