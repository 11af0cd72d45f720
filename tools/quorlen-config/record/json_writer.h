// JSON written as it goes, laid out as nlohmann::json's dump(2) lays it out
// (a member or an item a line, indented by two), except for containers
// opened compact, which stand on one line; a document of any size needs no
// more memory than its deepest object.
#ifndef QUORLEN_JSON_WRITER_H
#define QUORLEN_JSON_WRITER_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace quorlen_tool {

class json_writer {
 public:
  explicit json_writer(std::FILE* out) : out_(out) {}
  // Appends to a text instead.
  explicit json_writer(std::string& text) : text_(&text) {}
  ~json_writer() { flush(); }
  json_writer(const json_writer&) = delete;
  json_writer& operator=(const json_writer&) = delete;

  // In an object, each value follows its key.
  json_writer& key(std::string_view name);
  // Everything in a compact container stays on its line.
  json_writer& begin_object(bool compact = false) { return open('{', compact); }
  json_writer& end_object() { return close('}'); }
  json_writer& begin_array(bool compact = false) { return open('[', compact); }
  json_writer& end_array() { return close(']'); }
  json_writer& value(std::int64_t number);
  json_writer& value(std::uint64_t number);
  json_writer& value(int number) { return value(std::int64_t{number}); }
  json_writer& value(unsigned number) { return value(std::uint64_t{number}); }
  json_writer& value(bool truth);
  // Bytes that are not UTF-8 show as U+FFFD.
  json_writer& value(std::string_view text);
  json_writer& value(const char* text) { return value(std::string_view(text)); }
  json_writer& null();
  // A value already in JSON, such as one json_string gave.
  json_writer& raw(std::string_view json);
  // Ends the document with a newline and writes out what is held.
  void finish();
  void flush();

 private:
  json_writer& open(char bracket, bool compact);
  json_writer& close(char bracket);
  // The separator and indentation before an item.
  void item();
  void pad(std::size_t depth);

  std::FILE* out_ = nullptr;
  std::string* text_ = nullptr;
  std::string held_;
  struct container {
    bool filled;   // has items
    bool compact;  // on one line
  };
  std::vector<container> open_;
  bool after_key_ = false;
};

// A text as a JSON string, with its quotes.
std::string json_string(std::string_view text);

}  // namespace quorlen_tool

#endif
