#include "input/load.h"

#include <cstdio>
#include <new>

#include "input/diagnostics.h"
#include "input/source_map.h"
#include "quorlen_core.h"

namespace quorlen_tool {

namespace {

// Passes every event to the library's handler and notes what it added.
class watch {
 public:
  watch(const source_map& map, entries_go where, loaded_file& file)
      : map_(map),
        file_(file),
        setup_(&file.record, where == entries_go::list ? entry : nullptr, this,
               where == entries_go::record) {}

  static int handle(void* self, const char* section, const char* name,
                    const char* value) {
    return static_cast<watch*>(self)->event(section, name, value);
  }
  static void line(void* self, const quorlen::line_facts& facts) {
    auto* w = static_cast<watch*>(self);
    w->library_line_ = facts.number;
    w->start_ = static_cast<std::size_t>(facts.start - facts.buffer);
  }
  static void fault(void* self, const quorlen::fault& f) {
    static_cast<watch*>(self)->note(f);
  }

  // A record whose entries went elsewhere has none.
  void finish() { setup_.finish(); }

 private:
  // The engine is built without exceptions, so none may cross it: a
  // failure is kept and raised once the parse is over.
  int event(const char* section, const char* name, const char* value) {
    camera_setup& record = file_.record;
    const std::uint32_t controls = record.control_count;
    const int accepted = setup_.event(section, name, value);
    try {
      if (record.control_count > controls) {
        file_.control_lines.push_back(map_.editor_line(library_line_));
      }
    } catch (const std::bad_alloc&) {
      failed_ = true;
    }
    return accepted;
  }

  // Each entry goes to the compact list with its line.
  static void entry(void* self, const register_entry& e) {
    auto* w = static_cast<watch*>(self);
    try {
      w->file_.entries.add(e, w->map_.editor_line(w->library_line_));
    } catch (const std::bad_alloc&) {
      w->failed_ = true;
    }
  }

  void note(const quorlen::fault& f) {
    try {
      const source_map::piece at = map_.piece_at(f.line);
      const std::size_t start = f.line == library_line_ ? start_ : 0;
      file_.faults.push_back(
          {f.kind, at.line, f.line, static_cast<int>(at.column0 + start + 1),
           f.block_line > 0 ? map_.editor_line(f.block_line) : 0, f.text,
           at.column0 > 0});
    } catch (const std::bad_alloc&) {
      failed_ = true;
    }
  }

  const source_map& map_;
  loaded_file& file_;
  quorlen::setup_watch setup_;
  int library_line_ = 0;
  std::size_t start_ = 0;  // the line's text after its white space

 public:
  bool failed_ = false;
};

}  // namespace

int parse_bytes(std::string_view bytes, quorlen::entry_handler handler,
                void* user, quorlen::parse_observer* observer) {
  const int result =
      quorlen::parse_bytes(bytes.data(), bytes.size(), handler, user, observer);
  if (result < 0) throw std::bad_alloc();
  return result;
}

loaded_file::~loaded_file() { quorlen::release_setup(record); }

void load(std::string_view bytes, entries_go where, loaded_file& file) {
  const source_map map(bytes);
  watch watcher(map, where, file);
  quorlen::parse_observer observer{watch::fault, &watcher, watch::line};
  file.result = parse_bytes(bytes, watch::handle, &watcher, &observer);
  watcher.finish();
  if (watcher.failed_) throw std::bad_alloc();
}

std::string describe(const fault_note& f) {
  quorlen::fault as_read{f.kind, f.line, f.block_line, f.text.c_str()};
  std::string reason = fault_reason(as_read);
  const std::string counted = std::to_string(f.library_line);
  if (f.later_piece) {
    reason += " (in the library's line " + counted + ": it reads this line " +
              std::to_string(LINE_ROOM) + " characters at a time)";
  } else if (f.library_line != f.line) {
    reason += " (the library counts this line as " + counted + ")";
  }
  return reason;
}

void print_faults(const loaded_file& file) {
  for (const fault_note& f : file.faults) {
    std::fprintf(stderr, "%s:%d: %s\n", escape_text(file.name).c_str(), f.line,
                 describe(f).c_str());
    if (!f.text.empty()) {
      std::fprintf(stderr, "    %s\n", escape_text(f.text, true).c_str());
    }
  }
}

}  // namespace quorlen_tool
