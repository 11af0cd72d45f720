// The tool's watch over the handler: with entries kept it fills the record
// as quorlen_parse_config does; with entries handed on, the sink sees each
// entry in file order and the record ends with none.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quorlen_core.h"
#include "test_support.h"

namespace {

// A file of n register lines, REG = i, i + 1, with a camera key before
// them and a control after.
std::string register_file(int n) {
  std::string text =
      "[camera parameter]\nSIZE = 640, 480\n[register parameter]\n";
  for (int i = 0; i < n; ++i) {
    text += "REG = " + std::to_string(i) + ", " + std::to_string(i + 1) + "\n";
  }
  text += "[control parameter]\nCTRL_NAME = gain\n";
  return text;
}

struct handed {
  std::vector<register_entry> entries;
  std::vector<std::uint32_t> counts;  // the record's entry_count meanwhile
  camera_setup* record = nullptr;

  static void take(void* self, const register_entry& e) {
    auto* h = static_cast<handed*>(self);
    h->entries.push_back(e);
    h->counts.push_back(h->record->entry_count);
  }
};

TEST(SetupWatch, KeptEntriesFillTheRecordAsTheLibraryDoes) {
  const std::string text = register_file(250);
  quorlen_test::temp_file file(text);
  quorlen_test::owned_setup library;
  const int library_result = quorlen_parse_config(file.path(), &library.s);

  quorlen_test::owned_setup watched;
  handed seen;
  seen.record = &watched.s;
  quorlen::setup_watch watch(&watched.s, handed::take, &seen, true);
  const int result =
      quorlen::parse_text(text.c_str(), quorlen::setup_watch::handle, &watch);
  watch.finish();
  EXPECT_EQ(result, library_result);
  EXPECT_EQ(quorlen_test::describe(watched.s),
            quorlen_test::describe(library.s));
  ASSERT_EQ(seen.entries.size(), 250u);
  EXPECT_EQ(watched.s.entry_count, 250u);
  for (std::size_t i = 0; i < seen.entries.size(); ++i) {
    EXPECT_EQ(seen.counts[i], i + 1) << i;  // already in the record
    EXPECT_EQ(seen.entries[i].values[0], static_cast<std::int32_t>(i));
  }
}

TEST(SetupWatch, HandedOnEntriesLeaveTheRecord) {
  const std::string text = register_file(250);
  quorlen_test::owned_setup kept;
  quorlen::setup_watch keep(&kept.s);
  quorlen::parse_text(text.c_str(), quorlen::setup_watch::handle, &keep);

  quorlen_test::owned_setup watched;
  handed seen;
  seen.record = &watched.s;
  quorlen::setup_watch watch(&watched.s, handed::take, &seen, false);
  EXPECT_EQ(
      quorlen::parse_text(text.c_str(), quorlen::setup_watch::handle, &watch),
      0);
  watch.finish();
  EXPECT_EQ(watched.s.entry_count, 0u);
  EXPECT_EQ(watched.s.entries, nullptr);
  ASSERT_EQ(seen.entries.size(), std::size_t{kept.s.entry_count});
  for (std::size_t i = 0; i < seen.entries.size(); ++i) {
    EXPECT_EQ(seen.counts[i], 1u) << i;  // only the newest one, meanwhile
    const register_entry& a = seen.entries[i];
    const register_entry& b = kept.s.entries[i];
    EXPECT_EQ(a.entry_type, b.entry_type) << i;
    EXPECT_EQ(a.value_count, b.value_count) << i;
    for (unsigned v = 0; v < QUORLEN_MAX_VALUES; ++v) {
      EXPECT_EQ(a.values[v], b.values[v]) << i << " " << v;
    }
  }
  // Everything but the entries is as a kept parse leaves it.
  EXPECT_EQ(watched.s.control_count, 1u);
  EXPECT_EQ(watched.s.width, kept.s.width);
  EXPECT_STREQ(watched.s.controls[0].ctrl_name, "gain");
}

TEST(SetupWatch, WithoutASinkEntriesAreDropped) {
  quorlen_test::owned_setup watched;
  quorlen::setup_watch watch(&watched.s, nullptr, nullptr, false);
  quorlen::parse_text(register_file(120).c_str(), quorlen::setup_watch::handle,
                      &watch);
  EXPECT_TRUE(watch.control_open());
  watch.finish();
  EXPECT_EQ(watched.s.entry_count, 0u);
  EXPECT_EQ(watched.s.entries, nullptr);
  EXPECT_EQ(watched.s.control_count, 1u);
}

TEST(SetupWatch, ReleaseClearsTheRecord) {
  camera_setup s{};
  quorlen::setup_watch watch(&s);
  quorlen::parse_text(
      "[register parameter]\nREG = 1\n[control parameter]\nCTRL_NAME = a\n"
      "======CODE_BLOCK_START======\nx\n======CODE_BLOCK_END======\n",
      quorlen::setup_watch::handle, &watch);
  ASSERT_EQ(s.entry_count, 1u);
  ASSERT_EQ(s.control_count, 1u);
  ASSERT_NE(s.controls[0].code, nullptr);
  quorlen::release_setup(s);
  EXPECT_EQ(s.entries, nullptr);
  EXPECT_EQ(s.controls, nullptr);
  EXPECT_EQ(s.entry_count, 0u);
  EXPECT_EQ(s.control_count, 0u);
}

TEST(SetupWatch, CodeOfFindsExactNamesOnly) {
  EXPECT_EQ(quorlen::code_of(quorlen::section_codes, "control parameter"),
            quorlen::CONTROL_SECTION);
  EXPECT_EQ(quorlen::code_of(quorlen::section_codes, "camera parameter"),
            quorlen::CAMERA_SECTION);
  EXPECT_EQ(quorlen::code_of(quorlen::section_codes, "Control parameter"), 0u);
  EXPECT_EQ(quorlen::code_of(quorlen::register_key_codes, ""), 0u);
}

}  // namespace
