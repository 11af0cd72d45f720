// Any input: parse it, write the record back as a file, parse that, and the
// two records must be the same; so must the record read back from its JSON
// document.  Writing must never refuse a record that a parse produced.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz_support.h"
#include "record/record_compare.h"
#include "record/record_json.h"
#include "record/record_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  using namespace quorlen_fuzz;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  camera_setup parsed{};
  logging_context from_input{quorlen::setup_watch(&parsed), {}};
  if (parse_from_stream(bytes.data(), bytes.size(), from_input) == -2) return 0;

  std::string text;
  try {
    text = quorlen_tool::write_config(parsed);
  } catch (const quorlen_tool::unwritable& e) {
    std::fprintf(stderr, "%s\n", e.what());
    check(false, "writing refused a record that a parse produced");
  }
  camera_setup again{};
  logging_context from_text{quorlen::setup_watch(&again), {}};
  check(parse_from_text(text.c_str(), from_text) == 0,
        "the written file is faulty");
  check(same_setup(parsed, again), "the written file reads back differently");

  camera_setup from_json{};
  quorlen_tool::entry_list entries;
  const std::string document =
      quorlen_tool::json_document("input", true, parsed);
  try {
    quorlen_tool::read_document(document, from_json, entries);
  } catch (const quorlen_tool::unwritable& e) {
    std::fprintf(stderr, "%s\n", e.what());
    check(false, "the JSON document of a parse is refused");
  }
  check(same_but_entries(parsed, from_json) &&
            entries.size() == parsed.entry_count,
        "the JSON document reads back differently");
  for (std::uint32_t i = 0; i < parsed.entry_count; ++i) {
    check(entries.same(i, parsed.entries[i]),
          "an entry of the JSON document reads back differently");
  }

  quorlen::release_setup(parsed);
  quorlen::release_setup(again);
  quorlen::release_setup(from_json);
  return 0;
}
