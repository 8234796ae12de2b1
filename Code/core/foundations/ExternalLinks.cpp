#include "ExternalLinks.h"

#include <filesystem>

#include "IniFiles32.h"

namespace tarquel {

void LaunchUpdater(const std::string& appPath, ISystemServices& services) {
  const std::string settings = appPath + "UpDateSettings.ini";
  std::error_code ec;
  if (std::filesystem::exists(settings, ec)) {
    TIniFile32 ini(settings);
    ini.WriteString("AutoUpdate", "UpdateModalUsr", "true");
    ini.WriteString("AutoUpdate", "UpdateTodayExeced", "false");
  }
  services.StartProgram(appPath + "AutoUpDate.exe");
}

std::string HelpFile(const std::string& appPath, bool chmViewer) {
  std::error_code ec;
  if (chmViewer && std::filesystem::exists(appPath + "Help.chm", ec)) return appPath + "Help.chm";
  return appPath + "Help.html";
}

}  // namespace tarquel
