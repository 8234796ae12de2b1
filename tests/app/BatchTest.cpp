// A batch converts end to end without windows: the job driver, the
// builder, the runner and the real evc.exe, with the outside services
// (message boxes, file manager, power-off) recorded by doubles.
#include <gtest/gtest.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "CommandBuilder.h"
#include "RealRunnerHost.h"
#include "Errors.h"
#include "EventLoop.h"
#include "FfmpegHandles.h"
#include "JobDriver.h"
#include "ProcessTable.h"
#include "RunProgram.h"
#include "ServiceDoubles.h"
#include "SystemServices.h"
#include "TextFormats.h"
#include "TempDir.h"
#include "UtilityFuncs.h"

namespace tarquel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

double Seconds(const std::string& path) {
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return -1;
  media::InputContextPtr input(raw);
  avformat_find_stream_info(raw, nullptr);
  return raw->duration / static_cast<double>(AV_TIME_BASE);
}

struct Row {
  bool checked;
  std::string path;
  std::int64_t start, end;
};

class Batch : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    media_ = new test::TempDir;  // for the suite; freed in TearDownTestSuite
    const auto make = [](const std::string& lavfi, const char* seconds, const std::string& out,
                         std::vector<std::string> codecs) {
      std::vector<std::string> args = {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", lavfi, "-f", "lavfi",
                                       "-i", "sine=sample_rate=44100", "-t", seconds};
      args.insert(args.end(), codecs.begin(), codecs.end());
      args.push_back(out);
      ASSERT_EQ(test::RunProgram(args).exitCode, 0) << out;
    };
    const std::vector<std::string> h264 = {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"};
    make("testsrc=size=320x240:rate=25", "2", Media("a.mp4"), h264);
    make("testsrc=size=320x240:rate=25", "2", Media("b b.mp4"), h264);
    make("testsrc=size=320x240:rate=25", "40", Media("long.mp4"), h264);
    make("testsrc=size=320x240:rate=25", "1", Media("c.rm"), {"-c:v", "rv20", "-c:a", "ac3"});
  }
  static void TearDownTestSuite() {
    delete media_;
    media_ = nullptr;
  }
  static std::string Media(const std::string& name) { return media_->File(name); }

  Batch() {
    // A program folder with evc.exe but without revc.exe.
    fs::copy_file(TARQUEL_PROGRAM_DIR "/evc.exe", App() + "evc.exe");
    settings_.Set(TSettingField::OutputFiletype, 0);
    ApplyPresetString(settings_, QualityPresets[0][2]);
    settings_.Set(TSettingField::Aspectratio, 0);
    settings_.Set(TSettingField::AudioVolumeGain, 4);
  }

  std::string App() const { return dir_.Folder(); }
  std::string Out() const { return dir_.Folder() + "out/"; }

  std::unique_ptr<TJobDriver> Driver() {
    return std::make_unique<TJobDriver>(host_, work_, log_, *processes_, services_, params_, job_, dialog_);
  }
  void SetRows(const std::vector<Row>& rows) {
    work_.List.Clear();
    for (const Row& r : rows) {
      TSourceRow row = NewSourceRow(r.path, 0, r.end);
      row.Checked = r.checked;
      row.Start = r.start;
      work_.List.Append(row);
    }
  }

  std::vector<std::string> LogLines() const {
    std::vector<std::string> lines;
    for (const auto& line : SplitText(test::ReadFile(App() + "log.txt"), '\n')) {
      lines.push_back(line.substr(line.find('|') + 1, line.size() - line.find('|') - 2));
    }
    return lines;
  }

  static test::TempDir* media_;
  test::TempDir dir_;
  test::EventLoop loop_;
  TAppFunc log_{App()};
  TFileFunc files_;
  TConvertSettings settings_;
  TConvertParameterStruct params_;
  TJobState job_;
  TConvertingModel dialog_;
  TCommandBuilder builder_{TBuildEnvironment{App(), log_, files_, nullptr,
                                             [this]() -> const TConvertSettings& { return settings_; },
                                             [this] { return Out(); }}};
  // Only this test's own encoders are looked up and ended.
  std::unique_ptr<IProcessTable> processes_ = platform::CreateDescendantProcessTable();
  test::RecordingServices services_;
  // The real runner, and the length of what it wrote as the file tells it.
  struct Host : test::RealRunnerHost {
    using RealRunnerHost::RealRunnerHost;
    double OutputSeconds(const std::string& path) override { return Seconds(path); }
  } host_{loop_};
  test::ListWork work_{builder_, params_, job_};
};
test::TempDir* Batch::media_ = nullptr;

