// The job driver's own cost per file: a batch of 10 two-second clips
// through the driver with the real encoder, against the same 10 command
// lines run back to back by hand. Prints both and the overhead per file.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "AdvanceSystem.h"
#include "CommandBuilder.h"
#include "EventLoop.h"
#include "JobDriver.h"
#include "ProcessTable.h"
#include "ProgramFolder.h"
#include "RunProgram.h"
#include "ServiceDoubles.h"
#include "SystemServices.h"
#include "UtilityFuncs.h"

namespace {

using namespace tarquel;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Run : IEncoderRun {
  Run(const std::string& encoder, const std::string& command, std::function<void(const std::string&)> chunk,
      std::function<void()> done)
      : runner(command, std::move(chunk), nullptr, [done = std::move(done)](bool) { done(); }, encoder) {
    runner.Start();
  }
  platform::TAdvanceSystem runner;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main() {
  const fs::path dir = fs::temp_directory_path() / ("tarquel-driver-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir / "out");
  const std::string app = dir.string() + "/";
  fs::copy_file(platform::ExecutableFolder() + "../Tarquel/evc.exe", app + "evc.exe");
  std::vector<std::string> clips;
  for (int i = 0; i < 10; ++i) {
    clips.push_back(app + "clip" + std::to_string(i) + ".mp4");
    if (test::RunProgram({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-f",
                          "lavfi", "-i", "sine", "-t", "2", "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac",
                          clips.back()})
            .exitCode != 0) {
      std::fprintf(stderr, "cannot make the clips with ffmpeg\n");
      return 1;
    }
  }

  TAppFunc log(app);
  TFileFunc files;
  TConvertSettings settings;
  settings.Set(TSettingField::OutputFiletype, 0);
  ApplyPresetString(settings, QualityPresets[0][2]);
  TConvertParameterStruct params;
  TJobState job;
  TConvertingModel dialog;
  TCommandBuilder builder(TBuildEnvironment{
      app, log, files,
      [&] {
        std::vector<TSourceTimes> rows;
        for (const auto& c : clips) rows.push_back({c, "00:00:00", "00:00:02"});
        return rows;
      },
      nullptr, [&]() -> const TConvertSettings& { return settings; }, [&] { return app + "out"; }});
  auto processes = platform::CreateDescendantProcessTable();  // only its own encoders
  test::RecordingServices services;
  test::EventLoop loop;
  std::vector<std::string> commands;

  TJobDriverHost host;
  host.RowCount = [&] { return static_cast<int>(clips.size()); };
  host.RowCheck = [](int) { return std::string("True"); };
  host.RowFileName = [&](int i) { return clips[i]; };
  host.BuildEncoderCommand = [&](const std::string& source) {
    commands.push_back(builder.BuildEncoderCommand(source, params, job));
    return commands.back();
  };
  host.StartEncoder = [](const std::string& encoder, const std::string& command,
                         std::function<void(const std::string&)> chunk,
                         std::function<void()> done) -> std::unique_ptr<IEncoderRun> {
    return std::make_unique<Run>(encoder, command, std::move(chunk), std::move(done));
  };
  host.PostToGui = [&](std::function<void()> work) { loop.Post(std::move(work)); };
  host.After = [&](std::chrono::milliseconds d, std::function<void()> work) { loop.After(d, std::move(work)); };
  host.PauseHandlingEvents = [](std::chrono::milliseconds) {};
  host.Warn = [](const std::string&) {};
  host.Confirm = [](const std::string&) { return false; };
  host.ShowConvertingDialog = [](bool) {};
  host.EnableMainWindow = [](bool) {};
  host.ShowOutputDirectory = [] { return false; };
  host.Shutdown = [] { return false; };
  host.EndProgram = [] {};
  TJobDriver driver(host, log, *processes, services, params, job, dialog);

  std::vector<double> byDriver, byHand;
  for (int round = 0; round < 3; ++round) {
    fs::remove_all(dir / "out");
    commands.clear();
    const auto start = Clock::now();
    driver.ConvertCheckedFiles();
    loop.RunUntil([&] { return !driver.Running(); }, std::chrono::seconds(300));
    byDriver.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());

    fs::remove_all(dir / "out");
    fs::create_directories(dir / "out");
    const auto handStart = Clock::now();
    for (const auto& command : commands) platform::RunEncoderProcess(command, [](const std::string&) {});
    byHand.push_back(std::chrono::duration<double, std::milli>(Clock::now() - handStart).count());
  }
  const double driverMs = Median(byDriver), handMs = Median(byHand);
  std::printf("%-34s %10.1f ms\n", "10 files through the driver", driverMs);
  std::printf("%-34s %10.1f ms\n", "the same 10 commands by hand", handMs);
  std::printf("%-34s %10.1f ms\n", "driver overhead per file", (driverMs - handMs) / 10.0);
  fs::remove_all(dir);
  return 0;
}
