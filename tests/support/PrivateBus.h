// A private message bus of the test's own (dbus-daemon on a socket in a
// temporary folder), ended when the test ends; Pid is 0 without dbus-daemon.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"

extern char** environ;

namespace tarquel::test {

struct PrivateBus {
  PrivateBus() {
    Address = "unix:path=" + dir.File("bus");
    std::vector<std::string> argv = {"dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + Address};
    std::vector<char*> raw;
    for (auto& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    if (posix_spawnp(&Pid, raw[0], nullptr, nullptr, raw.data(), environ) != 0) Pid = 0;
    for (int i = 0; i < 200 && Pid != 0 && !std::filesystem::exists(dir.File("bus")); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~PrivateBus() {
    if (Pid == 0) return;
    kill(Pid, SIGTERM);
    waitpid(Pid, nullptr, 0);
  }
  TempDir dir;
  std::string Address;
  pid_t Pid = 0;
};

}  // namespace tarquel::test
