#include <malloc.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <thread>

#include "LogindPowerOff.h"
#include "SystemActions.h"

extern char** environ;

namespace tarquel::platform {

namespace {

bool StartDetached(const std::vector<std::string>& argv) {
  if (argv.empty() || argv[0].empty()) return false;
  std::vector<std::string> args = argv;
  std::vector<char*> raw;
  for (auto& a : args) raw.push_back(a.data());
  raw.push_back(nullptr);

  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t noSignals, allSignals;
  sigemptyset(&noSignals);
  sigfillset(&allSignals);
  posix_spawnattr_setsigmask(&attributes, &noSignals);
  posix_spawnattr_setsigdefault(&attributes, &allSignals);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int error = ::posix_spawnp(&pid, raw[0], nullptr, &attributes, raw.data(), environ);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) return false;
  // Nobody waits for the program; a small thread reaps it when it ends so
  // that it leaves no zombie behind.
  std::thread([pid] {
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return true;
}

bool IsProgramFile(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

class PosixSystemServices final : public ISystemServices {
 public:
  explicit PosixSystemServices(SystemBackends backends) : B_(std::move(backends)) {}

  bool OpenWithDefaultHandler(const std::string& target) override { return Start({"xdg-open", target}); }
  bool OpenInBrowser(const std::string& address) override { return Start({"xdg-open", address}); }
  bool ExploreFolder(const std::string& folder) override { return Start({"xdg-open", folder}); }

  bool StartProgram(const std::string& program) override {
    // A bare name means the file of that name in the working directory
    // when there is one, else a program on the search path.
    if (program.find('/') == std::string::npos && IsProgramFile("./" + program)) return Start({"./" + program});
    return Start({program});
  }

  bool EnableShutdownPrivilege() override { return true; }  // no privilege to enable here

  bool PowerOffComputer() override {
    if (B_.logindPowerOff && B_.logindPowerOff()) return true;
    return Start({"systemctl", "poweroff"});
  }

  void TrimWorkingSet() override { ::malloc_trim(0); }

 private:
  bool Start(const std::vector<std::string>& argv) { return B_.startDetached && B_.startDetached(argv); }
  SystemBackends B_;
};

}  // namespace

SystemBackends RealSystemBackends() {
  SystemBackends backends;
  backends.startDetached = StartDetached;
  backends.logindPowerOff = LogindPowerOff;
  return backends;
}

std::unique_ptr<ISystemServices> CreateSystemServices(SystemBackends backends) {
  return std::make_unique<PosixSystemServices>(std::move(backends));
}

}  // namespace tarquel::platform
