// Opening media files safely: a FIFO, device or folder with a media name
// must never block or be written through, and an output path that is a
// symbolic link is never followed.
//
// Paths are UTF-8 on every system. Descriptors are the C runtime's: on
// Windows they are opened in binary mode, so that no byte of a media file
// is translated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>

#include "Utf8Paths.h"

namespace tarquel::platform {

// The empty text when `path` is a regular file this process can read;
// otherwise one line saying why not. Opened without waiting, so a FIFO
// without a writer (or a device) never blocks the caller.
std::string RegularFileProblem(const std::string& path);

// Opens an output file for writing: created when missing, emptied when it
// exists and `replace` holds, refused when it exists otherwise (the check
// and the creation are one step, so that a file made in between is never
// overwritten). A symbolic link at `path`, and anything but a regular file,
// is refused too. Returns a blocking, binary descriptor at the file's
// start, or -1 with `error` set to one line.
int OpenOutputFile(const std::string& path, bool replace, std::string& error);

// Writing through a descriptor from OpenOutputFile. Each returns 0, or the
// errno value of what the system refused (ENOSPC when the disk is full).

// Writes all `size` bytes at the file's position and moves it past them:
// a partial write or an interrupted one is carried on.
int WriteToFile(int fd, const void* data, std::size_t size);
// Moves the file's position to `offset` from `whence` (SEEK_SET, SEEK_CUR
// or SEEK_END of <cstdio>), with 64-bit offsets; `position` is then where
// it is, counted from the file's start.
int SeekInFile(int fd, std::int64_t offset, int whence, std::int64_t& position);
// Closes the descriptor. An error means that what was written may not all
// be in the file.
int CloseFile(int fd);

// A descriptor, closed when its owner goes (unchecked: Close() reports).
class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : Fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : Fd_(std::exchange(other.Fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      Close();
      Fd_ = std::exchange(other.Fd_, -1);
    }
    return *this;
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { Close(); }

  int Get() const { return Fd_; }
  // Closes it now: 0, or CloseFile's error.
  int Close() {
    const int fd = std::exchange(Fd_, -1);
    return fd < 0 ? 0 : CloseFile(fd);
  }

 private:
  int Fd_ = -1;
};

// UTF-8 paths to and from the standard library's (see Utf8Paths.h).
using tarquel::PathOf;
using tarquel::PathText;

}  // namespace tarquel::platform

// The probe and the encoder call them by their media names.
namespace tarquel::media {
using platform::FileDescriptor;
using platform::OpenOutputFile;
using platform::PathOf;
using platform::PathText;
using platform::RegularFileProblem;
}  // namespace tarquel::media
