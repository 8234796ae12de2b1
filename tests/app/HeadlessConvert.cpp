// Run from a copy of the program folder: decides the data folders as
// Tarquel does at start-up, then converts the files named on the command
// line through the core — settings read, command built and logged, the
// program folder's own evc.exe run, settings saved — without windows.
//   tarquel_headless_convert [--out FOLDER] FILE...
// --out sets the output folder before the settings are saved. Prints the
// data folders and the output folder; exits 0 when every file converted.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "AdvanceSystem.h"
#include "DriverDoubles.h"
#include "Errors.h"
#include "ProgramFolder.h"
#include "ServiceDoubles.h"
#include "UnitCustomProc.h"
#include "Unit_CommonLib.h"

namespace {

using namespace tarquel;

// Every message printed, every prompt cancelled.
struct TPrintedDialogs : IMessageBox, INamePrompt, IFolderPicker {
  void ShowMessage(TMsgIcon, std::string_view, std::string_view text) override {
    std::fprintf(stderr, "message: %.*s\n", static_cast<int>(text.size()), text.data());
  }
  std::optional<std::string> InputQuery(std::string_view, std::string_view, std::string_view) override {
    return std::nullopt;
  }
  std::optional<std::string> BrowseForFolder(std::string_view) override { return std::nullopt; }
};

class TNoPreview : public IPreviewPlayback {
 public:
  const std::string& LoadedFile() const override { return Loaded_; }
  void StopPlayback() override {}
  IPlayerGraph& PlayerGraph() override { throw MediaGraphError("no player"); }

 private:
  std::string Loaded_;
};

}  // namespace

int main(int argc, char** argv) {
  std::string outDir;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
      outDir = argv[++i];
    } else {
      files.emplace_back(argv[i]);
    }
  }
  const std::string program = platform::ExecutableFolder();
  const TDataFolders data = platform::PrepareDataFolders(program);
  std::printf("program %s\nsettings %s\nstate %s\n", program.c_str(), data.Settings.c_str(), data.State.c_str());

  test::NoProcesses processes;
  test::RecordingServices services;
  TPrintedDialogs dialogs;
  TNoPreview player;
  test::EventLoop loop;
  test::RecordingDriverHost host(loop);
  const char* home = std::getenv("HOME");
  try {
    TCommonLib lib(program, data, processes, services, dialogs);
    TCustomProc proc(lib, home ? home : "/", dialogs, dialogs, host, player);
    proc.Profiles.FillAllSelectors();
    proc.Profiles.ApplyProfile();
    if (!outDir.empty()) proc.UserSettings.Settings.OutDir = outDir;
    std::printf("output %s\n", proc.UserSettings.Settings.OutDir.c_str());
    int failed = 0;
    for (const std::string& file : files) {
      TSourceRow row = NewSourceRow(file, 0, 2);
      row.End = 1;
      row.Cut = 1;
      proc.SourceList.Append(row);
      const std::string command = proc.BuildEncoderCommand(row);
      lib.AppFunc.WriteLog(command);
      platform::TAdvanceSystem runner(command, [](const std::string&) {});
      runner.Start();
      while (!runner.Finished()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      std::printf("converted %s: exit %d\n", file.c_str(), runner.ExitStatus());
      if (runner.ExitStatus() != 0) ++failed;
    }
    proc.UserSettings.SaveUserSettings();
    return failed == 0 ? 0 : 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "error: %s\n", error.what());
    return 2;
  }
}
