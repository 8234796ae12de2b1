#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "AdvanceSystem.h"
#include "EncoderProcess.h"
#include "EncoderRuns.h"
#include "ProgramFolder.h"
#include "TempDir.h"

namespace tarquel::platform {
namespace {

using namespace test_runs;

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
  // "/…/My Apps/evc.exe" with a program "/…/My" beside the folder: the
  // runner told the program path starts evc.exe, never "My".
  test::TempDir dir;
  std::filesystem::create_directory(dir.File("My Apps"));
  const std::string encoder = dir.File("My Apps/evc.exe");
  std::filesystem::copy_file(kEncoder, encoder);
  std::filesystem::copy_file(kEncoder, dir.File("My" TEST_EXE_SUFFIX));
  EXPECT_EQ(RunEncoder(encoder + " args x").Joined(), "[Apps/evc.exe][args][x]");  // guessing goes wrong

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
  // A name beyond ASCII arrives whole (UTF-8 here, UTF-16 at Windows' edge).
  const std::string videos = dir.File("Vidéos ünï");
  std::filesystem::create_directory(std::filesystem::path(reinterpret_cast<const char8_t*>(videos.c_str())));
  options.workingDirectory = videos;
  EXPECT_EQ(RunEncoder(kEncoder + " cwd", options).Joined(), videos);
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
