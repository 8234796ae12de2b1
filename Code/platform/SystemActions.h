// The desktop and power services of this system.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "SystemServices.h"  // the interface, in core

namespace tarquel::platform {

// What the services finally do; the real ones unless a test records them.
struct SystemBackends {
  // Starts argv[0] (looked up on the search path when it has no "/")
  // with the given arguments, without waiting; true when it started.
  std::function<bool(const std::vector<std::string>& argv)> startDetached;
  // Asks logind over the system bus to power off; true when accepted.
  std::function<bool()> logindPowerOff;
};

SystemBackends RealSystemBackends();

// Default handler, browser and file manager through xdg-open; power-off
// through logind, else "systemctl poweroff"; memory trim through malloc_trim.
std::unique_ptr<ISystemServices> CreateSystemServices(SystemBackends backends = RealSystemBackends());

}  // namespace tarquel::platform
