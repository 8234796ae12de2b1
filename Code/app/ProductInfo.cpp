#include "ProductInfo.h"

#include <filesystem>

#include "CompanionLibrary.h"
#include "VersionInfo.h"
#include "Utf8Paths.h"

namespace tarquel {

RecSoftInfo ReadProductInfo(const std::string& resLibrary, const std::string& exeName) {
  RecSoftInfo info;
  const auto res = platform::CompanionLibrary::Load(resLibrary);  // unloaded when it goes
  const auto text = [&](unsigned id) { return res ? res->LoadString(id) : std::string(); };
  info.CompanyName = text(0);
  info.ProductName = text(1);
  info.Text2 = text(2);
  info.Version = platform::GetAppVersion(exeName);
  info.HomePage = text(4);
  info.Email = text(5);
  info.Text7 = text(7);
  return info;
}

std::string MainCaption(const RecSoftInfo& info) { return info.ProductName + " " + info.Version; }

bool CheckCompanionFiles(const std::string& programFolder,
                         const std::function<int(const std::string& msg, int msgType)>& showAppMessage) {
  bool complete = true;
  for (const char* name : {"Form.dll", "Res.dll"}) {
    std::error_code ec;
    if (std::filesystem::exists(PathOf(programFolder + name), ec)) continue;
    complete = false;
    showAppMessage(std::string("'") + name + "' is not found. Please reinstall this program.", 1);
  }
  return complete;
}

}  // namespace tarquel
