// Where the program keeps the files it writes: its settings (the Config
// folder) and its log and encoder script. The platform layer decides; the
// core only uses what it is handed.
#pragma once

#include <string>

namespace tarquel {

struct TDataFolders {
  std::string Settings;  // the folder holding Config/, with its trailing separator
  std::string State;     // the folder of log.txt and VideoFile.avs, with its trailing separator

  // The portable layout: everything beside the program.
  static TDataFolders Beside(const std::string& appPath) { return TDataFolders{appPath, appPath}; }
};

}  // namespace tarquel
