// What the preview needs of the system to decode and draw in a process of
// its own: a child program started with a message channel and a block of
// shared memory handed down, ended and reaped by its parent alone; the
// child's side of the tie (it dies with the window); the channel's reads and
// writes; the child's resident memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "NativeHandle.h"

namespace tarquel::platform {

// A block of memory two processes map: made by the parent, mapped again by
// the child from the handle it was handed.
class TSharedMemory {
 public:
  TSharedMemory() = default;
  // A fresh zero-filled block whose size no one can change; raises
  // std::system_error when none can be made.
  static TSharedMemory Create(std::size_t size);
  // Maps the block behind the handle `fd` (adopted); raises std::system_error.
  static TSharedMemory Map(int fd, std::size_t size);
  TSharedMemory(TSharedMemory&& other) noexcept;
  TSharedMemory& operator=(TSharedMemory&& other) noexcept;
  TSharedMemory(const TSharedMemory&) = delete;
  TSharedMemory& operator=(const TSharedMemory&) = delete;
  ~TSharedMemory();

  void* Data() const { return Data_; }
  std::size_t Size() const { return Size_; }
  int Fd() const { return Fd_.Get(); }

 private:
  void MapAll(std::size_t size);
  void Release();
  NativeHandle Fd_;
  void* Data_ = nullptr;
  std::size_t Size_ = 0;
};

// One end of a two-way byte stream between the window and its child.
class TChannel {
 public:
  TChannel() = default;
  explicit TChannel(NativeHandle fd) : Fd_(std::move(fd)) {}
  // Both ends of a fresh channel.
  static std::pair<TChannel, TChannel> MakePair();

  bool Valid() const { return Fd_.Valid(); }
  int Fd() const { return Fd_.Get(); }
  void Close() { Fd_.Reset(); }
  NativeHandle Release() { return std::move(Fd_); }

  // Writes all of `bytes`; false when the other end is gone (never raises
  // SIGPIPE).
  bool Send(const std::string& bytes);
  // Appends what is waiting, without blocking: the bytes read, 0 when the
  // other end has closed, -1 when nothing is waiting.
  long Receive(std::string& into);
  // Waits up to `ms` for bytes or the other end's close; true when either.
  bool WaitReadable(int ms);

 private:
  NativeHandle Fd_;
};

// A child program of ours. Ending it (SIGKILL, TerminateProcess) and reaping
// it only ever address its own process (its id, or its process handle where
// the system has one).
class TChildProcess {
 public:
  TChildProcess() = default;
  // Starts `program` with `args`; the child finds the `handDown` handles
  // with HandedDownHandle(0), (1), ... (on POSIX they become descriptors 3,
  // 4, ...; on Windows they are inherited and their values listed in the
  // child's environment; there a `program` named without an extension is
  // its .exe). Raises std::system_error when it cannot be started.
  static TChildProcess Start(const std::string& program, const std::vector<std::string>& args,
                             const std::vector<int>& handDown);
  TChildProcess(TChildProcess&& other) noexcept;
  TChildProcess& operator=(TChildProcess&& other) noexcept;
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;
  // Kills a child still running and reaps it.
  ~TChildProcess();

  int Pid() const { return Pid_; }
  bool Started() const { return Pid_ > 0; }
  // Reaps the child if it has ended; true once it has.
  bool Ended();
  // Waits up to `ms` for the child to end by itself; true when it did.
  bool WaitEnded(int ms);
  // Ends the child at once and reaps it.
  void Kill();
  // How it ended: its exit code, or 128 plus the signal's number.
  int ExitStatus() const { return Status_; }
  // The same in words, e.g. "signal 8 (Floating point exception)".
  std::string HowItEnded() const;
  // Resident memory and CPU time (user plus system) of the running child;
  // 0 when it cannot be read.
  std::size_t ResidentBytes() const;
  double CpuSeconds() const;

 private:
  void Reap(int status);
  // The process's own handle, where the system has such (Windows).
  NativeHandle Process_;
  int Pid_ = 0;
  bool Reaped_ = false;
  int Status_ = -1;
};

// Called by the child program first of all: ties its life to the parent
// `parentPid` (it is killed when the parent ends). False when that parent
// has already gone.
bool TieToParent(int parentPid);

// This process's id.
int CurrentProcessId();

}  // namespace tarquel::platform
