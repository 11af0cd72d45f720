#include "input/edit_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quorlen_tool {

namespace {

std::string failed(const char* what, int error) {
  return std::string(what) + ": " + std::strerror(error);
}

// Writes the temporary file and renames it over target; removes it on any
// failure.
std::string write_and_rename(const std::string& target, const struct stat& old,
                             const std::string& bytes) {
  const std::size_t slash = target.rfind('/');
  std::string temp =
      target.substr(0, slash + 1) + "." + target.substr(slash + 1) + ".XXXXXX";
  const int fd = mkstemp(&temp[0]);
  if (fd < 0) return failed("cannot write", errno);
  const auto fail = [&](const char* what, bool open) {
    const int error = errno;
    if (open) close(fd);
    unlink(temp.c_str());
    return failed(what, error);
  };
  // Only a privileged user may give a file away; anyone else keeps it.
  if (old.st_uid != geteuid() || old.st_gid != getegid()) {
    if (fchown(fd, old.st_uid, old.st_gid) != 0) {
      // not allowed: the file becomes this user's, as any editor's would
    }
  }
  // After the owner: a change of owner clears the set-id bits.
  if (fchmod(fd, old.st_mode & 07777) != 0) return fail("cannot write", true);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail("cannot write", true);
    }
    done += static_cast<std::size_t>(n);
  }
  if (fsync(fd) != 0) return fail("cannot write", true);
  if (close(fd) != 0) return fail("cannot write", false);
  if (std::rename(temp.c_str(), target.c_str()) != 0) {
    return fail("cannot replace the file", false);
  }
  // The rename itself is kept once the folder is synced.
  const int folder = open(slash == 0 ? "/" : target.substr(0, slash).c_str(),
                          O_RDONLY | O_DIRECTORY);
  if (folder >= 0) {
    if (fsync(folder) != 0) {
      // the file is in place already; only its durability is in doubt
    }
    close(folder);
  }
  return "";
}

}  // namespace

std::string replace_file(const std::string& path, const std::string& bytes) {
  char* resolved = realpath(path.c_str(), nullptr);
  std::string target;
  struct stat old;
  if (resolved != nullptr) {
    target = resolved;
    std::free(resolved);
    if (stat(target.c_str(), &old) != 0) return failed("cannot write", errno);
    if (!S_ISREG(old.st_mode)) return "cannot write: not a regular file";
  } else if (errno == ENOENT) {
    // A new file, in a folder that must exist: it gets the mode and owner
    // any new file of this process gets.
    target = path.find('/') == std::string::npos ? "./" + path : path;
    const mode_t mask = umask(0);
    umask(mask);
    old = {};
    old.st_mode = 0666 & ~mask;
    old.st_uid = geteuid();
    old.st_gid = getegid();
  } else {
    return failed("cannot write", errno);
  }
  // An interruption half-way would leave the temporary file behind.
  sigset_t quiet, before;
  sigemptyset(&quiet);
  for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&quiet, s);
  sigprocmask(SIG_BLOCK, &quiet, &before);
  std::string why = write_and_rename(target, old, bytes);
  sigprocmask(SIG_SETMASK, &before, nullptr);
  return why;
}

std::string write_back(const std::string& path, const std::string& before,
                       const std::string& after) {
  if (path != "-") return after == before ? "" : replace_file(path, after);
  std::fwrite(after.data(), 1, after.size(), stdout);
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    return failed("cannot write", errno != 0 ? errno : EIO);
  }
  return "";
}

}  // namespace quorlen_tool
