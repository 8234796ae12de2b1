// The settings files in the Config folder beside the executable. Every
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
  // `appPath` is the program folder with its trailing separator.
  explicit TConfigFiles(std::string appPath) : AppPath_(std::move(appPath)) {}

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
