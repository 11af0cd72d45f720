#include "commands/tool.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "input/diagnostics.h"

namespace quorlen_tool {

namespace {

// All of a stream; false with errno set when a read fails.
bool read_all(std::FILE* stream, std::string& bytes) {
  struct stat info;
  if (fstat(fileno(stream), &info) == 0 && S_ISREG(info.st_mode) &&
      info.st_size > 0) {
    bytes.reserve(static_cast<std::size_t>(info.st_size));
  }
  char block[65536];
  std::size_t got;
  while ((got = std::fread(block, 1, sizeof block, stream)) > 0) {
    bytes.append(block, got);
  }
  return std::ferror(stream) == 0;
}

}  // namespace

void add_stdin_name(CLI::App& app, std::string& name) {
  app.add_option("--stdin-filename", name,
                 "The name to show for standard input ('-')")
      ->capture_default_str();
}

bool read_input(const std::string& path, const std::string& stdin_name,
                input& in) {
  errno = 0;
  bool ok;
  if (path == "-") {
    in.name = stdin_name;
    ok = read_all(stdin, in.bytes);
  } else {
    in.name = path;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ok = file != nullptr && read_all(file, in.bytes);
    const int error = errno;
    if (file != nullptr) std::fclose(file);
    errno = error;
  }
  if (!ok) {
    trouble(in.name, std::string("cannot read: ") +
                         std::strerror(errno != 0 ? errno : EIO));
  }
  return ok;
}

void add_walk_globs(CLI::App& app, walk_globs& globs) {
  app.add_option("--include", globs.include,
                 "In a folder, the files to read: a glob matched against a "
                 "file's name, or with '/' against its path below the folder "
                 "(the default *.cfg); may be given again")
      ->type_name("GLOB");
  app.add_option("--exclude", globs.exclude,
                 "In a folder, files and folders to leave out, matched as "
                 "--include is; may be given again")
      ->type_name("GLOB");
}

bool walked(const std::vector<std::string>& paths, const walk_globs& globs,
            std::vector<std::string>& files) {
  std::string why;
  if (walk_paths(paths, globs, files, why)) return true;
  std::fprintf(stderr, "quorlen-config: %s\n", escape_text(why).c_str());
  return false;
}

bool stdin_once(const std::vector<std::string>& paths) {
  int count = 0;
  for (const std::string& path : paths) count += path == "-";
  if (count <= 1) return true;
  std::fprintf(stderr,
               "quorlen-config: standard input ('-') can be read only once\n");
  return false;
}

int trouble(const std::string& what, const std::string& why) {
  std::fprintf(stderr, "quorlen-config: %s: %s\n", escape_text(what).c_str(),
               escape_text(why).c_str());
  return EXIT_TROUBLE;
}

int written(int status) {
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    return trouble("standard output", std::strerror(errno != 0 ? errno : EIO));
  }
  return status;
}

}  // namespace quorlen_tool
