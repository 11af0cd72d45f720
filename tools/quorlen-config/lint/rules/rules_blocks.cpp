// Code blocks: one where nothing keeps it, a second one in a control,
// markers that the library reads as ordinary lines, lines that are nearly
// markers, and what a block broken off by a header leaves behind.
#include <strings.h>

#include <algorithm>
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

// The marker a line is nearly, by the nearness that key names are
// suggested by, or null: a line that is one already, or near neither.
const char* near_marker(std::string_view text) {
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  if (is_marker(text, quorlen::BLOCK_START) ||
      is_marker(text, quorlen::BLOCK_END)) {
    return nullptr;
  }
  // Far longer or shorter than a marker is never near one: no distance to
  // work out on every line.
  const std::size_t longest = std::strlen(quorlen::BLOCK_START);
  const std::size_t shortest = std::strlen(quorlen::BLOCK_END);
  if (text.size() + longest / 3 < shortest || text.size() > longest * 4 / 3) {
    return nullptr;
  }
  // An edit adds or takes one '=' at most, so a line with far fewer than a
  // marker has is near neither: most lines go without a distance.
  const auto signs = [](std::string_view s) {
    return static_cast<std::size_t>(std::count(s.begin(), s.end(), '='));
  };
  const std::size_t fewest =
      std::min(signs(quorlen::BLOCK_START), signs(quorlen::BLOCK_END));
  if (signs(text) + longest / 3 < fewest) return nullptr;
  return nearest({quorlen::BLOCK_START, quorlen::BLOCK_END}, text, upper);
}

class blocks final : public rule_family {
 public:
  void section(lint_context& ctx, const section_event&) override {
    block_line_ = 0;
    const int line = ctx.at(ctx.facts.start).line;
    if (misread_) {
      end_misread(ctx, "the section header at line " + std::to_string(line),
                  line - 1);
    }
    if (near_start_.begin.line != 0) {
      end_near_start(ctx, "the section header at line " + std::to_string(line),
                     line - 1);
    }
    end_broken_off(ctx, line - 1);
  }

  void line(lint_context& ctx) override {
    const quorlen::line_kind kind = ctx.facts.kind;
    const int line = ctx.at(ctx.facts.start).line;
    if (kind == quorlen::line_kind::block_start &&
        near_start_.begin.line != 0) {
      end_near_start(ctx, "the code block at line " + std::to_string(line),
                     line - 1);
    }
    if (kind == quorlen::line_kind::block_start ||
        kind == quorlen::line_kind::block_end) {
      near_end_ = 0;
    }
    if (kind == quorlen::line_kind::pair ||
        kind == quorlen::line_kind::faulty ||
        kind == quorlen::line_kind::block_text) {
      near(ctx, kind == quorlen::line_kind::block_text);
    }
    if (kind != quorlen::line_kind::pair &&
        kind != quorlen::line_kind::continuation) {
      return;
    }
    if (!is_marker(ctx.piece_text(ctx.start_offset()), quorlen::BLOCK_END)) {
      return;
    }
    if (near_start_.begin.line != 0) {
      end_near_start(ctx, "the end marker at line " + std::to_string(line),
                     line);
    }
    if (misread_) {
      return end_misread(ctx, "the end marker at line " + std::to_string(line),
                         line);
    }
    ctx.add(rule_id::stray_block_end, ctx.line_span(),
            "code-block end marker with no block open; the library reads it "
            "as an ordinary line");
    ctx.explain(line, line);
  }

  void fault(lint_context& ctx, const quorlen::fault& f) override {
    if (f.kind != quorlen::fault_kind::block_unterminated &&
        f.kind != quorlen::fault_kind::block_broken_off) {
      return;
    }
    const int line = ctx.map.editor_line(f.line);
    // A misspelt end marker is why the block runs on.
    if (near_end_ != 0) ctx.explain(near_end_, line, held::block_end);
    near_end_ = 0;
    // The header is consumed: the lines after it go on into the section
    // the block stood in, up to the next header.
    if (f.kind == quorlen::fault_kind::block_broken_off) broken_off_ = line;
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
    if (near_start_.begin.line != 0) {
      end_near_start(ctx, "the end of the file", ctx.map.lines());
    }
    end_broken_off(ctx, ctx.map.lines());
  }

