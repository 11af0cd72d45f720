// Replacing a file whole, so that an edit is either done or not done.
#ifndef QUORLEN_EDIT_FILE_H
#define QUORLEN_EDIT_FILE_H

#include <string>

namespace quorlen_tool {

// Replaces the file at path with bytes: a temporary file in the same
// folder, given the file's mode (and owner, where that is allowed), synced,
// then renamed over it.  A symbolic link is followed, so it stays a link.
// A file that does not exist yet is made the same way, with the mode that
// a new file gets.
// Returns why it failed, or an empty text; on failure the file is as it was
// and no temporary file is left.
std::string replace_file(const std::string& path, const std::string& bytes);

// Puts an edited input back: for "-" the whole text on standard output,
// changed or not; otherwise the file replaced as above when the text
// changed.  Returns why it failed, or an empty text.
std::string write_back(const std::string& path, const std::string& before,
                       const std::string& after);

}  // namespace quorlen_tool

#endif
