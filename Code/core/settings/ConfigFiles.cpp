#include "ConfigFiles.h"

#include "IniFiles32.h"
#include "UtilityFuncs.h"

namespace tarquel {

std::string TConfigFiles::FileName(std::string_view name) const {
  return AppPath_ + "Config" + kPathSeparator + std::string(name);
}

std::vector<std::string> TConfigFiles::ReadConfigSections(std::string_view fileName) const {
  std::vector<std::string> sections;
  TIniFile32(FileName(fileName)).ReadSections(&sections);
  return sections;
}

std::string TConfigFiles::ReadConfigEntry(std::string_view fileName, std::string_view name) const {
  return TIniFile32(FileName(fileName)).ReadString(name, name, "");
}

}  // namespace tarquel
