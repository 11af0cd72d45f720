#include "lint/binding_choice.h"

#include <sys/stat.h>

#include "input/diagnostics.h"

namespace quorlen_tool {

std::shared_ptr<const binding> binding_store::load(const std::string& path,
                                                   const std::string& folder) {
  struct stat st {};
  const bool present = ::stat(path.c_str(), &st) == 0;
  entry now;
  now.present = present;
  if (present) {
    now.seconds = static_cast<long long>(st.st_mtim.tv_sec);
    now.nanoseconds = static_cast<long long>(st.st_mtim.tv_nsec);
    now.size = static_cast<long long>(st.st_size);
  }
  auto it = loaded_.find(path);
  const bool same = it != loaded_.end() && it->second.present == now.present &&
                    it->second.size == now.size &&
                    it->second.seconds == now.seconds &&
                    it->second.nanoseconds == now.nanoseconds;
  if (!same) {
    // A binding that fails is remembered too: it is not read again until
    // its file changes.
    try {
      now.loaded = load_binding(path, folder);
    } catch (const binding_error& e) {
      now.error = e.what();
    }
    it = loaded_.insert_or_assign(path, std::move(now)).first;
  }
  if (it->second.loaded == nullptr) throw binding_error(it->second.error);
  return it->second.loaded;
}

file_bindings binding_store::for_file(const binding_sources& sources,
                                      const std::string& path,
                                      const std::string& bytes,
                                      bool list_unread) {
  file_bindings out;
  const auto add = [&](const std::string& file, bool named, std::string why) {
    std::shared_ptr<const binding> b;
    try {
      b = load(file, sources.folder);
    } catch (const binding_error& e) {
      if (!list_unread) throw;
      out.unread.push_back(e.what());
      return;
    }
    for (const applied_binding& a : out.applied) {
      if (a.rules == b.get()) return;
    }
    out.applied.push_back({b.get(), named});
    out.why.push_back(std::move(why));
    out.held.push_back(std::move(b));
  };
  for (const std::string& file : sources.files) {
    add(file, true, "given with --binding");
  }
  if (const auto named = binding_named_in(bytes)) {
    bool inside = false;
    const std::string where =
        named_binding_path(path == "-" ? "./-" : path, named->path, &inside);
    if (inside || sources.allow_outside) {
      add(where, true,
          "named in the file at line " + std::to_string(named->line));
    } else {
      out.refused.push_back(
          {named->line, named->column, static_cast<int>(named->path.size()),
           "the binding " + in_quotes(named->path) +
               " lies outside the file's folder, so it is not applied (" +
               sources.allow_hint + ")"});
    }
  }
  if (!sources.folder.empty()) {
    std::vector<std::string> files;
    try {
      files = binding_files(sources.folder);
    } catch (const binding_error& e) {
      if (!list_unread) throw;
      out.unread.push_back(e.what());
    }
    for (const std::string& file : files) {
      add(file, false,
          "in " + escape_text(sources.folder) +
              ", and its select matches the record");
    }
  }
  return out;
}

}  // namespace quorlen_tool
