#include "DurableFiles.h"

#include <fcntl.h>
#include <unistd.h>

namespace tarquel::platform {

bool SyncFileToDisk(std::FILE* file) { return ::fsync(::fileno(file)) == 0; }

bool SyncFolderToDisk(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  return ::close(fd) == 0 && ok;
}

}  // namespace tarquel::platform
