// An owned handle of the system that can be handed down to a child
// process: a file descriptor on POSIX, a HANDLE's value on Windows (whose
// handle values fit 32 bits, so that they pass between processes). Closed
// when its owner goes; -1 is none.
#pragma once

#include <cstddef>
#include <utility>

namespace tarquel::platform {

// Closes a handle's value of this system.
void CloseNativeHandle(int handle);

class NativeHandle {
 public:
  NativeHandle() = default;
  explicit NativeHandle(int handle) : H_(handle) {}
  NativeHandle(NativeHandle&& other) noexcept : H_(std::exchange(other.H_, -1)) {}
  NativeHandle& operator=(NativeHandle&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.H_, -1));
    return *this;
  }
  NativeHandle(const NativeHandle&) = delete;
  NativeHandle& operator=(const NativeHandle&) = delete;
  ~NativeHandle() { Reset(); }

  int Get() const { return H_; }
  bool Valid() const { return H_ != -1; }
  void Reset(int handle = -1) {
    if (H_ != -1) CloseNativeHandle(H_);
    H_ = handle;
  }

 private:
  int H_ = -1;
};

// In a child started by TChildProcess::Start: the handle it was handed as
// number `index` (0 for the first); -1 when it was handed none there.
int HandedDownHandle(std::size_t index);

}  // namespace tarquel::platform
