// What the stand-in encoder needs of the system, one source per OS.
#pragma once

#include <string>
#include <vector>

namespace tarquel::test::fake {

// The arguments in UTF-8, the program's own first.
std::vector<std::string> Arguments(int argc, char** argv);
void Write(const std::string& text);
void WriteError(const std::string& text);
void Sleep(int ms);
[[noreturn]] void WaitForever();
std::string WorkingDirectory();
// Whether standard input is an open pipe with nothing on it for 100 ms.
bool InputIsQuietPipe();
// Whether it leads a session (POSIX) or has a console (Windows) of its own.
bool OwnSession();
unsigned long ProcessId();
// Starts `program forever` without waiting; its process id, 0 on failure.
unsigned long StartForever(const std::string& program);
// Ends by signal `number` (POSIX), or at once with that exit code (Windows).
[[noreturn]] void EndAbruptly(int number);

}  // namespace tarquel::test::fake
