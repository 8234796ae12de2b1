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

#include "CommandBuilder.h"
#include "RealRunnerHost.h"
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
  test::EventLoop loop;
  std::vector<std::string> commands;
  TCommandBuilder builder(TBuildEnvironment{app, log, files, nullptr,
                                            [&]() -> const TConvertSettings& { return settings; },
                                            [&] { return app + "out"; }});
  auto processes = platform::CreateDescendantProcessTable();  // only its own encoders
  test::RecordingServices services;

  // The real runner, and every command the driver had built.
  test::RealRunnerHost host(loop);
  struct Work : test::ListWork {
    Work(TCommandBuilder& builder, TConvertParameterStruct& params, TJobState& job, std::vector<std::string>& commands)
        : ListWork(builder, params, job), Commands(commands) {}
    std::string BuildEncoderCommand(const TSourceRow& row) override {
      Commands.push_back(ListWork::BuildEncoderCommand(row));
      return Commands.back();
    }
    std::vector<std::string>& Commands;
  } work(builder, params, job, commands);
  work.showOutputDirectory = false;
  for (const auto& clip : clips) work.List.Append(NewSourceRow(clip, 0, 2));
  TJobDriver driver(host, work, log, *processes, services, params, job, dialog);

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
