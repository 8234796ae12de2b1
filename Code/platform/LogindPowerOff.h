// Powering off through logind (org.freedesktop.login1.Manager.PowerOff on
// the system bus), the first way the POSIX system actions try. Built as a
// stand-in that always declines where the build has no bus to talk to.
#pragma once

namespace tarquel::platform {

// Asks logind to power off; true when it accepted.
bool LogindPowerOff();

}  // namespace tarquel::platform
