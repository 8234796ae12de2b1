#include "UserSettings.h"

#include <filesystem>

#include "IniFiles32.h"
#include "UtilityFuncs.h"
#include "Utf8Paths.h"

namespace tarquel {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kShowOutputDirectoryKey = "SHWDDir";
constexpr std::string_view kShutdownKey = "SHUTDOWN";
constexpr std::string_view kOutDirKey = "OutDir";
constexpr std::string_view kInitDirKey = "InitDir";

const char* FlagText(bool flag) { return flag ? "1" : "0"; }

// A folder nobody may write to by its permission bits counts as read-only
// even for a privileged user, who could otherwise create anything there.
bool HasNoWritePermission(const fs::path& folder) {
  std::error_code ec;
  const auto perms = fs::status(folder, ec).permissions();
  constexpr auto kWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  return !ec && (perms & kWrite) == fs::perms::none;
}

// Tries to create the sub-folder "test" in `folder` and removes it again
// when this created it. True when the folder can be written to.
bool ProbeWritable(const fs::path& folder) {
  if (HasNoWritePermission(folder)) return false;
  const fs::path probe = folder / "test";
  std::error_code ec;
  const bool created = fs::create_directories(probe, ec);
  const bool writable = !ec && fs::is_directory(probe, ec);
  if (created) fs::remove(probe, ec);  // only an empty folder goes; failures are ignored
  return writable;
}

}  // namespace

TUserSettingsModel::TUserSettingsModel(const TConfigFiles& config, std::string homeFolder, IMessageBox& messages,
                                       IFolderPicker& folderPicker)
    : Config_(config), HomeFolder_(std::move(homeFolder)), Messages_(messages), FolderPicker_(folderPicker) {
  while (!HomeFolder_.empty() && IsPathSeparator(HomeFolder_.back())) HomeFolder_.pop_back();
  Settings.OutDir = HomeFolder_ + kPathSeparator + "Tarquel";
}

void TUserSettingsModel::LoadUserSettings() {
  const TIniFile32 ini(Config_.FileName(kUserSettingsFile));
  Settings.ShowOutputDirectory = ini.ReadString(kUserSettingsSection, kShowOutputDirectoryKey, "0") == "1";
  Settings.Shutdown = ini.ReadString(kUserSettingsSection, kShutdownKey, "0") == "1";
  Settings.OutDir = ini.ReadString(kUserSettingsSection, kOutDirKey, Settings.OutDir);
}

void TUserSettingsModel::SaveUserSettings() const {
  TIniFile32 ini(Config_.FileName(kUserSettingsFile));
  ini.WriteString(kUserSettingsSection, kShowOutputDirectoryKey, FlagText(Settings.ShowOutputDirectory));
  ini.WriteString(kUserSettingsSection, kShutdownKey, FlagText(Settings.Shutdown));
  ini.WriteString(kUserSettingsSection, kOutDirKey, Settings.OutDir);
}

std::string TUserSettingsModel::ReadInitDir() const {
  return TIniFile32(Config_.FileName(kUserSettingsFile))
      .ReadString(kUserSettingsSection, kInitDirKey, HomeFolder_ + kPathSeparator);
}

void TUserSettingsModel::WriteInitDir(std::string_view fileName) const {
  const std::string folder = TFileFunc().GetFilePath(fileName);
  // A folder with a line break in its name cannot be stored; it is skipped.
  if (folder.empty() || !TIniFile32::IsStorable(folder)) return;
  TIniFile32(Config_.FileName(kUserSettingsFile)).WriteString(kUserSettingsSection, kInitDirKey, folder);
}

std::string TUserSettingsModel::SelectOutputFolder(const std::string& current) {
  std::string result = current;
  if (const auto picked = FolderPicker_.BrowseForFolder(kSelectOutputFolderTitle)) {
    std::error_code ec;
    if (!TIniFile32::IsStorable(*picked) || !fs::is_directory(PathOf(*picked), ec)) {
      ShowMsgBox(Messages_, kInvalidPathText, kMsgWarning);
    } else if (!ProbeWritable(PathOf(*picked))) {
      ShowMsgBox(Messages_, kReadOnlyPathText, kMsgWarning);
    } else {
      result = *picked;
    }
  }
  std::error_code ec;
  if (!result.empty() && !fs::is_directory(PathOf(result), ec)) fs::create_directories(PathOf(result), ec);
  return result;
}

void TUserSettingsModel::btnSelectOutputFolderClick() { Settings.OutDir = SelectOutputFolder(Settings.OutDir); }

}  // namespace tarquel
