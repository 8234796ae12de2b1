#include <limits.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "FakeEncoderSystem.h"

extern char** environ;

namespace tarquel::test::fake {

namespace {

void WriteTo(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

std::vector<std::string> Arguments(int argc, char** argv) { return {argv, argv + argc}; }
void Write(const std::string& text) { WriteTo(STDOUT_FILENO, text); }
void WriteError(const std::string& text) { WriteTo(STDERR_FILENO, text); }
void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void WaitForever() {
  for (;;) ::pause();
}

std::string WorkingDirectory() {
  char here[PATH_MAX];
  return ::getcwd(here, sizeof here) ? here : "?";
}

bool InputIsQuietPipe() {
  struct stat st{};
  pollfd in{STDIN_FILENO, POLLIN, 0};
  const bool pipe = ::fstat(STDIN_FILENO, &st) == 0 && S_ISFIFO(st.st_mode);
  return pipe && ::poll(&in, 1, 100) == 0;
}

bool OwnSession() { return ::getsid(0) == ::getpid(); }
unsigned long ProcessId() { return static_cast<unsigned long>(::getpid()); }

unsigned long StartForever(const std::string& program) {
  std::string path = program;
  char mode[] = "forever";
  char* argv[] = {path.data(), mode, nullptr};
  pid_t pid = 0;
  return ::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) == 0 ? static_cast<unsigned long>(pid) : 0;
}

void EndAbruptly(int number) {
  std::signal(number, SIG_DFL);
  std::raise(number);
  std::_Exit(1);
}

}  // namespace tarquel::test::fake