 private:
  // A line that is nearly a marker: the library reads it as an ordinary
  // line, or inside a block as code.  The fix writes the marker.
  void near(lint_context& ctx, bool in_block) {
    const std::string_view text = ctx.piece_text(ctx.start_offset());
    const char* marker = near_marker(text);
    if (marker == nullptr) return;
    const bool start = std::strcmp(marker, quorlen::BLOCK_START) == 0;
    if (in_block && start) return;  // a block is open already
    std::vector<edit> fix;
    // The whole line becomes the marker, blanks around it too.
    const std::string_view written = ctx.piece_text(0);
    const auto growth = static_cast<std::ptrdiff_t>(std::strlen(marker)) -
                        static_cast<std::ptrdiff_t>(written.size());
    if (ctx.fixable(growth)) {
      const std::size_t at = ctx.file_offset(ctx.facts.buffer);
      fix.push_back({at, at + written.size(), marker});
    }
    const span where = ctx.line_span();
    const std::string suggestion =
        "did you mean '" + std::string(marker) + "'?";
    if (start) {
      if (near_start_.begin.line != 0 || misread_) return;
      near_start_ = where;
      near_start_fix_ = std::move(fix);
      return;
    }
    const int line = where.begin.line;
    if (in_block) {
      near_end_ = line;
      ctx.add(rule_id::near_block_marker, where,
              "nearly the code-block end marker, so the block goes on: the "
              "library reads this line as code",
              suggestion, std::move(fix));
      return;
    }
    ctx.add(rule_id::near_block_marker, where,
            "nearly the code-block end marker; the library reads it as an "
            "ordinary line",
            suggestion, std::move(fix));
    if (near_start_.begin.line != 0) {
      end_near_start(ctx, "the end marker at line " + std::to_string(line),
                     line);
    } else {
      ctx.explain(line, line, held::keys | held::lines);
    }
  }

  // The lines after a misspelt start marker, up to the last one given, are
  // ordinary lines: what they and the marker say as such follows from it.
  void end_near_start(lint_context& ctx, const std::string& until, int last) {
    const int first = near_start_.begin.line + 1;
    const std::string lines = last > first ? "lines " + std::to_string(first) +
                                                 " to " + std::to_string(last)
                              : last == first ? "line " + std::to_string(first)
                                              : std::string("no line");
    ctx.add(rule_id::near_block_marker, near_start_,
            "nearly the code-block start marker, so no block opens: the "
            "library reads this line and " +
                lines + ", up to " + until + ", as ordinary lines",
            "did you mean '" + std::string(quorlen::BLOCK_START) + "'?",
            std::move(near_start_fix_));
    ctx.explain(near_start_.begin.line, std::max(last, first - 1),
                held::keys | held::lines);
    near_start_ = span{};
    near_start_fix_.clear();
  }

  // A header that broke a block off changes no section: what the lines
  // after it say in the section before follows from that.
  void end_broken_off(lint_context& ctx, int last) {
    if (broken_off_ == 0) return;
    if (last > broken_off_) {
      ctx.explain(broken_off_ + 1, last, held::keys | held::section);
    }
    broken_off_ = 0;
  }

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
  span near_start_;     // a misspelt start marker whose lines run on
  std::vector<edit> near_start_fix_;
  int near_end_ = 0;    // a misspelt end marker in the open block
  int broken_off_ = 0;  // the header that broke the last block off
  bool misread_ = false;
  span marker_;
  std::string continued_;
};

}  // namespace

std::unique_ptr<rule_family> block_rules() {
  return std::make_unique<blocks>();
}

}  // namespace quorlen_tool
