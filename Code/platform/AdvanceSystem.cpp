#include "AdvanceSystem.h"

namespace tarquel::platform {

TAdvanceSystem::TAdvanceSystem(std::string commandLine, ChunkCallback onChunk, RunProcess runProcess,
                               FinishedCallback onFinished, std::string programPath)
    : CommandLine(std::move(commandLine)),
      OnChunk(std::move(onChunk)),
      RunProcess_(std::move(runProcess)),
      OnFinished_(std::move(onFinished)) {
  if (!RunProcess_) {
    RunProcess_ = [programPath = std::move(programPath)](const std::string& line, const ChunkCallback& chunk) {
      EncoderRunOptions options;
      options.programPath = programPath;
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
