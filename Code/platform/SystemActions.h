// The desktop and power services of this system.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "SystemServices.h"  // the interface, in core

namespace tarquel::platform {

// What the services finally do; the real ones unless a test records them.
// Each system's services use the backends of their own kind.
struct SystemBackends {
  // POSIX: starts argv[0] (looked up on the search path when it has no "/")
  // with the given arguments, without waiting; true when it started.
  std::function<bool(const std::vector<std::string>& argv)> startDetached;
  // POSIX: asks logind over the system bus to power off; true when accepted.
  std::function<bool()> logindPowerOff;
  // Windows: ShellExecuteW without an owner window, with `verb` (empty: the
  // default one), the file, the parameters, no folder and a normal window;
  // true when it started.
  std::function<bool(const std::string& verb, const std::string& file, const std::string& parameters)> shellExecute;
  // Windows: starts a command line with a normal window, as WinExec does,
  // without waiting; true when it started.
  std::function<bool(const std::string& commandLine)> winExec;
  // Windows: ExitWindowsEx(EWX_POWEROFF); true when the request was accepted.
  std::function<bool()> exitWindows;
};

SystemBackends RealSystemBackends();

// POSIX: default handler, browser and file manager through xdg-open;
// power-off through logind, else "systemctl poweroff"; memory trim through
// malloc_trim. Windows: ShellExecuteW for documents, addresses and
// "mailto:", "iexplore.exe" for the browser, "Explorer " + folder and the
// updater started by command line, power-off with the shutdown privilege,
// the working set emptied with SetProcessWorkingSetSize.
std::unique_ptr<ISystemServices> CreateSystemServices(SystemBackends backends = RealSystemBackends());

}  // namespace tarquel::platform
