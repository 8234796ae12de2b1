// Program entry: the command line, the application object, the windows, the
// event loop.
#include <cstdio>
#include <string>
#include <vector>

#include "Arguments.h"
#include "DiskSync.h"
#include "DurableFiles.h"
#include "ProgramArguments.h"
#include "TarquelApplication.h"

int main(int argc, char** argv) {
  // The settings the core writes reach the disk the system's way.
  tarquel::InstallDiskSync(
      {.File = tarquel::platform::SyncFileToDisk, .Folder = tarquel::platform::SyncFolderToDisk});
  // Read before the application object exists, which needs a display.
  // In UTF-8 on every system (Windows hands argv over in its ANSI code page).
  const tarquel::app::TArguments arguments = tarquel::app::ParseArguments(
      tarquel::platform::ProgramArguments(argc, argv), argc > 0 ? argv[0] : "tarquel");
  switch (arguments.Action) {
    case tarquel::app::TArguments::TAction::Help:
      std::fputs(tarquel::app::HelpText().c_str(), stdout);
      return 0;
    case tarquel::app::TArguments::TAction::Version:
      std::fputs(tarquel::app::VersionText().c_str(), stdout);
      return 0;
    case tarquel::app::TArguments::TAction::Error:
      std::fputs(tarquel::app::ErrorHint(arguments.Error).c_str(), stderr);
      return 2;
    case tarquel::app::TArguments::TAction::Run:
      break;
  }
  // The toolkit sees its own options alone; they live as long as it does.
  std::vector<std::string> toolkit = arguments.ToolkitArguments;
  std::vector<char*> toolkitArgv;
  for (std::string& argument : toolkit) toolkitArgv.push_back(argument.data());
  toolkitArgv.push_back(nullptr);
  int toolkitArgc = static_cast<int>(toolkit.size());

  // Qt's own media backend cannot open a plain MP4 here; FFmpeg's can.
  qputenv("QT_MEDIA_BACKEND", "ffmpeg");
  tarquel::app::TTarquelApplication app(toolkitArgc, toolkitArgv.data(), arguments.Files);
  return app.Run();
}
