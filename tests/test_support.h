// Shared helpers for the unit tests.
#ifndef QUORLEN_TEST_SUPPORT_H
#define QUORLEN_TEST_SUPPORT_H

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "parser/line_parser.h"
#include "parser/line_sources.h"
#include "quorlen_config_parser.h"
#include "quorlen_core.h"

namespace quorlen_test {

// Records every event as one line: "[section]" for a section start,
// "section|name|value" for a pair, "section|<code>|text" for a code block.
// Refuses the events whose ordinal (from 1) is listed in refuse.
struct recorder {
  std::vector<std::string> events;
  std::vector<int> refuse;

  static int handle(void* user, const char* section, const char* name,
                    const char* value) {
    auto* self = static_cast<recorder*>(user);
    if (name == nullptr && value == nullptr) {
      self->events.push_back("[" + std::string(section) + "]");
    } else if (name == nullptr) {
      self->events.push_back(std::string(section) + "|<code>|" + value);
    } else {
      self->events.push_back(std::string(section) + "|" + name + "|" + value);
    }
    int ordinal = static_cast<int>(self->events.size());
    for (int r : self->refuse) {
      if (r == ordinal) return 0;
    }
    return 1;
  }

  std::string joined() const {
    std::string all;
    for (const auto& e : events) all += e + "\n";
    return all;
  }
};

// A file that is removed again when the object goes.
class temp_file {
 public:
  explicit temp_file(const std::string& content) {
    char name[] = "/tmp/quorlen_testXXXXXX";
    int fd = mkstemp(name);
    if (fd < 0) std::abort();
    path_ = name;
    std::FILE* f = fdopen(fd, "wb");
    if (f == nullptr) std::abort();
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
  }
  ~temp_file() { unlink(path_.c_str()); }
  temp_file(const temp_file&) = delete;
  temp_file& operator=(const temp_file&) = delete;
  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};

// Every field of the record as text, for comparing two records.
inline std::string describe(const camera_setup& s) {
  std::string out =
      std::to_string(s.cfg_mode) + "|" + std::string(s.type, sizeof s.type) +
      "|" + std::to_string(s.width) + "x" + std::to_string(s.height) + "|" +
      std::to_string(s.bit_width) + "|" + std::to_string(s.format) + "|" +
      std::to_string(s.i2c_mode) + "|" + std::to_string(s.i2c_addr) + "|" +
      std::to_string(s.trans_lvl) + "\n";
  for (std::uint32_t i = 0; i < s.entry_count; ++i) {
    const register_entry& e = s.entries[i];
    out += std::to_string(e.entry_type) + ":";
    for (int v = 0; v < e.value_count; ++v) {
      out += " " + std::to_string(e.values[v]);
    }
    out += "\n";
  }
  for (std::uint32_t i = 0; i < s.control_count; ++i) {
    const control_entry& c = s.controls[i];
    out += std::to_string(c.min_value) + " " + std::to_string(c.max_value) +
           " " + std::to_string(c.step) + " " + std::to_string(c.def) + " " +
           c.ctrl_name + "|" + c.func_name + "|" +
           (c.code != nullptr ? c.code : "(no code)") + "\n";
  }
  return out;
}

// A zero-filled record that releases itself.
struct owned_setup {
  camera_setup s{};
  owned_setup() = default;
  ~owned_setup() { quorlen::release_setup(s); }
  owned_setup(const owned_setup&) = delete;
  owned_setup& operator=(const owned_setup&) = delete;
};

// A text of up to max_length - 1 bytes drawn from alphabet.
inline std::string random_text(std::mt19937& random,
                               const std::string& alphabet,
                               unsigned max_length) {
  std::string text;
  const unsigned length = static_cast<unsigned>(random() % max_length);
  for (unsigned k = 0; k < length; ++k) {
    text += alphabet[random() % alphabet.size()];
  }
  return text;
}

}  // namespace quorlen_test

#endif
