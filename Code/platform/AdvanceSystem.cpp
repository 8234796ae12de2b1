#include "AdvanceSystem.h"

namespace tarquel::platform {

TAdvanceSystem::TAdvanceSystem(std::string commandLine, ChunkCallback onChunk, RunProcess runProcess,
                               FinishedCallback onFinished, std::string programPath)
    : CommandLine(std::move(commandLine)),
      OnChunk(std::move(onChunk)),
      RunProcess_(std::move(runProcess)),
      OnFinished_(std::move(onFinished)) {
  if (RunProcess_) {
    // A body of the caller's tells only whether it started.
    RunProcess_ = [body = std::move(RunProcess_), this](const std::string& line, const ChunkCallback& chunk) {
      const bool started = body(line, chunk);
      ExitStatus_ = started ? 0 : -1;
      return started;
    };
  } else {
    RunProcess_ = [this, programPath = std::move(programPath)](const std::string& line, const ChunkCallback& chunk) {
      EncoderRunOptions options;
      options.programPath = programPath;
      options.exitStatus = &ExitStatus_;
      options.endSignal = &EndSignal_;
      return RunEncoderProcess(line, chunk, options);
    };
  }
}

TAdvanceSystem::~TAdvanceSystem() {
  if (Thread_.joinable()) Thread_.join();
}

void TAdvanceSystem::Start() {
  if (!Thread_.joinable() && !Finished()) Thread_ = std::thread(&TAdvanceSystem::Execute, this);
}

void TAdvanceSystem::Execute() {
  const ChunkCallback deliver = OnChunk ? OnChunk : ChunkCallback([](const std::string&) {});
  const bool started = RunProcess_(CommandLine, deliver);
  if (OnFinished_) OnFinished_(started);
  Finished_.store(true, std::memory_order_release);
}

}  // namespace tarquel::platform
