#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <climits>

#include "../WinHandle.h"
#include "RegularFiles.h"

namespace tarquel::platform {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A plain file on a disk: not a device, pipe or console, not a folder, and
// not a reparse point (a symbolic link or a junction) itself.
bool IsRegularFile(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  return ::GetFileType(handle) == FILE_TYPE_DISK && ::GetFileInformationByHandle(handle, &info) &&
         !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

}  // namespace

// Opened for reading with backup semantics, so that a folder opens too and
// is told apart; a busy pipe fails at once rather than waiting.
std::string RegularFileProblem(const std::string& path) {
  const win::Handle handle(::CreateFileW(win::Utf16(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle.Valid()) return "cannot open " + path + ": " + win::ErrorText(::GetLastError());
  BY_HANDLE_FILE_INFORMATION info{};
  const bool regular = ::GetFileType(handle.Get()) == FILE_TYPE_DISK &&
                       ::GetFileInformationByHandle(handle.Get(), &info) &&
                       !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  return regular ? std::string() : path + " is not a regular file";
}

// The link itself is opened (FILE_FLAG_OPEN_REPARSE_POINT), never what it
// points at, and refused; the descriptor is binary.
int OpenOutputFile(const std::string& path, bool replace, std::string& error) {
  win::Handle handle(::CreateFileW(win::Utf16(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                   replace ? OPEN_ALWAYS : CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle.Valid()) {
    error = "cannot create " + path + ": " + win::ErrorText(::GetLastError());
    return -1;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileInformationByHandle(handle.Get(), &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    error = path + " is a symbolic link";
    return -1;
  }
  if (!IsRegularFile(handle.Get())) {
    error = path + " is not a regular file";
    return -1;
  }
  // Emptied only now that it is known to be a plain file.
  if (replace && !::SetEndOfFile(handle.Get())) {
    error = "cannot create " + path + ": " + win::ErrorText(::GetLastError());
    return -1;
  }
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle.Get()), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    error = "cannot create " + path + ": no descriptor left";
    return -1;
  }
  handle.Release();  // the descriptor owns it now
  return fd;
}

// The C runtime's descriptor calls, which map the system's errors (a full
// disk among them) to errno values.
int WriteToFile(int fd, const void* data, std::size_t size) {
  const char* at = static_cast<const char*>(data);
  while (size > 0) {
    const unsigned chunk = size > INT_MAX ? INT_MAX : static_cast<unsigned>(size);
    const int written = ::_write(fd, at, chunk);
    if (written < 0) return errno;
    at += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

int SeekInFile(int fd, std::int64_t offset, int whence, std::int64_t& position) {
  const __int64 at = ::_lseeki64(fd, offset, whence);
  if (at < 0) return errno;
  position = at;
  return 0;
}

int CloseFile(int fd) { return ::_close(fd) == 0 ? 0 : errno; }

}  // namespace tarquel::platform
