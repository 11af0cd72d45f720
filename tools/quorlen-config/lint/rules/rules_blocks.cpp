// Code blocks: one where nothing keeps it, a second one in a control, and
// markers that the library reads as ordinary lines.
#include <strings.h>

#include <cstring>

#include "input/diagnostics.h"
#include "lint/lint_context.h"
#include "quorlen_core.h"

namespace quorlen_tool {

namespace {

bool is_marker(std::string_view text, const char* marker) {
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text.size() == std::strlen(marker) &&
         strncasecmp(text.data(), marker, text.size()) == 0;
}

class blocks final : public rule_family {
 public:
  void section(lint_context& ctx, const section_event&) override {
    block_line_ = 0;
    if (misread_) {
      const int line = ctx.at(ctx.facts.start).line;
      end_misread(ctx, "the section header at line " + std::to_string(line),
                  line - 1);
    }
  }

  void line(lint_context& ctx) override {
    const quorlen::line_kind kind = ctx.facts.kind;
    if (kind != quorlen::line_kind::pair &&
        kind != quorlen::line_kind::continuation) {
      return;
    }
    if (!is_marker(ctx.piece_text(ctx.start_offset()), quorlen::BLOCK_END)) {
      return;
    }
    const int line = ctx.at(ctx.facts.start).line;
    if (misread_) {
      return end_misread(ctx, "the end marker at line " + std::to_string(line),
                         line);
    }
    ctx.add(rule_id::stray_block_end, ctx.line_span(),
            "code-block end marker with no block open; the library reads it "
            "as an ordinary line");
    ctx.explain(line, line);
  }

  void pair(lint_context& ctx, const pair_event& ev) override {
    if (!ev.continuation || misread_ ||
        !is_marker(ev.value, quorlen::BLOCK_START)) {
      return;
    }
    misread_ = true;
    marker_ = ctx.span_at(ev.value, std::strlen(quorlen::BLOCK_START));
    continued_ = escape_text(ev.name);
  }

  void block(lint_context& ctx, const block_event& ev) override {
    if (ev.code == 0 && ctx.seen_header) return;  // an unknown section's
    if (ev.code != quorlen::CONTROL_SECTION) {
      ctx.add(
          rule_id::block_elsewhere, ev.marker,
          ev.code == 0
              ? std::string("code block before any section header is ignored")
              : "code block in section " + in_quotes(ev.section) +
                    " is ignored; only a control section keeps one");
      return;
    }
    if (ctx.control < 0) return;
    if (block_line_ != 0) {
      ctx.add(rule_id::second_block, ev.marker,
              "second code block in this control replaces the one at line " +
                  std::to_string(block_line_));
    }
    block_line_ = ev.marker.begin.line;
  }

  void finish(lint_context& ctx) override {
    if (misread_) end_misread(ctx, "the end of the file", ctx.map.lines());
  }

 private:
  // The lines after a misread start marker, up to the last one given, are
  // ordinary lines: what they and the marker cause follows from this
  // finding.
  void end_misread(lint_context& ctx, const std::string& until, int last) {
    misread_ = false;
    const int first = marker_.begin.line + 1;
    const std::string lines = last > first ? "lines " + std::to_string(first) +
                                                 " to " + std::to_string(last)
                              : last == first ? "line " + std::to_string(first)
                                              : std::string("no line");
    ctx.add(rule_id::indented_block_marker, marker_,
            "indented, so this code-block marker continues " + continued_ +
                ": no block opens, and " + lines + ", up to " + until +
                ", are read as ordinary lines");
    ctx.explain(marker_.begin.line, last);
  }

  int block_line_ = 0;  // the current control's block
  bool misread_ = false;
  span marker_;
  std::string continued_;
};

}  // namespace

std::unique_ptr<rule_family> block_rules() {
  return std::make_unique<blocks>();
}

}  // namespace quorlen_tool
