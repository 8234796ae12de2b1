// The settings files in the Config folder (beside the executable in the
// portable layout, else in the user's settings folder). Every
// access opens its own store, reads or writes, and lets it go again.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarquel {

inline constexpr std::string_view kUserSettingsFile = "UserSettings.ini";
inline constexpr std::string_view kUserProfileInfoFile = "UserProfileInfo.ini";
inline constexpr std::string_view kUserProfileCountFile = "UserProfileCount.ini";

class TConfigFiles {
 public:
  // `settingsFolder` holds the Config folder and ends with the separator:
  // the program folder in the portable layout.
  explicit TConfigFiles(std::string settingsFolder) : AppPath_(std::move(settingsFolder)) {}

  // The full path of a file in the Config folder.
  std::string FileName(std::string_view name) const;

  // The section names of that file in file order; none for a missing file.
  std::vector<std::string> ReadConfigSections(std::string_view fileName) const;

  // The value stored under `name` in the section `name`; empty when missing.
  std::string ReadConfigEntry(std::string_view fileName, std::string_view name) const;

 private:
  std::string AppPath_;
};

}  // namespace tarquel
