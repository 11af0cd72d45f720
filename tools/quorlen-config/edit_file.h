// Reading an input whole and replacing a file whole, so that an edit is
// either done or not done.
#ifndef QUORLEN_EDIT_FILE_H
#define QUORLEN_EDIT_FILE_H

#include <string>

namespace quorlen_tool {

// The whole of a file, or of standard input for "-"; false with errno set.
bool read_whole_input(const std::string& path, std::string& bytes);

// Replaces the file at path with bytes: a temporary file in the same
// folder, given the file's mode (and owner, where that is allowed), synced,
// then renamed over it.  A symbolic link is followed, so it stays a link.
// Returns why it failed, or an empty text; on failure the file is as it was
// and no temporary file is left.
std::string replace_file(const std::string& path, const std::string& bytes);

}  // namespace quorlen_tool

#endif
