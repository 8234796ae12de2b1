#include <io.h>

#include "../WinHandle.h"
#include "DurableFiles.h"

namespace tarquel::platform {

bool SyncFileToDisk(std::FILE* file) {
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
  return handle != INVALID_HANDLE_VALUE && ::FlushFileBuffers(handle);
}

// A folder opened as such (backup semantics) and flushed: its entries, and
// so a rename into it, are then on the disk. File systems that keep no
// folder data to flush (FAT) refuse the flush of a folder; that is no fault.
bool SyncFolderToDisk(const std::string& folder) {
  const std::wstring path = win::Utf16(folder);
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  const win::Handle handle(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle.Valid()) return ::GetLastError() == ERROR_ACCESS_DENIED;
  if (::FlushFileBuffers(handle.Get())) return true;
  const DWORD error = ::GetLastError();
  return error == ERROR_INVALID_FUNCTION || error == ERROR_ACCESS_DENIED;
}

bool ReplaceFileDurably(const std::string& from, const std::string& to) {
  return ::MoveFileExW(win::Utf16(from).c_str(), win::Utf16(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace tarquel::platform
