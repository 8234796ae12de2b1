#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "OwnProcesses.h"

extern char** environ;

namespace tarquel::platform::test_processes {

void WhileEndedButHeld(const std::string& program, const std::function<void()>& check) {
  std::string path = program;
  char mode[] = "silent";
  char ms[] = "0";
  char* argv[] = {path.data(), mode, ms, nullptr};
  pid_t pid = 0;
  if (::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0) return;
  siginfo_t info{};
  ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT);  // a zombie now
  check();
  ::waitpid(pid, nullptr, 0);
}

// A grandchild whose parent exits at once.
std::uint32_t StartStranger(const std::string& program) {
  int ids[2];
  if (::pipe(ids) != 0) return 0;
  const pid_t middle = ::fork();
  if (middle == 0) {
    const pid_t stranger = ::fork();
    if (stranger == 0) {
      ::close(ids[0]);
      ::close(ids[1]);
      char mode[] = "forever";
      char* argv[] = {const_cast<char*>(program.c_str()), mode, nullptr};
      ::execv(program.c_str(), argv);
      ::_exit(127);
    }
    [[maybe_unused]] const auto written = ::write(ids[1], &stranger, sizeof stranger);
    ::_exit(0);
  }
  ::close(ids[1]);
  pid_t stranger = 0;
  if (middle <= 0 || ::read(ids[0], &stranger, sizeof stranger) != sizeof stranger) stranger = 0;
  ::close(ids[0]);
  if (middle > 0) ::waitpid(middle, nullptr, 0);
  return static_cast<std::uint32_t>(stranger);
}

bool Runs(std::uint32_t id) { return ::kill(static_cast<pid_t>(id), 0) == 0; }
void End(std::uint32_t id) { ::kill(static_cast<pid_t>(id), SIGKILL); }

}  // namespace tarquel::platform::test_processes
