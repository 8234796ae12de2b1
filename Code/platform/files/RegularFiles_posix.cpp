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

int WriteToFile(int fd, const void* data, std::size_t size) {
  const char* at = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = ::write(fd, at, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    at += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

int SeekInFile(int fd, std::int64_t offset, int whence, std::int64_t& position) {
  const off_t at = ::lseek(fd, static_cast<off_t>(offset), whence);
  if (at < 0) return errno;
  position = at;
  return 0;
}

int CloseFile(int fd) {
  // The descriptor is freed even when close reports an error.
  return ::close(fd) == 0 ? 0 : errno;
}

}  // namespace tarquel::platform
