#include "DiskSync.h"

#include <atomic>

namespace tarquel {

namespace {

std::atomic<bool (*)(std::FILE*)> gFileSync{nullptr};
std::atomic<bool (*)(const std::string&)> gFolderSync{nullptr};

}  // namespace

void InstallDiskSync(const TDiskSync& sync) {
  gFileSync = sync.File;
  gFolderSync = sync.Folder;
}

bool PutFileOnDisk(std::FILE* file) {
  const auto sync = gFileSync.load();
  return sync == nullptr || sync(file);
}

bool PutFolderOnDisk(const std::string& folder) {
  const auto sync = gFolderSync.load();
  return sync == nullptr || sync(folder);
}

}  // namespace tarquel
