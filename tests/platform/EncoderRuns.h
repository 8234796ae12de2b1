// Running the stand-in encoder through the runner, for the runner's tests.
#pragma once

#include <string>
#include <vector>

#include "EncoderProcess.h"

namespace tarquel::platform::test_runs {

// The stand-in encoder, named by its full path with a blank in it and not
// quoted, the way the program writes encoder command lines.
inline const std::string kEncoder = TEST_PROGRAM_DIR "fake_encoder" TEST_EXE_SUFFIX;

struct EncoderRun {
  bool started = false;
  std::vector<std::string> chunks;
  std::string Joined() const {
    std::string all;
    for (const auto& c : chunks) all += c;
    return all;
  }
};

inline EncoderRun RunEncoder(const std::string& commandLine, const EncoderRunOptions& options = {}) {
  EncoderRun run;
  run.started = RunEncoderProcess(commandLine, [&](const std::string& chunk) { run.chunks.push_back(chunk); }, options);
  return run;
}

}  // namespace tarquel::platform::test_runs
