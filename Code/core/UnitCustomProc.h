// TCustomProc: the application-wide object of the settings, the profiles,
// the source list and the batch; it carries their operations and hands
// them the program's shared objects.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "CommandBuilder.h"
#include "ConfigFiles.h"
#include "ConvertingDialog.h"
#include "JobDriver.h"
#include "OptionsDialogModel.h"
#include "ProfileModel.h"
#include "SourceList.h"
#include "SourceListEvents.h"
#include "TrimBar.h"
#include "Unit_CommonLib.h"
#include "UserSettings.h"

namespace tarquel {

class TCustomProc final : private IBatchWork {
 public:
  // `windows` is what the batch needs of the windows and the event loop;
  // the batch's work (the source list, the builder, the end-of-batch
  // choices) is this object's own. `player` is the preview the trim bar and
  // the list's handlers stop and seek; `processMessages` lets pending window
  // events run.
  TCustomProc(TCommonLib& lib, std::string homeFolder, INamePrompt& namePrompt, IFolderPicker& folderPicker,
              IJobDriverHost& windows, IPreviewPlayback& player, std::function<void()> processMessages = nullptr);
  TCustomProc(const TCustomProc&) = delete;
  TCustomProc& operator=(const TCustomProc&) = delete;

  TConfigFiles Config;
  TUserSettingsModel UserSettings;
  TProfileModel Profiles;
  TOptionsDialogModel Options;
  TSourceList SourceList;
  TTrimBar TrimBar;
  TSourceListEvents SourceEvents;
  TConvertingModel Converting;
  TJobState Job;

  // The command line for a row of the source list.
  std::string BuildEncoderCommand(const TSourceRow& row) override;
  // Convert (button or Ctrl+S): the batch over the checked rows.
  void btnConvertClick();
  TJobDriver& Driver() { return *Driver_; }

 private:
  const TSourceList& Sources() const override { return SourceList; }
  bool ShowOutputDirectory() const override { return UserSettings.Settings.ShowOutputDirectory; }
  bool Shutdown() const override { return UserSettings.Settings.Shutdown; }

  TCommonLib& Lib_;
  TCommandBuilder Builder_;
  std::unique_ptr<TJobDriver> Driver_;
};

}  // namespace tarquel
