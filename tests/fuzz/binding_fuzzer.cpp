// A binding and a configuration file, split at the first 0xFF byte: the
// binding is read (or refused with a binding_error, never anything else),
// and a file linted against it gives findings on its lines, each with a
// rule, whatever either holds; the quick check of its entries agrees with
// valijson.
#include <cstddef>
#include <cstdint>
#include <string>

#include "binding/binding.h"
#include "binding/binding_internal.h"
#include "binding/entry_check.h"
#include "fuzz_support.h"
#include "lint/lint.h"

namespace {

// The quick check's verdict on an entry, from a plan or from a walk, is
// valijson's whenever it gives one.
void agree_on_entries(const quorlen_tool::binding& b, const camera_setup& s) {
  using quorlen_fuzz::check;
  if (b.checks->entry == nullptr) return;
  quorlen_tool::entry_program program(
      b.schema["properties"]["entries"]["items"], b.schema);
  for (std::uint32_t i = 0; i < s.entry_count && i < 64; ++i) {
    const register_entry& e = s.entries[i];
    const unsigned count = e.value_count;
    const quorlen_tool::verdict quick = program.run(e, count);
    check(quick == program.walk(e, count), "a plan and a walk disagree");
    if (quick == quorlen_tool::verdict::unknown) continue;
    check((quick == quorlen_tool::verdict::pass) ==
              quorlen_tool::valijson_accepts(b, e),
          "the quick check of an entry is not valijson's");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace quorlen_fuzz;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t split = bytes.find('\xff');
  const std::string text = bytes.substr(0, split);
  const std::string file =
      split == std::string::npos ? "" : bytes.substr(split + 1);
  std::unique_ptr<quorlen_tool::binding> b;
  try {
    b = quorlen_tool::load_binding_text("/nonexistent/fuzz.yaml", text);
  } catch (const quorlen_tool::binding_error& e) {
    check(std::string(e.what()).rfind("/nonexistent/fuzz.yaml:", 0) == 0,
          "a refusal without the binding's path");
    return 0;
  }
  for (int named = 0; named < 2; ++named) {
    camera_setup setup{};
    quorlen_tool::lint_options options;
    options.keep_entries = named == 0;
    options.bindings = {{b.get(), named == 1}};
    const quorlen_tool::lint_outcome outcome =
        quorlen_tool::lint_bytes(file, &setup, options);
    if (named == 0) agree_on_entries(*b, setup);
    quorlen::release_setup(setup);
    for (const quorlen_tool::finding& f : outcome.findings) {
      check(f.line >= 1 && f.line <= outcome.file_lines + 1,
            "finding off the file");
      check(f.end_column > f.column, "finding without its span");
      check(quorlen_tool::find_rule(f.code) != nullptr,
            "finding without a rule");
    }
  }
  return 0;
}
