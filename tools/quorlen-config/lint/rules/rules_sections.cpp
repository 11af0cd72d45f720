// Section headers: an unknown section, a bracket group left open, a name
// cut short, text after the header, and where the lines after a header
// without its ']' go.
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

// The header that names the section as the written one does: in "][" groups
// where the written one joins its groups so, as long as the library reads
// it as that section; otherwise in one group, as the library joins them.
std::string header_for(std::string_view written, const char* section) {
  const std::string one = "[" + std::string(section) + "]";
  if (written.find("][") == std::string_view::npos) return one;
  std::string grouped = "[";
  for (const char* p = section; *p != '\0'; ++p) {
    if (p[0] == '|' && p[1] == '|') {
      grouped += "][";
      ++p;
    } else {
      grouped += *p;
    }
  }
  grouped += "]";
  return section_on_its_own(grouped.c_str()) == section ? grouped : one;
}

class sections final : public rule_family {
 public:
  // A header without its ']' changes no section: the lines after it go on
  // into the one before, up to the next header read whole.
  void fault(lint_context& ctx, const quorlen::fault& f) override {
    if (f.kind != quorlen::fault_kind::unclosed_section) return;
    unclosed_.push_back({ctx.line_span(), 0});
  }

  void section(lint_context& ctx, const section_event& ev) override {
    end_unclosed(ctx, ev.header.begin.line - 1);
    current_ = ev.section;
    current_line_ = ev.header.begin.line;
    current_known_ = ev.code != 0;
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
        const std::size_t begin = ctx.file_offset(facts.start);
        const std::size_t end = ctx.file_offset(facts.close) + 1;
        const std::string header = header_for(
            ctx.piece_text(ctx.start_offset()).substr(0, end - begin), near_);
        if (ctx.fixable(static_cast<std::ptrdiff_t>(header.size()) -
                        static_cast<std::ptrdiff_t>(end - begin))) {
          fix_.push_back({begin, end, header});
        }
      }
    }
  }

  void pair(lint_context& ctx, const pair_event& ev) override {
    if (ev.code == 0 && ctx.seen_header) ++hidden_;
    for (auto& u : unclosed_) ++u.moved;
  }
  void block(lint_context& ctx, const block_event& ev) override {
    if (ev.code == 0 && ctx.seen_header) ++hidden_;
    for (auto& u : unclosed_) ++u.moved;
  }

  void finish(lint_context& ctx) override {
    end_unclosed(ctx, ctx.map.lines());
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

  // The headers without their ']' since the last one read whole: where the
  // lines after each go is said once the next header is read, and what
  // those lines then say in the section they land in is held back.
  void end_unclosed(lint_context& ctx, int last) {
    for (const unclosed& u : unclosed_) {
      if (u.moved == 0) continue;  // nothing goes anywhere
      const int first = u.header.begin.line + 1;
      const std::string lines =
          last > first
              ? "lines " + std::to_string(first) + " to " + std::to_string(last)
              : "line " + std::to_string(first);
      std::string into;
      if (current_line_ == 0) {
        into = "stand before any section header and are ignored";
      } else {
        into = "go into section " + in_quotes(current_) + " of line " +
               std::to_string(current_line_) +
               (current_known_ ? "" : ", which is unknown: they are ignored");
      }
      ctx.add(rule_id::lines_after_unclosed_header, u.header,
              "this header without its ']' starts no section: " + lines + " " +
                  into);
      ctx.explain(first, last, held::keys | held::section);
    }
    unclosed_.clear();
  }

  struct unclosed {
    span header;
    int moved;  // the pairs and blocks after it
  };
  std::vector<unclosed> unclosed_;
  std::string current_;   // the section in force
  int current_line_ = 0;  // its header's line; 0 before any
  bool current_known_ = false;

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
