// Where the build has no system bus to talk to: logind is never asked, and
// the system actions go on to their next way of powering off.
#include "LogindPowerOff.h"

namespace tarquel::platform {

bool LogindPowerOff() { return false; }

}  // namespace tarquel::platform
