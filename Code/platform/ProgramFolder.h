// Where the running executable lives — the program folder, which holds the
// encoders, the companion libraries and the help — and where the program
// keeps what it writes: its settings, log and encoder script.
#pragma once

#include <functional>
#include <string>

#include "DataFolders.h"

namespace tarquel::platform {

// The folder of the running executable with a trailing separator; empty
// when the system cannot tell.
std::string ExecutableFolder();

// The data folders of a program in `programFolder`. Beside the program when
// `writable(programFolder)` (the portable layout) and the folder is not the
// system's (under /usr or /opt, where packages install); otherwise the user's
// folders by the XDG base-directory rules: the settings under
// $XDG_CONFIG_HOME/Tarquel/ (default ~/.config) and the log and script under
// $XDG_STATE_HOME/Tarquel/ (default ~/.local/state). On Windows the system's
// folders are those under %ProgramFiles%, %ProgramFiles(x86)% and
// %SystemRoot%, and the user's are %APPDATA%\Tarquel\ for the settings and
// %LOCALAPPDATA%\Tarquel\ for the log and script (defaults under
// %USERPROFILE%\AppData). `environment` reads a variable, empty when unset.
// This is the one place that decides.
TDataFolders DecideDataFolders(const std::string& programFolder,
                               const std::function<std::string(const char*)>& environment,
                               const std::function<bool(const std::string&)>& writable);

// The data folders of the running program, decided from the process's
// environment and the program folder's permissions; the user's folders are
// created (with Config/) when they are used. Empty strings never come back:
// an unreadable home falls back to the account's home folder.
TDataFolders PrepareDataFolders(const std::string& programFolder);

}  // namespace tarquel::platform
