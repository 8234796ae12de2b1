// The system's process list and process termination.
#pragma once

#include <cstdint>
#include <memory>

#include "ProcessControl.h"

namespace tarquel::platform {

// Running processes (zombies excluded) by image name; Terminate ends one at
// once, without warning.
std::unique_ptr<IProcessTable> CreateProcessTable();

// As CreateProcessTable, limited to `root` (0: this process) and its
// descendants: nothing else is listed, and Terminate refuses anything else
// (and the root itself). For tests and tools that must never touch a
// process they did not start.
std::unique_ptr<IProcessTable> CreateDescendantProcessTable(std::uint32_t root = 0);

}  // namespace tarquel::platform
