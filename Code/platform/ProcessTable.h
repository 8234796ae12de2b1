// The system's process list and process termination.
#pragma once

#include <memory>

#include "ProcessControl.h"

namespace tarquel::platform {

// Running processes (zombies excluded) by image name; Terminate ends one at
// once, without warning.
std::unique_ptr<IProcessTable> CreateProcessTable();

}  // namespace tarquel::platform