TEST_F(Batch, ConvertsTheCheckedRowsAndCountsTheOneThatCannotStart) {
  SetRows({{true, Media("a.mp4"), 0, 2},
           {false, Media("long.mp4"), 0, 40},
           {true, Media("c.rm"), 0, 1},  // no revc.exe here
           {true, Media("b b.mp4"), 1, 2}});
  auto driver = Driver();
  driver->ConvertCheckedFiles();
  EXPECT_FALSE(host_.mainEnabled);
  ASSERT_TRUE(loop_.RunUntil([&] { return !driver->Running(); }));
  EXPECT_EQ(job_.DoneCount, 3);
  EXPECT_EQ(job_.TotalCount, 3);
  EXPECT_NEAR(Seconds(Out() + "a.mp4"), 2.0, 0.1);
  EXPECT_NEAR(Seconds(Out() + "b b.mp4"), 1.0, 0.1);
  EXPECT_FALSE(fs::exists(Out() + "long.mp4"));
  EXPECT_FALSE(fs::exists(Out() + "c.mp4"));
  const auto log = LogLines();
  ASSERT_EQ(log.size(), 7u);
  EXPECT_EQ(log[6].rfind("Convert failed: " + Media("c.rm") + " | ", 0), 0u) << log[6];
  for (int file = 0; file < 3; ++file) {
    EXPECT_EQ(log[2 * file], "Output directory " + Out());
    EXPECT_EQ(log[2 * file + 1].rfind("parameter: " + App(), 0), 0u) << log[2 * file + 1];
  }
  EXPECT_NE(log[3].find("revc.exe -y -i \"" + App() + "VideoFile.avs\""), std::string::npos);
  EXPECT_EQ(services_.explored, std::vector<std::string>{Out()});
  EXPECT_FALSE(host_.dialogShown);
  EXPECT_TRUE(host_.mainEnabled);
  EXPECT_EQ(services_.powerOffs, 0);
}

TEST_F(Batch, StopEndsTheEncoderSkipsTheEndActionsAndTheNextBatchRunsThem) {
  SetRows({{true, Media("a.mp4"), 0, 2},
           {true, Media("long.mp4"), 0, 40},
           {true, Media("b b.mp4"), 0, 2}});
  auto driver = Driver();
  driver->ConvertCheckedFiles();
  // Stop once the second file's encoder has reported.
  ASSERT_TRUE(loop_.RunUntil([&] { return job_.RowIndex == 1 && job_.RefreshCount >= 1; }));
  ASSERT_NE(TSysFunc(*processes_).FindProcessId("evc.exe"), 0u);
  driver->btnStop1Click();
  EXPECT_FALSE(host_.dialogShown);
  EXPECT_TRUE(host_.mainEnabled);
  EXPECT_EQ(dialog_.lblPersent, "Current: 1, Total: ...");
  ASSERT_TRUE(loop_.RunUntil([&] { return !driver->Running(); }));
  EXPECT_EQ(host_.questions, std::vector<std::string>{"Are you sure you want to stop the work ? "});
  EXPECT_EQ(TSysFunc(*processes_).FindProcessId("evc.exe"), 0u);
  EXPECT_EQ(job_.DoneCount, 2);  // the stopped file still counts
  EXPECT_FALSE(fs::exists(Out() + "b b.mp4"));
  EXPECT_TRUE(services_.explored.empty());
  EXPECT_FALSE(job_.Stopped);

  // The next batch runs the end-of-batch actions again, power-off included.
  SetRows({{true, Media("b b.mp4"), 0, 1}});
  work_.shutdown = true;
  driver->ConvertCheckedFiles();
  ASSERT_TRUE(loop_.RunUntil([&] { return !driver->Running(); }));
  EXPECT_EQ(services_.explored, std::vector<std::string>{Out()});
  EXPECT_EQ(services_.powerOffs, 1);
  EXPECT_EQ(host_.programEnds, 1);
  EXPECT_TRUE(host_.dialogShown);  // the program ends without hiding it
}

