#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "Launcher.h"

namespace tarquel::platform {

namespace {

// Field 22 of /proc/<pid>/stat: when the process started, in clock ticks
// since boot. Empty when there is no such process.
std::string StartTime(const std::string& pid) {
  std::ifstream file("/proc/" + pid + "/stat");
  const std::string stat((std::istreambuf_iterator<char>(file)), {});
  auto at = stat.rfind(')');
  if (at == std::string::npos) return {};
  // After the name: the state (field 3) and on to field 22.
  for (int field = 2; field < 22 && at != std::string::npos; ++field) at = stat.find(' ', at + 1);
  if (at == std::string::npos) return {};
  const auto end = stat.find(' ', at + 1);
  return stat.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
}

}  // namespace

void EndWithLauncher() {
  const char* launcher = std::getenv(kLauncherVariable);
  if (!launcher || !*launcher) return;
  const long pid = std::strtol(launcher, nullptr, 10);
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  // The launcher may have ended before the line above: its child would then
  // belong to another process already.
  if (::getppid() != static_cast<pid_t>(pid)) ::_exit(1);
}

std::string OwnProcessIdentity() {
  const std::string pid = std::to_string(::getpid());
  return pid + "/" + StartTime(pid);
}

bool ProcessIdentityAlive(const std::string& identity) {
  const auto slash = identity.find('/');
  if (slash == std::string::npos || slash == 0) return false;
  const std::string pid = identity.substr(0, slash);
  if (pid.find_first_not_of("0123456789") != std::string::npos) return false;
  const std::string started = StartTime(pid);
  return !started.empty() && started == identity.substr(slash + 1);
}

}  // namespace tarquel::platform
