// The runner's ways that are POSIX's own: reaping, signals, the death of the
// launching process.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>
#include <tuple>

#include "EncoderProcess.h"
#include "EncoderRuns.h"

namespace tarquel::platform {
namespace {

using namespace test_runs;

TEST(EncoderProcess, TheChildIsReaped) {
  const EncoderRun run = RunEncoder(kEncoder + " pid");
  const pid_t pid = std::stoi(run.Joined());
  EXPECT_EQ(::kill(pid, 0), -1);
  EXPECT_EQ(errno, ESRCH);
}

TEST(EncoderProcess, TellsASignalFromAnExitStatus) {
  for (const auto& [line, status, signal] : {std::tuple{" raise 9", 137, 9}, std::tuple{" raise 15", 143, 15},
                                             std::tuple{" status 1", 0, 0}}) {
    EncoderRunOptions options;
    int exitStatus = -1, endSignal = -1;
    options.exitStatus = &exitStatus;
    options.endSignal = &endSignal;
    ASSERT_TRUE(RunEncoder(kEncoder + line, options).started) << line;
    EXPECT_EQ(exitStatus, status) << line;
    EXPECT_EQ(endSignal, signal) << line;
  }
}

// A process that is gone, or a zombie nobody has reaped yet.
bool Ended(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), {});
  const auto close = text.rfind(')');
  return text.empty() || (close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'Z');
}

TEST(EncoderProcess, TheEncoderEndsWithTheProgramThatStartedIt) {
  // A launcher of our own, ended by SIGKILL while its encoder runs.
  int ids[2];
  ASSERT_EQ(::pipe(ids), 0);
  const pid_t launcher = ::fork();
  ASSERT_GE(launcher, 0);
  if (launcher == 0) {
    ::close(ids[0]);
    RunEncoderProcess(kEncoder + " guarded", [&](const std::string& chunk) {
      if (::write(ids[1], chunk.data(), chunk.size()) < 0) ::_exit(2);
    });
    ::_exit(0);
  }
  ::close(ids[1]);
  char text[32] = {};
  ASSERT_GT(::read(ids[0], text, sizeof text - 1), 0);
  ::close(ids[0]);
  const pid_t encoder = std::atoi(text);
  ASSERT_GT(encoder, 0);
  EXPECT_FALSE(Ended(encoder));
  ::kill(launcher, SIGKILL);
  ::waitpid(launcher, nullptr, 0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!Ended(encoder) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(Ended(encoder));
  if (!Ended(encoder)) ::kill(encoder, SIGKILL);
}

}  // namespace
}  // namespace tarquel::platform
