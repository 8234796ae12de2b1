#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <filesystem>
#include <chrono>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>
#include <thread>
#include <tuple>

#include "AdvanceSystem.h"
#include "EncoderProcess.h"
#include "ProgramFolder.h"
#include "TempDir.h"

namespace tarquel::platform {
namespace {

// The stand-in encoder, named by its full path with a blank in it and not
// quoted, the way the program writes encoder command lines.
const std::string kEncoder = TEST_PROGRAM_DIR "fake_encoder";

struct EncoderRun {
  bool started = false;
  std::vector<std::string> chunks;
  std::string Joined() const {
    std::string all;
    for (const auto& c : chunks) all += c;
    return all;
  }
};

EncoderRun RunEncoder(const std::string& commandLine, const EncoderRunOptions& options = {}) {
  EncoderRun run;
  run.started = RunEncoderProcess(commandLine, [&](const std::string& chunk) { run.chunks.push_back(chunk); }, options);
  return run;
}

std::string Pattern(int bytes) {
  std::string text;
  for (int i = 0; i < bytes; ++i) text += static_cast<char>('A' + i % 26);
  return text;
}

TEST(EncoderProcess, HandsOnStatusTextAtMostTwiceASecond) {
  const EncoderRun run = RunEncoder(kEncoder + " status 6");
  ASSERT_TRUE(run.started);
  ASSERT_GE(run.chunks.size(), 1u);
  EXPECT_LE(run.chunks.size(), 3u);  // 0.6 s of output, pauses of 0.5 s
  EXPECT_EQ(run.chunks.front().rfind("frame=", 0), 0u) << run.chunks.front();
  EXPECT_TRUE(run.chunks.back().ends_with("time=6.00 bitrate= 256.0kbits/s\r")) << run.chunks.back();
  for (const auto& chunk : run.chunks) EXPECT_FALSE(chunk.empty());
}

TEST(EncoderProcess, OfABacklogOnlyTheNewestBlockIsHandedOn) {
  // Reads are 1023 bytes; a backlog is drained block by block and only the
  // last block read reaches the callback.
  for (const int bytes : {10, 1023, 1024, 2046, 2047, 3000}) {
    const EncoderRun run = RunEncoder(kEncoder + " burst " + std::to_string(bytes));
    ASSERT_TRUE(run.started);
    const int lastBlockStart = (bytes - 1) / kChunkBytes * kChunkBytes;
    ASSERT_EQ(run.chunks.size(), 1u) << bytes;
    EXPECT_EQ(run.chunks[0], Pattern(bytes).substr(static_cast<std::size_t>(lastBlockStart))) << bytes;
  }
}

TEST(EncoderProcess, DeliversEdgeOutputsExactly) {
  const struct {
    const char* args;
    std::vector<std::string> chunks;
  } cases[] = {
      {"zero", {"abc"}},              // cut at the zero byte
      {"last", {"last words"}},       // written in the last moment, delivered once
      {"silent 100", {}},             // nothing written, no callback
      {"stdin", {"open pipe, nothing on it"}},
      {"session", {"own session"}},
  };
  for (const auto& c : cases) {
    const EncoderRun run = RunEncoder(kEncoder + " " + c.args);
    EXPECT_TRUE(run.started) << c.args;
    EXPECT_EQ(run.chunks, c.chunks) << c.args;
  }
}

TEST(EncoderProcess, StandardOutputAndErrorShareOnePipe) {
  const EncoderRun run = RunEncoder(kEncoder + " stderr");
  EXPECT_EQ(run.Joined(), "to stdout\nto stderr\n");
}

TEST(EncoderProcess, ArgumentsArriveWholeThroughTheQuotingRules) {
  const EncoderRun run = RunEncoder(kEncoder + R"( args -i "/my videos/a b.avi" "q\"uote" back\slash "ünï çødé" "" -vol " ")");
  EXPECT_EQ(run.Joined(), R"([-i][/my videos/a b.avi][q"uote][back\slash][ünï çødé][][-vol][ ])");
  // A caller that knows the program path may hand it in; it may be quoted.
  EncoderRunOptions known;
  known.programPath = kEncoder;
  EXPECT_EQ(RunEncoder(kEncoder + " args x", known).Joined(), "[x]");
  EXPECT_EQ(RunEncoder("\"" + kEncoder + "\" args y", known).Joined(), "[y]");
}

TEST(EncoderProcess, TheGivenProgramRunsEvenWhenAPrefixOfItsFolderIsAProgram) {
  // "/…/My Apps/evc.exe" with an executable "/…/My" beside the folder: the
  // runner told the program path starts evc.exe, never "My".
  test::TempDir dir;
  std::filesystem::create_directory(dir.File("My Apps"));
  const std::string encoder = dir.File("My Apps/evc.exe");
  std::filesystem::copy_file(kEncoder, encoder);
  test::WriteFile(dir.File("My"), "#!/bin/sh\necho wrong program\n");
  std::filesystem::permissions(dir.File("My"), std::filesystem::perms::owner_all);
  EXPECT_EQ(RunEncoder(encoder + " args x").Joined(), "wrong program\n");  // guessing goes wrong

  EncoderRunOptions known;
  known.programPath = encoder;
  EXPECT_EQ(RunEncoder(encoder + " args x", known).Joined(), "[x]");
  // A line that does not begin with the given program starts nothing.
  EXPECT_FALSE(RunEncoder(dir.File("My") + " args x", known).started);

  std::string delivered;
  {
    TAdvanceSystem runner(encoder + " args \"a b\"", [&](const std::string& chunk) { delivered += chunk; }, nullptr,
                          nullptr, encoder);
    runner.Start();
  }
  EXPECT_EQ(delivered, "[a b]");
}

TEST(EncoderProcess, RunsInTheProgramFolderOrTheGivenOne) {
  std::string programFolder = ExecutableFolder();
  programFolder.pop_back();
  EXPECT_EQ(RunEncoder(kEncoder + " cwd").Joined(), programFolder);
  test::TempDir dir;
  EncoderRunOptions options;
  options.workingDirectory = dir.Folder();
  EXPECT_EQ(RunEncoder(kEncoder + " cwd", options).Joined(), dir.Path().string());
}

TEST(EncoderProcess, FailsToStartWithoutAnyCallback) {
  test::TempDir dir;
  test::WriteFile(dir.File("not-a-program.exe"), "plain text");
  for (const std::string& line : {std::string(), std::string("   "), std::string(TEST_PROGRAM_DIR "missing.exe -y"),
                                  dir.File("not-a-program.exe") + " -y"}) {
    const EncoderRun run = RunEncoder(line);
    EXPECT_FALSE(run.started) << line;
    EXPECT_TRUE(run.chunks.empty()) << line;
  }
}

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

TEST(AdvanceSystem, RunsOnlyWhenStartedAndReleaseWaitsForTheBody) {
  std::atomic<int> runs{0};
  std::atomic<bool> bodyDone{false};
  std::optional<bool> finishedWith;
  {
    TAdvanceSystem runner(
        "the command", [](const std::string&) {},
        [&](const std::string& line, const ChunkCallback& chunk) {
          EXPECT_EQ(line, "the command");
          ++runs;
          chunk("one chunk");
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
          bodyDone = true;
          return false;
        },
        [&](bool started) { finishedWith = started; });
    EXPECT_EQ(runs, 0);
    EXPECT_FALSE(runner.Finished());
    runner.Start();
    runner.Start();
  }
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(bodyDone);
  EXPECT_EQ(finishedWith, false);
}

TEST(AdvanceSystem, RunsARealEncoderAndDeliversOnItsOwnThread) {
  std::vector<std::string> chunks;
  std::thread::id chunkThread;
  {
    TAdvanceSystem runner(kEncoder + " args hello", [&](const std::string& chunk) {
      chunks.push_back(chunk);
      chunkThread = std::this_thread::get_id();
    });
    runner.Start();
  }
  EXPECT_EQ(chunks, std::vector<std::string>{"[hello]"});
  EXPECT_NE(chunkThread, std::this_thread::get_id());
}

}  // namespace
}  // namespace tarquel::platform
