// What every family of lint rules sees: the line being read, the record
// being filled, places in the file, and where findings go.
#ifndef QUORLEN_LINT_CONTEXT_H
#define QUORLEN_LINT_CONTEXT_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "input/diagnostics.h"
#include "input/source_map.h"
#include "lint/lint.h"
#include "quorlen_core.h"

namespace quorlen_tool {

// What a cause holds back on the lines it explains, one bit a kind of
// follow-on finding.
namespace held {
constexpr unsigned keys = 1;       // what the keys and values on them say
constexpr unsigned lines = 2;      // what the library makes of them as
                                   // ordinary lines: refusals, stray markers
constexpr unsigned section = 4;    // what the section they land in makes of
                                   // them: its control's range, step, blocks
constexpr unsigned block_end = 8;  // a code block they leave open
}  // namespace held

// Whether a cause of that reach holds back a finding of the rule.
bool holds_back(unsigned reach, rule_id id);

struct explanation {
  int first_line;
  int last_line;
  unsigned reach;
};

struct position {
  int line = 0;    // as an editor counts
  int column = 0;  // 1-based, in bytes
};

// A stretch of one line; end is the column just past it.
struct span {
  position begin;
  int end_column = 0;
};

class lint_context {
 public:
  // Without keep_entries, each register entry leaves the record once the
  // rules have seen it (as entry).
  lint_context(const source_map& source, camera_setup* filled,
               bool keep_entries)
      : map(source), record(filled), setup(filled, took, this, keep_entries) {}
  lint_context(const lint_context&) = delete;
  lint_context& operator=(const lint_context&) = delete;

  // The place of a character of the line being read.  Texts that are not
  // in the line (a continuation's kept name) stand at the line's start.
  position at(const char* p) const;
  // length characters from p; at least one column.
  span span_at(const char* p, std::size_t length) const;
  span span_to(const char* from, const char* to) const;
  // The whole line, from its first character to its end.
  span line_span() const;
  // Where a pair names its key: the name, or a continuation's whole text.
  span name_span(const char* name) const;
  // The bytes of the piece being read from an offset on, without a newline.
  std::string_view piece_text(std::size_t from) const;
  std::size_t start_offset() const {
    return static_cast<std::size_t>(facts.start - facts.buffer);
  }
  // Where a character of the line being read stands in the file.
  std::size_t file_offset(const char* p) const;
  // Whether the line being read may be edited by a fix that grows it by
  // growth bytes: the library reads it whole, before the edit and after, so
  // that no line is split otherwise than it was.
  bool fixable(std::ptrdiff_t growth) const;

  void add(rule_id id, span where, std::string message,
           std::string suggestion = "", std::vector<edit> fix = {});
  // The findings on these lines of the kinds reach names follow from one
  // already given, and are left out.
  void explain(int first_line, int last_line, unsigned reach = held::keys);
  // Whether name is a key of the section with this code.
  static bool known_key(std::uint32_t code, const char* name);

  const source_map& map;
  camera_setup* record;
  quorlen::setup_watch setup;  // the library's handler
  register_entry entry{};      // the register entry filled last
  std::size_t entries_taken = 0;
  quorlen::line_facts facts{};  // the line being read
  bool seen_header = false;
  int control = -1;  // the control being filled, -1 for none
  std::vector<finding> findings;
  std::vector<explanation> explained;

 private:
  static void took(void* self, const register_entry& e) {
    auto* ctx = static_cast<lint_context*>(self);
    ctx->entry = e;
    ++ctx->entries_taken;
  }
};

struct section_event {
  const char* section;
  std::uint32_t code;
  span header;  // from '[' to the closing ']'
};

struct pair_event {
  const char* section;
  std::uint32_t code;  // the section's
  const char* name;
  const char* value;
  bool continuation;
  bool known;                 // a key of its section
  const quorlen::field* row;  // a camera or control key's field
  const void* fills;          // the record or control that row fills
  bool changes;               // false for a list of a count that its
                              // key does not take
};

struct block_event {
  const char* section;
  std::uint32_t code;
  span marker;  // the line that opened the block
};

// A family of rules: each hook is told of one thing the parse does.
class rule_family {
 public:
  virtual ~rule_family() = default;
  // Every line, before the events it causes.
  virtual void line(lint_context&) {}
  virtual void fault(lint_context&, const quorlen::fault&) {}
  virtual void section(lint_context&, const section_event&) {}
  // Before the next section starts, and at the end of the file.
  virtual void section_end(lint_context&) {}
  virtual void pair(lint_context&, const pair_event&) {}
  virtual void block(lint_context&, const block_event&) {}
  virtual void finish(lint_context&) {}
};

// The families, each in a file of its own.
std::unique_ptr<rule_family> line_rules();
std::unique_ptr<rule_family> section_rules();
std::unique_ptr<rule_family> key_rules();
std::unique_ptr<rule_family> number_rules();
std::unique_ptr<rule_family> text_rules();
std::unique_ptr<rule_family> block_rules();
std::unique_ptr<rule_family> control_rules();
// Checks the record against the bindings; what applied goes to *applied.
std::unique_ptr<rule_family> binding_rules(
    const std::vector<applied_binding>& bindings,
    const std::vector<refused_binding>& refused,
    std::vector<const binding*>* applied);

// Shared by the families.
std::string lines_text(int count);
// The nearest name under a folding, if near enough to be a slip and no
// other name is as near.
const char* nearest(const std::vector<const char*>& names,
                    std::string_view name,
                    std::string (*fold)(std::string_view));
std::string upper(std::string_view text);
// The name the engine reads in this text on a line of its own; empty when
// it reads no name/value pair there.
std::string name_on_its_own(const char* text);
// What a file that is not text shows in its first NOT_TEXT_SAMPLE bytes: a
// run of NOT_TEXT_NUL_RUN NUL bytes (a line of text may hold a stray NUL,
// never a run of them), or at least NOT_TEXT_CONTROLS control bytes other
// than tab, CR, LF and FF that make more than NOT_TEXT_PERCENT in a hundred
// of them.  Text in any 8-bit encoding or UTF-8 holds none of those.
constexpr std::size_t NOT_TEXT_SAMPLE = 8192;
constexpr std::size_t NOT_TEXT_NUL_RUN = 4;
constexpr std::size_t NOT_TEXT_CONTROLS = 16;
constexpr std::size_t NOT_TEXT_PERCENT = 5;
// Why the bytes are not a text file, or empty when they may be one.
std::string not_text(std::string_view bytes);
// The section the engine starts on this text as a line of its own; empty
// when it starts none there.
std::string section_on_its_own(const char* text);

}  // namespace quorlen_tool

#endif
