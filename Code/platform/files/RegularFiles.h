// Opening media files safely: a FIFO, device or folder with a media name
// must never block or be written through, and an output path that is a
// symbolic link is never followed.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace tarquel::media {

// The empty text when `path` is a regular file this process can read;
// otherwise one line saying why not. Opened without waiting, so a FIFO
// without a writer (or a device) never blocks the caller.
inline std::string RegularFileProblem(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return "cannot open " + path + ": " + std::strerror(errno);
  struct stat st {};
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  ::close(fd);
  return regular ? std::string() : path + " is not a regular file";
}

// Opens an output file for writing: created when missing, emptied when it
// exists and `replace` holds, refused when it exists otherwise. A symbolic
// link at `path`, and anything but a regular file, is refused too. Returns
// the descriptor, or -1 with `error` set to one line.
inline int OpenOutputFile(const std::string& path, bool replace, std::string& error) {
  const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (replace ? 0 : O_EXCL);
  const int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) {
    error = errno == ELOOP ? path + " is a symbolic link" : "cannot create " + path + ": " + std::strerror(errno);
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    error = path + " is not a regular file";
    return -1;
  }
  // Emptied only now that it is known to be a plain file.
  if (replace && ::ftruncate(fd, 0) != 0) {
    error = "cannot create " + path + ": " + std::strerror(errno);
    ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

}  // namespace tarquel::media
