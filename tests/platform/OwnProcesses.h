// Processes the process-table tests start beside the runner's, one source
// per OS.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tarquel::platform::test_processes {

// Runs `program silent 0` and calls `check` once it has ended but before
// it is released (reaped on POSIX, its last handle closed on Windows).
void WhileEndedButHeld(const std::string& program, const std::function<void()>& check);

// Starts `program forever` as a process that does not descend from this
// one (its parent has ended): a stand-in for someone else's encoder. Its
// id, 0 on failure.
std::uint32_t StartStranger(const std::string& program);
bool Runs(std::uint32_t id);
void End(std::uint32_t id);

}  // namespace tarquel::platform::test_processes
