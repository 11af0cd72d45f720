// The files a command is given: a folder stands for the configuration
// files below it, found in a stable order.
#ifndef QUORLEN_FILE_WALK_H
#define QUORLEN_FILE_WALK_H

#include <string>
#include <vector>

namespace quorlen_tool {

// Which files of a folder count.  A glob without '/' is matched against a
// file's or folder's name, one with '/' against its path below the folder
// walked (fnmatch, '*' not crossing '/').
struct walk_globs {
  std::vector<std::string> include;  // empty: "*.cfg"
  std::vector<std::string> exclude;  // files, and folders not entered
};

// The paths as given, each folder replaced by the files below it that an
// include glob and no exclude glob match: each folder's names in byte
// order, a folder's files where its name sorts; hidden folders (a name starting
// with '.') and links to folders are not entered.  A path that is no folder,
// "-" among them, stays as it is. False, with why, when a folder cannot be
// read.
bool walk_paths(const std::vector<std::string>& paths, const walk_globs& globs,
                std::vector<std::string>& files, std::string& why);

}  // namespace quorlen_tool

#endif
