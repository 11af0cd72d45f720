#include "record_diff.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>

#include "diagnostics.h"
#include "lint.h"
#include "parser/line_sources.h"
#include "record_json.h"
#include "record_text.h"
#include "setup/setup_internal.h"

namespace quorlen_tool {

parsed_file::~parsed_file() { free_setup(setup); }

namespace {

// Remembers the library's line of each new entry and control.
struct line_watch {
  quorlen::setup_context context;
  int library_line = 0;
  std::vector<int> entries;  // library lines
  std::vector<int> controls;

  static void line(void* self, const quorlen::line_facts& facts) {
    static_cast<line_watch*>(self)->library_line = facts.number;
  }
  static int handle(void* self, const char* section, const char* name,
                    const char* value) {
    auto* watch = static_cast<line_watch*>(self);
    const camera_setup& s = *watch->context.setup;
    const std::uint32_t entries = s.entry_count;
    const std::uint32_t controls = s.control_count;
    const int accepted =
        quorlen::setup_handler(&watch->context, section, name, value);
    if (s.entry_count > entries) watch->entries.push_back(watch->library_line);
    if (s.control_count > controls)
      watch->controls.push_back(watch->library_line);
    return accepted;
  }
};

std::string hex(std::int32_t v) {
  if (v < 0) return std::to_string(v);
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(v));
  return text;
}

std::string values_text(const register_entry& e) {
  std::string out;
  for (int v = 0; v < e.value_count; ++v)
    out += (v == 0 ? "" : ", ") + hex(e.values[v]);
  return out;
}

bool same_entry(const register_entry& x, const register_entry& y) {
  return x.entry_type == y.entry_type && x.value_count == y.value_count &&
         std::memcmp(x.values, y.values,
                     sizeof(std::int32_t) * x.value_count) == 0;
}

std::string quoted(const std::string& text) {
  return "'" + escape_text(text) + "'";
}

}  // namespace

void parse_file_bytes(const std::string& bytes, parsed_file& file) {
  line_watch watch{quorlen::setup_context(&file.setup), 0, {}, {}};
  quorlen::parse_observer observer{nullptr, &watch, line_watch::line};
  // Faulty lines do not stop a comparison of what is set.
  parse_bytes(bytes, line_watch::handle, &watch, &observer);
  const std::vector<piece> pieces = library_pieces(bytes);
  const auto physical = [&](int library_line) {
    const std::size_t i = static_cast<std::size_t>(library_line - 1);
    return i < pieces.size() ? pieces[i].line : library_line;
  };
  for (int l : watch.entries) file.entry_lines.push_back(physical(l));
  for (int l : watch.controls) file.control_lines.push_back(physical(l));
}

namespace {

class differ {
 public:
  differ(const parsed_file& a, const parsed_file& b) : a_(a), b_(b) {
    out_.json = {{"same", true},
                 {"camera", nlohmann::ordered_json::array()},
                 {"entries", nlohmann::ordered_json::array()},
                 {"controls", nlohmann::ordered_json::array()}};
  }

  record_diff run() {
    camera();
    entries();
    controls();
    out_.json["same"] = out_.same;
    return std::move(out_);
  }

 private:
  std::string where(const parsed_file& f, int line) const {
    return escape_text(f.path) + ":" + std::to_string(line);
  }

  void field(const char* name, const std::string& x, const std::string& y,
             std::string& text, nlohmann::ordered_json& list) {
    if (x == y) return;
    out_.same = false;
    text += std::string("  ") + name + ": " + x + " -> " + y + "\n";
    list.push_back({{"field", name}, {"a", x}, {"b", y}});
  }

  void camera() {
    const camera_setup& x = a_.setup;
    const camera_setup& y = b_.setup;
    std::string text;
    auto& list = out_.json["camera"];
    const auto n = [](auto v) { return std::to_string(v); };
    field("CFG_MODE", n(x.cfg_mode), n(y.cfg_mode), text, list);
    field("TYPE", quoted(field_text(x.type)), quoted(field_text(y.type)), text,
          list);
    field("WIDTH", n(x.width), n(y.width), text, list);
    field("HEIGHT", n(x.height), n(y.height), text, list);
    field("BIT_WIDTH", n(x.bit_width), n(y.bit_width), text, list);
    field("FORMAT", hex(x.format), hex(y.format), text, list);
    field("I2C_MODE", n(x.i2c_mode), n(y.i2c_mode), text, list);
    field("I2C_ADDR", hex(x.i2c_addr), hex(y.i2c_addr), text, list);
    field("TRANS_LVL", n(x.trans_lvl), n(y.trans_lvl), text, list);
    if (!text.empty()) out_.text += "[camera parameter]\n" + text;
  }

