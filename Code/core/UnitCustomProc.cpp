#include "UnitCustomProc.h"

#include "IniFiles32.h"

namespace tarquel {

namespace {

TBuildEnvironment BuildEnvironment(TCommonLib& lib, TCustomProc& proc) {
  TBuildEnvironment env{
      lib.AppPath,
      lib.AppFunc,
      lib.FileFunc,
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
                         IFolderPicker& folderPicker, IJobDriverHost& windows, IPreviewPlayback& player,
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
  IBatchWork& work = *this;
  Driver_ = std::make_unique<TJobDriver>(windows, work, lib.AppFunc, lib.Processes(), lib.Services(),
                                         lib.ConvertParameter, Job, Converting);
}

std::string TCustomProc::BuildEncoderCommand(const TSourceRow& row) {
  return Builder_.BuildEncoderCommand(row, Lib_.ConvertParameter, Job);
}

void TCustomProc::btnConvertClick() {
  Job.DoneCount = 0;
  Driver_->ConvertCheckedFiles();
}

}  // namespace tarquel