TEST_F(Batch, AFileWhoseOutputFolderIsRemovedWhileItIsWrittenIsReported) {
  SetRows({{true, Media("long.mp4"), 0, 40}, {true, Media("a.mp4"), 0, 2}});
  auto driver = Driver();
  driver->ConvertCheckedFiles();
  ASSERT_TRUE(loop_.RunUntil([&] { return job_.RowIndex == 0 && job_.RefreshCount >= 1; }));
  fs::remove_all(Out());
  ASSERT_TRUE(loop_.RunUntil([&] { return !driver->Running(); }));
  EXPECT_EQ(host_.errors, std::vector<std::string>{
                         "This file could not be converted:\n\n" + Media("long.mp4") +
                         "\n    The encoder reported success, but its output file " + Out() + "long.mp4" +
                         " is missing (it, or its folder, may have been removed while it was written).\n"});
  EXPECT_NEAR(Seconds(Out() + "a.mp4"), 2.0, 0.1);  // the next file has its folder again
}

TEST_F(Batch, ANameThatIsNotUtf8ConvertsLikeAnyOther) {
  const std::string source = dir_.File("caf\xe9 \xff.mp4");
  fs::copy_file(Media("a.mp4"), source);
  SetRows({{true, source, 0, 2}});
  auto driver = Driver();
  driver->ConvertCheckedFiles();
  ASSERT_TRUE(loop_.RunUntil([&] { return !driver->Running(); }));
  EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
  EXPECT_NEAR(Seconds(Out() + "caf\xe9 \xff.mp4"), 2.0, 0.1);
}

TEST_F(Batch, ABuildThatFailsLeavesTheWindowsUsable) {
  SetRows({{true, Media("a.mp4"), 0, 2}});
  fs::create_directory(App() + "VideoFile.avs");  // the script cannot be written
  auto driver = Driver();
  EXPECT_THROW(driver->ConvertCheckedFiles(), FileCreateError);
  EXPECT_FALSE(driver->Running());
  EXPECT_TRUE(host_.mainEnabled);
  EXPECT_FALSE(host_.dialogShown);
}

TEST_F(Batch, AnEmptyListOnlyWarns) {
  auto driver = Driver();
  driver->ConvertCheckedFiles();
  EXPECT_FALSE(driver->Running());
  EXPECT_EQ(host_.warnings, std::vector<std::string>{"Please add media files you want to convert into the list."});
  EXPECT_TRUE(host_.mainEnabled);
  EXPECT_TRUE(services_.explored.empty());
}

TEST_F(Batch, APathWithBlanksQuotesAndAccentsArrivesWholeAtTheEncoder) {
  // The stand-in encoder of the platform tests echoes its arguments.
  TBuildEnvironment env{TEST_PROGRAM_DIR, log_, files_, nullptr,
                        [this]() -> const TConvertSettings& { return settings_; }, [this] { return Out(); }};
  TCommandBuilder builder(env);
  const std::string source = dir_.Folder() + "My \"odd\" vidéo\\.avi";
  const std::string command = builder.BuildEncoderCommand(NewSourceRow(source, 0, 0), params_, job_);
  std::string echoed;
  ASSERT_TRUE(platform::RunEncoderProcess(command, [&](const std::string& chunk) { echoed += chunk; }));
  EXPECT_EQ(echoed.rfind("[-y][-i][" + source + "][-vcodec]", 0), 0u) << echoed;
  EXPECT_TRUE(echoed.ends_with("[" + Out() + "My \"odd\" vidéo\\.mp4]")) << echoed;
}

}  // namespace
}  // namespace tarquel