  // One section's entries in A and B: indices into the records.
  void entries() {
    std::vector<std::uint32_t> sections;
    const auto note = [&](const camera_setup& s) {
      for (std::uint32_t i = 0; i < s.entry_count; ++i) {
        const std::uint32_t section = s.entries[i].entry_type & 0xFFFF0000u;
        bool known = false;
        for (std::uint32_t seen : sections) known = known || seen == section;
        if (!known) sections.push_back(section);
      }
    };
    note(a_.setup);
    note(b_.setup);
    for (std::uint32_t section : sections) section_diff(section);
  }

  std::vector<std::uint32_t> in_section(const camera_setup& s,
                                        std::uint32_t section) {
    std::vector<std::uint32_t> out;
    for (std::uint32_t i = 0; i < s.entry_count; ++i) {
      if ((s.entries[i].entry_type & 0xFFFF0000u) == section) out.push_back(i);
    }
    return out;
  }

  void section_diff(std::uint32_t section) {
    const auto x = in_section(a_.setup, section);
    const auto y = in_section(b_.setup, section);
    const std::size_t n = x.size(), m = y.size();
    // Longest common subsequence, from the end.
    std::vector<std::vector<std::uint32_t>> lcs(
        n + 1, std::vector<std::uint32_t>(m + 1, 0));
    for (std::size_t i = n; i-- > 0;) {
      for (std::size_t j = m; j-- > 0;) {
        lcs[i][j] = same_entry(a_.setup.entries[x[i]], b_.setup.entries[y[j]])
                        ? lcs[i + 1][j + 1] + 1
                        : std::max(lcs[i + 1][j], lcs[i][j + 1]);
      }
    }
    const char* name = section_name(section);
    const std::string title =
        name != nullptr ? name : hex(static_cast<std::int32_t>(section));
    std::string text;
    std::vector<std::uint32_t> removed, added;
    const auto flush = [&] {
      std::size_t k = 0;
      for (; k < removed.size() && k < added.size(); ++k) {
        change("changed", title, &removed[k], &added[k], text);
      }
      for (std::size_t r = k; r < removed.size(); ++r)
        change("removed", title, &removed[r], nullptr, text);
      for (std::size_t a = k; a < added.size(); ++a)
        change("added", title, nullptr, &added[a], text);
      removed.clear();
      added.clear();
    };
    std::size_t i = 0, j = 0;
    while (i < n || j < m) {
      if (i < n && j < m &&
          same_entry(a_.setup.entries[x[i]], b_.setup.entries[y[j]])) {
        flush();
        ++i, ++j;
      } else if (j < m && (i == n || lcs[i][j + 1] >= lcs[i + 1][j])) {
        added.push_back(y[j++]);
      } else {
        removed.push_back(x[i++]);
      }
    }
    flush();
    if (!text.empty()) out_.text += "[" + title + "]\n" + text;
  }

