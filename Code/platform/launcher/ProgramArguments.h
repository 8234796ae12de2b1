// A companion program's command line, as the UTF-8 texts the program works
// with.
#pragma once

#include <string>
#include <vector>

namespace tarquel::platform {

// The arguments after the program's own name, in UTF-8. On POSIX systems
// they are `argv` as it came (names there are bytes, UTF-8 on the desktop);
// on Windows, where `argv` is in the ANSI code page and cannot hold every
// name, they are read from the wide command line and `argv` is not used.
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace tarquel::platform
