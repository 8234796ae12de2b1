#include "UnitCustomProc.h"

#include "IniFiles32.h"
#include "TextFormats.h"

namespace tarquel {

namespace {

TBuildEnvironment BuildEnvironment(TCommonLib& lib, TCustomProc& proc) {
  TBuildEnvironment env{
      lib.AppPath,
      lib.AppFunc,
      lib.FileFunc,
      [&proc] {
        std::vector<TSourceTimes> rows;
        for (int i = 0; i < proc.SourceList.Count(); ++i) {
          rows.push_back({proc.SourceList.Cell(i, dxtrlSourceFileName), proc.SourceList.Cell(i, dxtrlSourceFileStartTime),
                          proc.SourceList.Cell(i, dxtrlSourceFileEndTime)});
        }
        return rows;
      },
      // Only a custom profile picked on the main window is applied again: a
      // quality preset picked there is what the file gets.
      [&proc] {
        if (proc.Profiles.Settings.Profile() >= kFirstCustomProfile) proc.Profiles.ApplyCustomProfile();
      },
      [&proc]() -> const TConvertSettings& { return proc.Profiles.Settings; },
      [&proc] { return proc.UserSettings.Settings.OutDir; }};
  env.ScriptFolder = lib.Data.State;
  return env;
}

}  // namespace

TCustomProc::TCustomProc(TCommonLib& lib, std::string homeFolder, INamePrompt& namePrompt,
                         IFolderPicker& folderPicker, TJobDriverHost windows, IPreviewPlayback& player,
                         std::function<void()> processMessages)
    : Config(lib.Data.Settings),
      UserSettings(Config, std::move(homeFolder), lib.Messages(), folderPicker),
      Profiles(Config, UserSettings, namePrompt, lib.Messages()),
      Options(Profiles),
      TrimBar(SourceList, player, std::move(processMessages)),
      SourceEvents(SourceList, TrimBar, player),
      Lib_(lib),
      Builder_(BuildEnvironment(lib, *this)) {
  // Writes cut short by an earlier crash leave temporary files behind.
  TIniFile32::RemoveStaleTemporaryFiles(Config.FileName(""));
  windows.RowCount = [this] { return SourceList.Count(); };
  windows.RowCheck = [this](int row) { return SourceList.Cell(row, dxtrlchkCheckStatus); };
  windows.RowFileName = [this](int row) { return SourceList.Cell(row, dxtrlSourceFileName); };
  // The cut as the builder measures it: End Time less Start Time.
  windows.RowCutSeconds = [this](int row) {
    return static_cast<double>(TimeTextToSeconds(SourceList.Cell(row, dxtrlSourceFileEndTime))) -
           TimeTextToSeconds(SourceList.Cell(row, dxtrlSourceFileStartTime));
  };
  windows.BuildEncoderCommand = [this](const std::string& source) { return BuildEncoderCommand(source); };
  windows.Warn = [this](const std::string& msg) { Lib_.ShowMsgBox(msg, kMsgWarning); };
  windows.ShowOutputDirectory = [this] { return UserSettings.Settings.ShowOutputDirectory; };
  windows.Shutdown = [this] { return UserSettings.Settings.Shutdown; };
  Driver_ = std::make_unique<TJobDriver>(std::move(windows), lib.AppFunc, lib.Processes(), lib.Services(),
                                         lib.ConvertParameter, Job, Converting);
}

std::string TCustomProc::BuildEncoderCommand(const std::string& source) {
  return Builder_.BuildEncoderCommand(source, Lib_.ConvertParameter, Job);
}

void TCustomProc::btnConvertClick() {
  Job.DoneCount = 0;
  Driver_->ConvertCheckedFiles();
}

}  // namespace tarquel