  void change(const char* kind, const std::string& section,
              const std::uint32_t* ia, const std::uint32_t* ib,
              std::string& text) {
    out_.same = false;
    const register_entry* ea = ia != nullptr ? &a_.setup.entries[*ia] : nullptr;
    const register_entry* eb = ib != nullptr ? &b_.setup.entries[*ib] : nullptr;
    const register_entry& any = ea != nullptr ? *ea : *eb;
    const char* key_name = register_key_name(any.entry_type & 0xFFFFu);
    const std::string key = key_name != nullptr ? key_name : "?";
    nlohmann::ordered_json item = {{"section", section}, {"change", kind}};
    std::string places;
    if (ea != nullptr) {
      const int line = a_.entry_lines.at(*ia);
      item["a"] = {{"line", line}, {"key", key}, {"values", values_text(*ea)}};
      places += where(a_, line);
    }
    if (eb != nullptr) {
      const int line = b_.entry_lines.at(*ib);
      const char* b_key = register_key_name(eb->entry_type & 0xFFFFu);
      item["b"] = {{"line", line},
                   {"key", b_key != nullptr ? b_key : "?"},
                   {"values", values_text(*eb)}};
      places += (places.empty() ? "" : ", ") + where(b_, line);
    }
    if (ea != nullptr && eb != nullptr) {
      const char* b_key = register_key_name(eb->entry_type & 0xFFFFu);
      text += "  ~ " + key + " = " + values_text(*ea) + "  ->  " +
              (b_key != nullptr ? b_key : "?") + " = " + values_text(*eb) +
              "  (" + places + ")\n";
    } else {
      text += std::string("  ") + (ea != nullptr ? "- " : "+ ") + key + " = " +
              values_text(ea != nullptr ? *ea : *eb) + "  (" + places + ")\n";
    }
    out_.json["entries"].push_back(item);
  }

  void controls() {
    // The k-th control of a name in A meets the k-th of that name in B.
    std::map<std::string, std::vector<std::uint32_t>> in_b;
    for (std::uint32_t i = 0; i < b_.setup.control_count; ++i) {
      in_b[field_text(b_.setup.controls[i].ctrl_name)].push_back(i);
    }
    std::map<std::string, std::size_t> used;
    std::vector<bool> matched(b_.setup.control_count, false);
    for (std::uint32_t i = 0; i < a_.setup.control_count; ++i) {
      const std::string name = field_text(a_.setup.controls[i].ctrl_name);
      auto& list = in_b[name];
      std::size_t& k = used[name];
      if (k < list.size()) {
        matched[list[k]] = true;
        compare_control(name, i, list[k++]);
      } else {
        control_change("removed", name, where(a_, a_.control_lines.at(i)));
      }
    }
    for (std::uint32_t j = 0; j < b_.setup.control_count; ++j) {
      if (!matched[j]) {
        control_change("added", field_text(b_.setup.controls[j].ctrl_name),
                       where(b_, b_.control_lines.at(j)));
      }
    }
  }

  void control_change(const char* kind, const std::string& name,
                      const std::string& at) {
    out_.same = false;
    out_.text += std::string(kind[0] == 'a' ? "+ " : "- ") + "control " +
                 quoted(name) + "  (" + at + ")\n";
    out_.json["controls"].push_back(
        {{"name", escape_text(name)}, {"change", kind}, {"at", at}});
  }

  void compare_control(const std::string& name, std::uint32_t i,
                       std::uint32_t j) {
    const control_entry& x = a_.setup.controls[i];
    const control_entry& y = b_.setup.controls[j];
    std::string text;
    nlohmann::ordered_json fields = nlohmann::ordered_json::array();
    const auto n = [](auto v) { return std::to_string(v); };
    const auto code = [](const char* c) {
      return c == nullptr ? std::string("(none)") : quoted(c);
    };
    field("MIN_VALUE", n(x.min_value), n(y.min_value), text, fields);
    field("MAX_VALUE", n(x.max_value), n(y.max_value), text, fields);
    field("STEP", n(x.step), n(y.step), text, fields);
    field("DEF", n(x.def), n(y.def), text, fields);
    field("FUNC_NAME", quoted(field_text(x.func_name)),
          quoted(field_text(y.func_name)), text, fields);
    field("code", code(x.code), code(y.code), text, fields);
    if (text.empty()) return;
    out_.text += "control " + quoted(name) + "  (" +
                 where(a_, a_.control_lines.at(i)) + ", " +
                 where(b_, b_.control_lines.at(j)) + ")\n" + text;
    out_.json["controls"].push_back({{"name", escape_text(name)},
                                     {"change", "changed"},
                                     {"fields", fields}});
  }

  const parsed_file& a_;
  const parsed_file& b_;
  record_diff out_;
};

}  // namespace

record_diff diff_records(const parsed_file& a, const parsed_file& b) {
  return differ(a, b).run();
}

}  // namespace quorlen_tool
