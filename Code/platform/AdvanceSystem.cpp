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

namespace {

struct TEncoderRun : IEncoderRun {
  TEncoderRun(const std::string& encoder, const std::string& command, ChunkCallback onChunk,
              std::function<void()> onFinished)
      : Runner(command, std::move(onChunk), nullptr, [done = std::move(onFinished)](bool) { done(); }, encoder) {
    Runner.Start();
  }
  int ExitStatus() const override { return Runner.ExitStatus(); }
  int EndSignal() const override { return Runner.EndSignal(); }
  TAdvanceSystem Runner;
};

}  // namespace

std::unique_ptr<IEncoderRun> StartEncoderRun(const std::string& encoder, const std::string& command,
                                             ChunkCallback onChunk, std::function<void()> onFinished) {
  return std::make_unique<TEncoderRun>(encoder, command, std::move(onChunk), std::move(onFinished));
}

}  // namespace tarquel::platform
