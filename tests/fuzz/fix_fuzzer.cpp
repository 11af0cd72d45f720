// Any input: every fix the lint keeps is applied.  Each edit lies on its
// finding's line and every other line keeps its bytes; the fixed text gives
// the record that the original gives when each fix's meaning is applied to
// the library's own reading of it (a key read under the name suggested, a
// section under the section suggested, a value cut where the comment mark
// now starts a comment, a line read without its byte-order mark, a line
// read as the code-block marker it was nearly); and its
// lint shows each fixed finding gone and no finding that was not there.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "input/source_map.h"
#include "lint/fixes.h"
#include "lint/lint.h"

namespace {

using namespace quorlen_fuzz;
using quorlen_tool::finding;

// What the suggestion names: "did you mean 'X'?", "did you mean '[X]'?".
std::string suggested(const finding& f) {
  const std::size_t open = f.suggestion.find('\'');
  const std::size_t close = f.suggestion.rfind('\'');
  check(open != std::string::npos && close > open, "a fix without a name");
  std::string name = f.suggestion.substr(open + 1, close - open - 1);
  if (f.code == "Q101") name = name.substr(1, name.size() - 2);
  return name;
}

// The library's reading of a text, with what the fixes say done to it,
// keyed by the library's line numbers.
struct meaning {
  std::map<int, std::string> keys;      // a pair line read under this name
  std::map<int, std::string> sections;  // a header read as this section
  std::map<int, std::size_t> cuts;      // a pair's value ends at this column

  quorlen::setup_watch setup{nullptr};
  quorlen::line_facts facts{};
  std::string key, section;  // in force from a fixed line on
  bool renaming = false, resectioning = false;

  static void line(void* self, const quorlen::line_facts& facts) {
    auto& m = *static_cast<meaning*>(self);
    m.facts = facts;
    // The last name lives until the next pair line or header.
    if (facts.kind == quorlen::line_kind::pair ||
        facts.kind == quorlen::line_kind::section_header) {
      m.renaming = false;
    }
  }

  static int handle(void* self, const char* section, const char* name,
                    const char* value) {
    auto& m = *static_cast<meaning*>(self);
    const int at = m.facts.number;
    if (name == nullptr && value == nullptr) {
      auto it = m.sections.find(at);
      m.resectioning = it != m.sections.end();
      if (m.resectioning) m.section = it->second;
    }
    if (m.resectioning) section = m.section.c_str();
    std::string cut;
    if (name != nullptr && value != nullptr &&
        m.facts.kind == quorlen::line_kind::pair) {
      auto key = m.keys.find(at);
      if (key != m.keys.end()) {
        m.key = key->second;
        m.renaming = true;
      }
      auto mark = m.cuts.find(at);
      if (mark != m.cuts.end()) {
        const auto from = static_cast<std::size_t>(value - m.facts.buffer);
        cut.assign(value, mark->second - from);
        while (!cut.empty() &&
               std::isspace(static_cast<unsigned char>(cut.back()))) {
          cut.pop_back();
        }
        value = cut.c_str();
      }
    }
    if (m.renaming && name != nullptr) name = m.key.c_str();
    return m.setup.event(section, name, value);
  }
};

int parse_meaning(const std::string& bytes, meaning& m, camera_setup& s) {
  m.setup = quorlen::setup_watch(&s);
  quorlen::parse_observer observer{[](void*, const quorlen::fault&) {}, &m,
                                   meaning::line};
  return quorlen::parse_bytes(bytes.data(), bytes.size(), meaning::handle, &m,
                              &observer);
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines(1);
  for (const char c : text) {
    if (c == '\n') {
      lines.emplace_back();
    } else {
      lines.back() += c;
    }
  }
  return lines;
}

std::map<std::pair<std::string, int>, int> counted(
    const std::vector<finding>& found) {
  std::map<std::pair<std::string, int>, int> n;
  for (const finding& f : found) ++n[{f.code, f.line}];
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::vector<finding> found;
  {
    camera_setup s{};
    found = quorlen_tool::lint_bytes(bytes, &s).findings;
    quorlen::release_setup(s);
  }
  const std::vector<finding> before = found;
  const quorlen_tool::fix_outcome out =
      quorlen_tool::settle_fixes(bytes, found, quorlen_tool::every_finding);
  const quorlen_tool::source_map map(bytes);

  // The fixes kept are those applied, each on its finding's line.
  std::vector<bool> applied(found.size(), false);
  for (const std::size_t i : out.fixed.applied) applied[i] = true;
  meaning m;
  std::string read = bytes;  // the original, less the late marks
  std::vector<bool> edited(static_cast<std::size_t>(map.lines()) + 2, false);
  for (std::size_t i = found.size(); i-- > 0;) {
    const finding& f = found[i];
    check(f.fix.empty() != applied[i], "a fix kept but not applied");
    if (!applied[i]) continue;
    const std::size_t start = map.line_offset(f.line);
    const std::size_t end = start + map.line_text(f.line).size();
    for (const quorlen_tool::edit& e : f.fix) {
      check(e.begin >= start && e.end <= end &&
                e.text.find('\n') == std::string::npos,
            "a fix reaches past its line");
    }
    edited[static_cast<std::size_t>(f.line)] = true;
    const int library_line = map.library_line(f.line);
    if (f.code == "Q201") {
      m.keys[library_line] = suggested(f);
    } else if (f.code == "Q101") {
      m.sections[library_line] = suggested(f);
    } else if (f.code == "Q502") {
      m.cuts[library_line] = static_cast<std::size_t>(f.column - 1);
    } else if (f.code == "Q705") {
      // The line is read as the marker it was nearly.
      const std::string marker = suggested(f);
      check(marker == quorlen::BLOCK_START || marker == quorlen::BLOCK_END,
            "a marker fix that writes no marker");
      read.replace(start, end - start, marker);  // from the last up
    } else {
      check(f.code == "Q602" && bytes.compare(start, 3, "\xEF\xBB\xBF") == 0,
            "a fix of a kind there is none of");
      read.erase(start, 3);  // lines from the last up: offsets hold
    }
  }

  const std::vector<std::string> old_lines = lines_of(bytes);
  const std::vector<std::string> new_lines = lines_of(out.fixed.bytes);
  check(old_lines.size() == new_lines.size(), "a fix added or took a line");
  for (std::size_t i = 0; i < old_lines.size(); ++i) {
    check(edited[i + 1] || old_lines[i] == new_lines[i],
          "a line without a fix changed");
  }

  camera_setup fixed{}, meant{};
  quorlen::setup_watch context(&fixed);
  const int fixed_result =
      quorlen::parse_bytes(out.fixed.bytes.data(), out.fixed.bytes.size(),
                           quorlen::setup_watch::handle, &context);
  const int meant_result = parse_meaning(read, m, meant);
  check(fixed_result == meant_result,
        "the faulty lines changed otherwise than the fixes say");
  check(same_setup(fixed, meant),
        "the record changed otherwise than the fixes say");
  quorlen::release_setup(fixed);
  quorlen::release_setup(meant);

  // Linted again: each fixed finding gone, and nothing new.
  auto left = counted(before);
  for (const std::size_t i : out.fixed.applied) {
    --left[{found[i].code, found[i].line}];
  }
  camera_setup again{};
  const std::vector<finding> after =
      quorlen_tool::lint_bytes(out.fixed.bytes, &again).findings;
  quorlen::release_setup(again);
  for (const finding& f : after) {
    check(--left[{f.code, f.line}] >= 0,
          "a fixed finding is still there, or a new one came");
  }
  return 0;
}
