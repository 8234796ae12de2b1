// A private message bus of the test's own (dbus-daemon on a socket in a
// temporary folder), ended when the test ends; Pid is 0 without dbus-daemon.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

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
    // The socket's file is there from its bind, before the daemon listens:
    // ready once a connection is taken.
    for (int i = 0; i < 500 && Pid != 0 && !Listening(dir.File("bus")); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  static bool Listening(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    path.copy(address.sun_path, path.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
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
