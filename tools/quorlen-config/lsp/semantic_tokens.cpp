// Semantic tokens: each section header and each key, known to the library
// or not, as the library's parse reads them.  Unknown ones carry the
// modifier "unknown": the library ignores their lines.
#include <cstring>
#include <vector>

#include "input/source_map.h"
#include "lsp/handlers.h"
#include "lsp/walk.h"
#include "quorlen_core.h"

namespace quorlen_lsp {
namespace {

using quorlen::line_kind;

// The legend's order.
enum token_type { NAMESPACE_TOKEN, PROPERTY_TOKEN };
constexpr unsigned UNKNOWN_MODIFIER = 1u << 0;

struct token {
  std::size_t begin, end;  // bytes
  token_type type;
  bool known;
};

bool known_key(std::uint32_t section, const char* name) {
  if (section == 0) return false;
  const std::uint32_t family = quorlen::section_family(section);
  if (family == quorlen::CAMERA_SECTION || family == quorlen::CONTROL_SECTION) {
    return quorlen::find_field(family, name) != nullptr;
  }
  return quorlen::code_of(quorlen::register_key_codes, name) != 0;
}

class token_list : public record_watch {
 public:
  explicit token_list(const quorlen_tool::source_map& pieces)
      : pieces_(pieces) {}

  void line(const quorlen::line_facts& facts) override {
    kind_ = facts.kind;
    start_ = pieces_.piece_at(facts.number).offset +
             static_cast<std::size_t>(facts.start - facts.buffer);
    close_ = facts.close != nullptr
                 ? start_ + static_cast<std::size_t>(facts.close - facts.start)
                 : start_;
  }

  void event(const event_view& e) override {
    if (kind_ == line_kind::section_header && e.name == nullptr) {
      tokens.push_back({start_, close_ + 1, NAMESPACE_TOKEN, e.code != 0});
    } else if (kind_ == line_kind::pair && e.name != nullptr) {
      tokens.push_back({start_, start_ + std::strlen(e.name), PROPERTY_TOKEN,
                        known_key(e.code, e.name)});
    }
  }

  std::vector<token> tokens;

 private:
  const quorlen_tool::source_map& pieces_;
  line_kind kind_ = line_kind::blank;
  std::size_t start_ = 0, close_ = 0;
};

}  // namespace

json semantic_tokens_legend() {
  return {{"tokenTypes", {"namespace", "property"}},
          {"tokenModifiers", {"unknown"}}};
}

json semantic_tokens(document& doc, const json&, const client_info& client) {
  const quorlen_tool::source_map pieces(doc.text);
  token_list list(pieces);
  watch_parse(doc.text, list);
  const text_map map(doc.text);
  std::vector<std::size_t> data;
  data.reserve(list.tokens.size() * 5);
  position last;
  for (const token& t : list.tokens) {
    const position p = map.at(t.begin, client.units);
    const position end = map.at(t.end, client.units);
    if (end.line != p.line || end.character <= p.character) continue;
    data.push_back(p.line - last.line);
    data.push_back(p.line == last.line ? p.character - last.character
                                       : p.character);
    data.push_back(end.character - p.character);
    data.push_back(t.type);
    data.push_back(t.known ? 0 : UNKNOWN_MODIFIER);
    last = p;
  }
  return {{"data", data}};
}

}  // namespace quorlen_lsp
