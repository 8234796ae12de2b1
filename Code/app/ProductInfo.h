// What the program knows about itself: the product texts from Res.dll, the
// version from its own executable, and the companion-file check at start.
#pragma once

#include <functional>
#include <string>

namespace tarquel {

struct RecSoftInfo {
  std::string CompanyName;
  std::string ProductName;
  std::string Text2;
  std::string Version;
  std::string HomePage;
  std::string Email;
  std::string Text7;
  std::string AppPath;
};

// Strings 0, 1, 2, 4, 5 and 7 of `resLibrary`, and the major.minor version
// of `exeName`; a missing library or string leaves its fields empty.
RecSoftInfo ReadProductInfo(const std::string& resLibrary, const std::string& exeName);

// The caption of the main window: product name, a blank, the version.
std::string MainCaption(const RecSoftInfo& info);

// Looks for "Form.dll", then "Res.dll", in the program folder (which ends
// with the separator). For each one missing, `showAppMessage` is called
// with "'<name>' is not found. Please reinstall this program." and type 1.
// Returns false when anything is missing: the program must then end.
bool CheckCompanionFiles(const std::string& programFolder,
                         const std::function<int(const std::string& msg, int msgType)>& showAppMessage);

}  // namespace tarquel
