// A stand-in encoder for the runner and process tests. The first argument
// says what it does:
//   status N      N status lines 100 ms apart, each ended by "\r"
//   burst BYTES   BYTES bytes ('A'..'Z' repeating) in one write, then exits
//   zero          "abc", a zero byte, "def"; then holds 300 ms
//   last          silent for 300 ms, then "last words" right before it ends
//   silent MS     writes nothing for MS ms
//   forever       never ends until killed
//   cwd           prints its working directory
//   args          prints each further argument as [argument]
//   stdin         says whether its input is an open pipe with nothing on it
//   session       says whether it leads a session of its own
//   pid           prints its process id
//   stderr        one line on standard output, one on standard error
//   raise N       ends itself by signal N
//   guarded       ends with the Tarquel that started it; prints its process
//                 id, then never ends by itself
// With any other first argument it echoes all its arguments as [argument].
#include <limits.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "Launcher.h"

namespace {

void Write(const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  const int number = argc > 2 ? std::atoi(argv[2]) : 0;
  if (mode == "status") {
    for (int i = 1; i <= number; ++i) {
      char line[128];
      std::snprintf(line, sizeof line, "frame=%5d q=%4.1f size=%8.0fkB time=%0.2f bitrate=%6.1fkbits/s\r", i * 25,
                    3.0, i * 10.0, static_cast<double>(i), 256.0);
      Write(line);
      Sleep(100);
    }
  } else if (mode == "burst") {
    std::string bytes(static_cast<std::size_t>(number), ' ');
    for (int i = 0; i < number; ++i) bytes[static_cast<std::size_t>(i)] = static_cast<char>('A' + i % 26);
    Write(bytes);
  } else if (mode == "zero") {
    Write(std::string("abc\0def", 7));
    Sleep(300);
  } else if (mode == "last") {
    Sleep(300);
    Write("last words");
  } else if (mode == "silent") {
    Sleep(number);
  } else if (mode == "forever") {
    for (;;) ::pause();
  } else if (mode == "cwd") {
    char here[PATH_MAX];
    Write(::getcwd(here, sizeof here) ? here : "?");
  } else if (mode == "args") {
    for (int i = 2; i < argc; ++i) Write("[" + std::string(argv[i]) + "]");
  } else if (mode == "stdin") {
    struct stat st{};
    pollfd in{STDIN_FILENO, POLLIN, 0};
    const bool pipe = ::fstat(STDIN_FILENO, &st) == 0 && S_ISFIFO(st.st_mode);
    const bool quiet = ::poll(&in, 1, 100) == 0;
    Write(pipe && quiet ? "open pipe, nothing on it" : "not as expected");
  } else if (mode == "session") {
    Write(::getsid(0) == ::getpid() ? "own session" : "shared session");
  } else if (mode == "pid") {
    Write(std::to_string(::getpid()));
  } else if (mode == "guarded") {
    tarquel::platform::EndWithLauncher();
    Write(std::to_string(::getpid()) + "\n");
    for (;;) ::pause();
  } else if (mode == "raise") {
    std::signal(number, SIG_DFL);
    std::raise(number);
  } else if (mode == "stderr") {
    Write("to stdout\n");
    Sleep(50);
    std::fputs("to stderr\n", stderr);
  } else {
    // Anything else: an encoder's command line, echoed as [argument]s.
    for (int i = 1; i < argc; ++i) Write("[" + std::string(argv[i]) + "]");
  }
  return 0;
}
