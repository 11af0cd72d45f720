#include "input/file_walk.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quorlen_tool {

namespace {

constexpr const char* DEFAULT_INCLUDE = "*.cfg";

bool matches(const std::vector<std::string>& globs, const std::string& name,
             const std::string& below) {
  for (const std::string& glob : globs) {
    const bool whole = glob.find('/') != std::string::npos;
    if (fnmatch(glob.c_str(), whole ? below.c_str() : name.c_str(),
                whole ? FNM_PATHNAME : 0) == 0) {
      return true;
    }
  }
  return false;
}

// The files below folder (shown as shown, below the walked one as below),
// appended in order.
bool walk(const std::string& folder, const std::string& shown,
          const std::string& below, const walk_globs& globs,
          std::vector<std::string>& files, std::string& why) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    why = shown + ": cannot read: " + std::strerror(errno);
    return false;
  }
  std::vector<std::string> names;
  errno = 0;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
  }
  const int error = errno;
  closedir(dir);
  if (error != 0) {
    why = shown + ": cannot read: " + std::strerror(error);
    return false;
  }
  std::sort(names.begin(), names.end());
  static const std::vector<std::string> default_include = {DEFAULT_INCLUDE};
  const std::vector<std::string>& include =
      globs.include.empty() ? default_include : globs.include;
  for (const std::string& name : names) {
    const std::string path = folder + "/" + name;
    const std::string here = below.empty() ? name : below + "/" + name;
    const std::string as_shown = shown.empty() ? name : shown + "/" + name;
    if (matches(globs.exclude, name, here)) continue;
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) continue;  // gone meanwhile
    if (S_ISDIR(info.st_mode)) {
      if (!walk(path, as_shown, here, globs, files, why)) return false;
    } else if (matches(include, name, here)) {
      files.push_back(as_shown);
    }
  }
  return true;
}

}  // namespace

bool walk_paths(const std::vector<std::string>& paths, const walk_globs& globs,
                std::vector<std::string>& files, std::string& why) {
  for (const std::string& path : paths) {
    struct stat info;
    if (path == "-" || stat(path.c_str(), &info) != 0 ||
        !S_ISDIR(info.st_mode)) {
      files.push_back(path);
      continue;
    }
    std::string folder = path;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    // The files of "." are shown as their paths below it.
    if (!walk(folder, folder == "." ? "" : folder, "", globs, files, why)) {
      return false;
    }
  }
  return true;
}

}  // namespace quorlen_tool
