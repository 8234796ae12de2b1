// The program's small actions outside itself that carry logic of their
// own: the help file to open and the hand-over to the updater.
#pragma once

#include <string>

#include "SystemServices.h"

namespace tarquel {

// The page the codec-pack installer can be downloaded from.
inline constexpr const char* kCodecDownloadAddress = "https://www.codecguide.com/download_kl.htm";

// Sets "UpdateModalUsr" to "true" and "UpdateTodayExeced" to "false" in
// section "AutoUpdate" of the program folder's "UpDateSettings.ini" when
// that file exists (nothing else in it changes), then starts the updater
// "AutoUpDate.exe" from the program folder without waiting.
void LaunchUpdater(const std::string& appPath, ISystemServices& services);

// The help to open: "Help.chm" in the program folder when `chmViewer`
// says a viewer for it is installed, else the same help as a web page.
std::string HelpFile(const std::string& appPath, bool chmViewer);

}  // namespace tarquel
