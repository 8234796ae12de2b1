// How long RunEncoderProcess takes from the encoder's end to its own
// return: once with an encoder that was quiet (the runner idles on the
// pipe) and once with one that wrote status text until the end (the runner
// is in its half-second pause after a chunk). Prints median and worst case.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "EncoderProcess.h"
#include "ProgramFolder.h"

namespace {

long long MonotonicNs() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000000000LL + now.tv_nsec;
}

double ExitToReturnMs(const std::string& encoder, int statusLines) {
  std::string last;
  tarquel::platform::RunEncoderProcess(encoder + " " + std::to_string(statusLines),
                                       [&](const std::string& chunk) { last = chunk; });
  const long long returned = MonotonicNs();
  const auto at = last.find("end=");
  if (at == std::string::npos) return -1;
  return (returned - std::stoll(last.substr(at + 4))) / 1e6;
}

}  // namespace

int main() {
  const std::string encoder = tarquel::platform::ExecutableFolder() + "bench_encoder";
  constexpr int kRuns = 15;
  std::printf("%-34s %10s %10s\n", "exit to return", "median ms", "worst ms");
  for (const int statusLines : {0, 7}) {
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i) ms.push_back(ExitToReturnMs(encoder, statusLines));
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s %10.2f %10.2f\n", statusLines ? "encoder writing until its end" : "quiet encoder", ms[kRuns / 2],
                ms.back());
  }
  return 0;
}
