// windows.h before the headers that build on it.
#include "../WinHandle.h"

#include <tlhelp32.h>

#include <cstdlib>
#include <thread>

#include "Launcher.h"

namespace tarquel::platform {

namespace {

// When the process started, in 100 ns steps since 1601; 0 when unknown.
unsigned long long CreationTime(HANDLE process) {
  FILETIME created{}, exited{}, kernel{}, user{};
  return ::GetProcessTimes(process, &created, &exited, &kernel, &user) ? win::Ticks(created) : 0;
}

// The id of the process that started this one, from the process snapshot.
DWORD ParentProcessId() {
  const win::Handle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.Valid()) return 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  const DWORD self = ::GetCurrentProcessId();
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry)) {
    if (entry.th32ProcessID == self) return entry.th32ParentProcessID;
  }
  return 0;
}

}  // namespace

void EndWithLauncher() {
  const char* launcher = std::getenv(kLauncherVariable);
  if (!launcher || !*launcher) return;
  const DWORD pid = static_cast<DWORD>(std::strtoul(launcher, nullptr, 10));
  // The launcher must be this process's parent and older than it: an id
  // that was freed and given to another process meanwhile is not.
  win::Handle parent(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (!parent.Valid() || ParentProcessId() != pid || ::WaitForSingleObject(parent.Get(), 0) != WAIT_TIMEOUT ||
      CreationTime(parent.Get()) > CreationTime(::GetCurrentProcess())) {
    ::TerminateProcess(::GetCurrentProcess(), 1);
  }
  // Windows has no death signal of the parent: a thread waits for its end.
  std::thread([parent = std::move(parent)] {
    ::WaitForSingleObject(parent.Get(), INFINITE);
    ::TerminateProcess(::GetCurrentProcess(), 1);
  }).detach();
}

std::string OwnProcessIdentity() {
  return std::to_string(::GetCurrentProcessId()) + "/" + std::to_string(CreationTime(::GetCurrentProcess()));
}

bool ProcessIdentityAlive(const std::string& identity) {
  const auto slash = identity.find('/');
  if (slash == std::string::npos || slash == 0) return false;
  const std::string pid = identity.substr(0, slash);
  if (pid.find_first_not_of("0123456789") != std::string::npos || pid.size() > 10) return false;
  const win::Handle process(
      ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, std::strtoul(pid.c_str(), nullptr, 10)));
  if (!process.Valid() || ::WaitForSingleObject(process.Get(), 0) != WAIT_TIMEOUT) return false;
  return std::to_string(CreationTime(process.Get())) == identity.substr(slash + 1);
}

}  // namespace tarquel::platform
