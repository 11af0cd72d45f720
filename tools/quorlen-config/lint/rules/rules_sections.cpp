// Section headers: an unknown section, a bracket group left open, a name
// cut short, text after the header.
#include "input/diagnostics.h"
#include "lint/lint_context.h"
#include "quorlen_core.h"

namespace quorlen_tool {

namespace {

std::vector<const char*> section_names() {
  std::vector<const char*> names;
  for (const auto* row = quorlen::section_codes; row->name != nullptr; ++row) {
    names.push_back(row->name);
  }
  return names;
}

// Sections compare with letter case and blanks folded away.
std::string folded_section(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (is_blank(c)) continue;
    out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return out;
}

class sections final : public rule_family {
 public:
  void section(lint_context& ctx, const section_event& ev) override {
    const quorlen::line_facts& facts = ctx.facts;
    const auto length = static_cast<std::size_t>(facts.close - facts.start) - 1;
    if (facts.open_group) {
      const span rest = ctx.line_span();
      ctx.add(rule_id::open_group,
              {ctx.at(facts.close),
               std::max(rest.end_column, ctx.at(facts.close).column + 1)},
              "the last bracket group is not closed; the section is " +
                  in_quotes(ev.section));
    } else {
      after_header(ctx, ctx.start_offset() + length + 2);
    }
    if (length > quorlen::MAX_SECTION - 1) {
      ctx.add(rule_id::section_cut,
              ctx.span_to(facts.start + quorlen::MAX_SECTION, facts.close),
              "section name is " + std::to_string(length) +
                  " characters; the library keeps the first 49: " +
                  in_quotes(ev.section));
    }
    if (ev.code == 0) {
      unknown_ = true;
      header_ = ev.header;
      name_ = ev.section;
      hidden_ = 0;
      near_ = nearest(section_names(), name_, folded_section);
      fix_.clear();
      // Only a header read whole and closed, whose name the library kept
      // whole, is rewritten: otherwise what was meant is not plain.
      if (near_ != nullptr && !facts.open_group &&
          length <= quorlen::MAX_SECTION - 1) {
        const std::string header = "[" + std::string(near_) + "]";
        const std::size_t begin = ctx.file_offset(facts.start);
        const std::size_t end = ctx.file_offset(facts.close) + 1;
        if (ctx.fixable(static_cast<std::ptrdiff_t>(header.size()) -
                        static_cast<std::ptrdiff_t>(end - begin))) {
          fix_.push_back({begin, end, header});
        }
      }
    }
  }

  void pair(lint_context& ctx, const pair_event& ev) override {
    if (ev.code == 0 && ctx.seen_header) ++hidden_;
  }
  void block(lint_context& ctx, const block_event& ev) override {
    if (ev.code == 0 && ctx.seen_header) ++hidden_;
  }

  void section_end(lint_context& ctx) override {
    if (!unknown_) return;
    unknown_ = false;
    ctx.add(
        rule_id::unknown_section, header_,
        "unknown section " + in_quotes(name_) + "; the " + lines_text(hidden_) +
            " in it " + (hidden_ == 1 ? "is" : "are") + " ignored",
        near_ != nullptr ? "did you mean '[" + std::string(near_) + "]'?" : "",
        std::move(fix_));
    fix_.clear();
  }

 private:
  // Text after the closing ']' other than a comment.
  static void after_header(lint_context& ctx, std::size_t from) {
    std::string_view after = ctx.piece_text(from);
    std::size_t skip = 0;
    while (skip < after.size() && is_blank(after[skip])) ++skip;
    after.remove_prefix(skip);
    if (after.empty() || quorlen::starts_comment(after)) {
      return;
    }
    while (is_blank(after.back())) after.remove_suffix(1);
    ctx.add(rule_id::text_after_header,
            ctx.span_at(ctx.facts.close + 1 + skip, after.size()),
            "text after the closing ']' is ignored: " + in_quotes(after));
  }

  bool unknown_ = false;
  span header_;
  std::string name_;
  int hidden_ = 0;
  const char* near_ = nullptr;  // the known section meant, if plain
  std::vector<edit> fix_;
};

}  // namespace

std::unique_ptr<rule_family> section_rules() {
  return std::make_unique<sections>();
}

}  // namespace quorlen_tool
