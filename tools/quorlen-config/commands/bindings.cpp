#include "commands/bindings.h"

#include "input/diagnostics.h"

namespace quorlen_tool {

void add_binding_flags(CLI::App& app, binding_flags& flags) {
  app.add_option("--binding", flags.files,
                 "Check the file against this sensor binding (YAML or JSON); "
                 "may be given more than once");
  app.add_option("--bindings", flags.folder,
                 "Check the file against every binding in this folder whose "
                 "select matches its record");
  app.add_flag("--allow-binding-outside", flags.allow_outside,
               "Apply a binding that the file names in a comment even where "
               "it lies outside the file's folder tree");
}

const binding& binding_store::load(const std::string& path,
                                   const std::string& folder) {
  auto it = loaded_.find(path);
  if (it == loaded_.end()) {
    it = loaded_.emplace(path, load_binding(path, folder)).first;
  }
  return *it->second;
}

file_bindings binding_store::for_file(const binding_flags& flags,
                                      const std::string& path,
                                      const std::string& bytes) {
  file_bindings out;
  const auto add = [&](const binding& b, bool named, std::string why) {
    for (const applied_binding& a : out.applied) {
      if (a.rules == &b) return;
    }
    out.applied.push_back({&b, named});
    out.why.push_back(std::move(why));
  };
  for (const std::string& file : flags.files) {
    add(load(file, flags.folder), true, "given with --binding");
  }
  if (const auto named = binding_named_in(bytes)) {
    bool inside = false;
    const std::string where =
        named_binding_path(path == "-" ? "./-" : path, named->path, &inside);
    if (inside || flags.allow_outside) {
      add(load(where, flags.folder), true,
          "named in the file at line " + std::to_string(named->line));
    } else {
      out.refused.push_back(
          {named->line, named->column, static_cast<int>(named->path.size()),
           "the binding " + in_quotes(named->path) +
               " lies outside the file's folder, so it is not applied "
               "(--allow-binding-outside applies it)"});
    }
  }
  if (!flags.folder.empty()) {
    for (const std::string& file : binding_files(flags.folder)) {
      add(load(file, flags.folder), false,
          "in " + escape_text(flags.folder) +
              ", and its select matches the record");
    }
  }
  return out;
}

}  // namespace quorlen_tool
