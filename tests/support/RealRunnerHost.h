// The recording driver host with the real encoder runner, for the tests and
// benches whose batches run evc.exe itself.
#pragma once

#include "AdvanceSystem.h"
#include "DriverDoubles.h"

namespace tarquel::test {

struct RealRunnerHost : RecordingDriverHost {
  using RecordingDriverHost::RecordingDriverHost;
  std::unique_ptr<IEncoderRun> StartEncoder(const std::string& encoder, const std::string& command,
                                            std::function<void(const std::string&)> onChunk,
                                            std::function<void()> onFinished) override {
    return platform::StartEncoderRun(encoder, command, std::move(onChunk), std::move(onFinished));
  }
};

}  // namespace tarquel::test
