// An owned POSIX file descriptor, closed when its owner goes.
#pragma once

#include <unistd.h>

#include <utility>

namespace tarquel::platform {

class PosixFd {
 public:
  PosixFd() = default;
  explicit PosixFd(int fd) : Fd_(fd) {}
  PosixFd(PosixFd&& other) noexcept : Fd_(std::exchange(other.Fd_, -1)) {}
  PosixFd& operator=(PosixFd&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.Fd_, -1));
    return *this;
  }
  PosixFd(const PosixFd&) = delete;
  PosixFd& operator=(const PosixFd&) = delete;
  ~PosixFd() { Reset(); }

  int Get() const { return Fd_; }
  bool Valid() const { return Fd_ >= 0; }
  void Reset(int fd = -1) {
    if (Fd_ >= 0) ::close(Fd_);
    Fd_ = fd;
  }

 private:
  int Fd_ = -1;
};

}  // namespace tarquel::platform
