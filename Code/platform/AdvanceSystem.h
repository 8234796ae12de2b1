// TAdvanceSystem: the worker thread that runs one encoder process.
//
// Created suspended; its owner starts it and releases it, and releasing
// waits until the body has returned. One runner serves one command line.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "EncoderProcess.h"
#include "JobDriver.h"

namespace tarquel::platform {

class TAdvanceSystem {
 public:
  // What the body runs; RunEncoderProcess unless a test hands in another
  // (whose run then counts as a success when it started).
  using RunProcess = std::function<bool(const std::string& commandLine, const ChunkCallback& onChunk)>;
  // Called on the worker thread right before the body returns, with the
  // run's result (false: the encoder could not be started).
  using FinishedCallback = std::function<void(bool started)>;

  // `programPath`, when given, is the program the command line begins with,
  // exactly as written there; the runner then starts that program and does
  // not guess where its path ends.
  TAdvanceSystem(std::string commandLine, ChunkCallback onChunk, RunProcess runProcess = nullptr,
                 FinishedCallback onFinished = nullptr, std::string programPath = {});
  // Release: waits for the body to return.
  ~TAdvanceSystem();
  TAdvanceSystem(const TAdvanceSystem&) = delete;
  TAdvanceSystem& operator=(const TAdvanceSystem&) = delete;

  // Lets the thread run; a second call does nothing.
  void Start();
  // True once the body has returned.
  bool Finished() const { return Finished_.load(std::memory_order_acquire); }
  // How the encoder ended (its exit code, or 128 plus the signal that ended
  // it); -1 when it did not start. Read it from
  // the finished callback or once Finished() holds.
  int ExitStatus() const { return ExitStatus_; }
  // The signal that ended the encoder; 0 when it exited by itself.
  int EndSignal() const { return EndSignal_; }

  const std::string CommandLine;
  const ChunkCallback OnChunk;

 private:
  void Execute();

  RunProcess RunProcess_;
  int ExitStatus_ = -1;
  int EndSignal_ = 0;
  FinishedCallback OnFinished_;
  std::atomic<bool> Finished_{false};
  std::thread Thread_;
};

// Starts the real encoder of a batch: a runner for `command`, which begins
// with the program `encoder`, released (waited for) with the returned run.
// `onFinished` is called once, on the runner's thread, when it is done.
std::unique_ptr<IEncoderRun> StartEncoderRun(const std::string& encoder, const std::string& command,
                                             ChunkCallback onChunk, std::function<void()> onFinished);

}  // namespace tarquel::platform
