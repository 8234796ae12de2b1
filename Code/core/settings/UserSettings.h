// The user's settings that are not encoder options: the output folder, the
// two end-of-batch choices and the folder the open-files dialog starts in,
// kept in UserSettings.ini, section "USRInfo".
#pragma once

#include <string>
#include <string_view>

#include "ConfigFiles.h"
#include "Dialogs.h"

namespace tarquel {

// What edtOutputFolder, chkShowOutputDirectory and chkShutdown show.
struct TUserSettings {
  std::string OutDir;
  bool ShowOutputDirectory = true;
  bool Shutdown = false;
};

inline constexpr std::string_view kUserSettingsSection = "USRInfo";
inline constexpr std::string_view kSelectOutputFolderTitle = "Please select output folder:";
inline constexpr std::string_view kInvalidPathText = "The path is invalid.";
inline constexpr std::string_view kReadOnlyPathText = "This is a read-only path.";

class TUserSettingsModel {
 public:
  // `homeFolder` is the user's home folder: the output folder starts as
  // home + "/Tarquel", the open-files dialog in home + "/".
  TUserSettingsModel(const TConfigFiles& config, std::string homeFolder, IMessageBox& messages,
                     IFolderPicker& folderPicker);

  // Reads "SHWDDir", "SHUTDOWN" and "OutDir" into Settings. A flag is true
  // exactly when stored as "1"; a missing or empty "OutDir" keeps OutDir.
  void LoadUserSettings();
  // Writes "SHWDDir", "SHUTDOWN" and "OutDir" in this order, flags as "1"
  // or "0". FileCreateError when the file cannot be written; the writes
  // after the failing one are skipped.
  void SaveUserSettings() const;

  // The folder the open-files dialog starts in; not tested for existence.
  std::string ReadInitDir() const;
  // Stores the folder part of `fileName` (up to its last separator) as
  // "InitDir"; does nothing when there is none or it holds a line break.
  void WriteInitDir(std::string_view fileName) const;

  // Lets the user pick a new output folder and returns the folder to show:
  // the picked one when it exists and can be written to, else `current`
  // ("The path is invalid." also for a folder with a line break in its name).
  // The result is created when it does not exist (failures ignored).
  std::string SelectOutputFolder(const std::string& current);
  // The browse button: OutDir becomes what SelectOutputFolder returns.
  void btnSelectOutputFolderClick();

  TUserSettings Settings;

 private:
  const TConfigFiles& Config_;
  std::string HomeFolder_;  // without a trailing separator
  IMessageBox& Messages_;
  IFolderPicker& FolderPicker_;
};

}  // namespace tarquel
