#include "RegularFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarquel::platform {

std::string RegularFileProblem(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return "cannot open " + path + ": " + std::strerror(errno);
  struct stat st {};
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  ::close(fd);
  return regular ? std::string() : path + " is not a regular file";
}

int OpenOutputFile(const std::string& path, bool replace, std::string& error) {
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

}  // namespace tarquel::platform
