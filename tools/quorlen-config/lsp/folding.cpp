// Folding: each section from its header to its last line that is not
// blank, each code block from marker to marker, and each run of two or
// more comment lines, as the library's parse classified the lines.
#include <vector>

#include "input/source_map.h"
#include "lsp/handlers.h"
#include "lsp/walk.h"
#include "quorlen_core.h"

namespace quorlen_lsp {
namespace {

using quorlen::line_kind;

struct fold {
  int first, last;  // library lines
  const char* kind;
};

class fold_list : public record_watch {
 public:
  void line(const quorlen::line_facts& facts) override {
    const int n = facts.number;
    if (facts.kind != line_kind::comment) end_comments();
    switch (facts.kind) {
    case line_kind::comment:
      if (comments_ == 0) comments_ = n;
      break;
    case line_kind::section_header:
      end_section();
      section_ = n;
      break;
    case line_kind::block_start: block_ = n; break;
    case line_kind::block_end:
    case line_kind::block_broken_off:
      if (block_ != 0) folds.push_back({block_, n, "region"});
      block_ = 0;
      break;
    default: break;
    }
    if (facts.kind != line_kind::blank) filled_ = n;
  }

  void done(const camera_setup&) override {
    end_comments();
    end_section();
  }

  std::vector<fold> folds;

 private:
  void end_comments() {
    if (comments_ != 0 && filled_ > comments_) {
      folds.push_back({comments_, filled_, "comment"});
    }
    comments_ = 0;
  }
  void end_section() {
    if (section_ != 0 && filled_ > section_) {
      folds.push_back({section_, filled_, nullptr});
    }
    section_ = 0;
  }

  int comments_ = 0;  // the first line of the comments in a row, or 0
  int section_ = 0;   // the header of the section open, or 0
  int block_ = 0;     // the start marker of the block open, or 0
  int filled_ = 0;    // the last line that is not blank
};

}  // namespace

json folding_ranges(document& doc, const json&, const client_info&) {
  fold_list list;
  watch_parse(doc.text, list);
  const quorlen_tool::source_map pieces(doc.text);
  json ranges = json::array();
  for (const fold& f : list.folds) {
    // Pieces of one long line fold nothing.
    const int first = pieces.editor_line(f.first) - 1;
    const int last = pieces.editor_line(f.last) - 1;
    if (last <= first) continue;
    json range = {{"startLine", first}, {"endLine", last}};
    if (f.kind != nullptr) range["kind"] = f.kind;
    ranges.push_back(std::move(range));
  }
  return ranges;
}

}  // namespace quorlen_lsp
