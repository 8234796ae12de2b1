#include "DurableFiles.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

namespace tarquel::platform {

bool SyncFileToDisk(std::FILE* file) { return ::fsync(::fileno(file)) == 0; }

bool SyncFolderToDisk(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  return ::close(fd) == 0 && ok;
}

bool ReplaceFileDurably(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return false;
  const auto slash = to.rfind('/');
  SyncFolderToDisk(slash == std::string::npos ? "." : slash == 0 ? "/" : to.substr(0, slash));
  return true;
}

}  // namespace tarquel::platform
