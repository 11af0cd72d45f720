// Any input, laid out by fmt with the default options and with the others
// (no alignment, a tab step, CR LF line ends): the layout is never refused,
// the record, the faulty lines (their kinds and numbers) and every comment
// stay the same, and laid out again the text does not change.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "fmt/formatter.h"
#include "fuzz_support.h"
#include "quorlen_core.h"

namespace {

using namespace quorlen_fuzz;

// What the library's parse makes of a text, as its observer tells it.
struct parsed {
  camera_setup s{};
  std::vector<std::tuple<int, int, int>> faults;
  std::vector<std::string> comments;
  int result = 0;
  quorlen::parse_observer observer{fault, this, line};

  explicit parsed(const std::string& bytes) {
    quorlen::setup_watch context(&s);
    result =
        quorlen::parse_bytes(bytes.data(), bytes.size(),
                             quorlen::setup_watch::handle, &context, &observer);
  }
  ~parsed() { quorlen::release_setup(s); }
  parsed(const parsed&) = delete;
  parsed& operator=(const parsed&) = delete;

  static void fault(void* self, const quorlen::fault& f) {
    static_cast<parsed*>(self)->faults.emplace_back(static_cast<int>(f.kind),
                                                    f.line, f.block_line);
  }
  // The engine's copy of the line, trimmed, holds a comment whole; a pair's
  // inline comment starts where its value was cut.
  static void line(void* self, const quorlen::line_facts& f) {
    auto* p = static_cast<parsed*>(self);
    const char* shown = p->observer.shown;
    if (f.kind == quorlen::line_kind::comment) p->comments.emplace_back(shown);
    if (f.kind == quorlen::line_kind::pair) {
      const auto cut = static_cast<std::size_t>(f.value_end - f.start);
      if (cut < std::strlen(shown)) p->comments.emplace_back(shown + cut);
    }
  }
};

void check_layout(const std::string& bytes,
                  const quorlen_tool::fmt_options& options) {
  const quorlen_tool::fmt_outcome done =
      quorlen_tool::format_config(bytes, options);
  check(done.refused.empty(), "the layout was refused");
  const parsed before(bytes), after(done.text);
  check(done.faulty == !before.faults.empty(), "faulty lines not told");
  check(before.result == after.result, "the result changed");
  check(before.faults == after.faults, "the faulty lines changed");
  check(same_setup(before.s, after.s), "the record changed");
  check(before.comments == after.comments, "a comment changed");
  check(quorlen_tool::format_config(done.text, options).text == done.text,
        "laid out again, the text changed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  check_layout(bytes, {});
  quorlen_tool::fmt_options others;
  others.align = false;
  others.indent = "\t";
  others.line_end = "\r\n";
  check_layout(bytes, others);
  return 0;
}
