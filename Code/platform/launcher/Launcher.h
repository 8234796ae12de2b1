// Ties a companion program to the Tarquel that started it, and tells one
// running program instance from another.
#pragma once

#include <string>

namespace tarquel::platform {

// The environment entry through which a launching Tarquel names itself to
// the encoder it starts: "TARQUEL_LAUNCHER=<process id>".
inline constexpr const char* kLauncherVariable = "TARQUEL_LAUNCHER";

// Called first thing by a companion program: when a Tarquel started it,
// the program is ended as soon as that Tarquel ends, however it ends (also
// when it ended before this call). Does nothing for a program started by
// anyone else.
void EndWithLauncher();

// This process as an identity that no later process shares: its id and
// its start time.
std::string OwnProcessIdentity();

// Whether the process of an identity from OwnProcessIdentity still runs.
bool ProcessIdentityAlive(const std::string& identity);

}  // namespace tarquel::platform
