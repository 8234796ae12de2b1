// Where the running executable lives: the program folder, which holds the
// encoders, the companion libraries, the log and the Config folder.
#pragma once

#include <string>

namespace tarquel::platform {

// The folder of the running executable with a trailing separator; empty
// when the system cannot tell.
std::string ExecutableFolder();

}  // namespace tarquel::platform
