#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include "CommandLine.h"
#include "EncoderProcess.h"
#include "Launcher.h"
#include "PosixFd.h"
#include "ProgramFolder.h"

extern char** environ;

namespace tarquel::platform {

namespace {

bool IsProgramFile(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

int BytesWaiting(int fd) {
  int waiting = 0;
  return ::ioctl(fd, FIONREAD, &waiting) == 0 ? waiting : 0;
}

// Owns the spawn attributes and file actions for the duration of a spawn.
struct SpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
};

// A descriptor that becomes readable when the process ends; -1 where the
// kernel has none. (Called through syscall: glibc 2.36 declares its wrapper
// without C linkage.)
int OpenProcessFd(pid_t pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
  return -1;
#endif
}

// The child process of one run; reaped when the run ends, however it ends.
class Child {
 public:
  explicit Child(pid_t pid) : Pid_(pid), ExitFd_(OpenProcessFd(pid)) {}
  ~Child() {
    while (!Reaped_ && ::waitpid(Pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // Reads the exit status without waiting; true once the child has ended.
  bool Exited() {
    if (Reaped_) return true;
    int status = 0;
    const pid_t r = ::waitpid(Pid_, &status, WNOHANG);
    if (r == Pid_) {
      Status_ = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
      Signal_ = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }
    if (r == Pid_ || (r < 0 && errno == ECHILD)) Reaped_ = true;
    return Reaped_;
  }

  // How the child ended, once Exited() said so; -1 when unknown.
  int Status() const { return Status_; }
  // The signal that ended it, 0 when it exited by itself.
  int Signal() const { return Signal_; }

  // Waits until the child ends or `fd` has something to read (fd < 0: only
  // the end), at most `timeout`. Where the system gives no process
  // descriptor the wait is sliced so the end is still noticed quickly.
  void WaitForEndOr(int fd, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return;
      pollfd fds[2];
      nfds_t count = 0;
      if (ExitFd_.Valid()) fds[count++] = {ExitFd_.Get(), POLLIN, 0};
      if (fd >= 0) fds[count++] = {fd, POLLIN, 0};
      const int slice = ExitFd_.Valid() ? static_cast<int>(left.count()) : std::min<int>(10, static_cast<int>(left.count()));
      const int ready = ::poll(fds, count, slice);
      if (ready > 0) return;
      if (ready < 0 && errno != EINTR) return;
      if (!ExitFd_.Valid() && ProbeEnded()) return;
    }
  }

 private:
  bool ProbeEnded() {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(Pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == Pid_;
  }

  pid_t Pid_;
  PosixFd ExitFd_;
  bool Reaped_ = false;
  int Status_ = -1;
  int Signal_ = 0;
};

// The program and its arguments; an empty program when the line does not
// begin with the given program path.
ProgramAndArguments ParseCommand(const std::string& commandLine, const std::string& programPath) {
  if (!programPath.empty()) {
    std::string_view rest = commandLine;
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
    if (rest.substr(0, programPath.size()) == programPath) {
      return {programPath, SplitCommandLineArguments(rest.substr(programPath.size()))};
    }
    const std::string quoted = "\"" + programPath + "\"";
    if (rest.substr(0, quoted.size()) == quoted) {
      return {programPath, SplitCommandLineArguments(rest.substr(quoted.size()))};
    }
    return {};
  }
  return SplitProgramAndArguments(commandLine, IsProgramFile);
}

}  // namespace

bool RunEncoderProcess(const std::string& commandLine, const ChunkCallback& callback,
                       const EncoderRunOptions& options) {
  const ProgramAndArguments parsed = ParseCommand(commandLine, options.programPath);
  if (parsed.program.empty() || !IsProgramFile(parsed.program)) return false;

  std::string workingDirectory = options.workingDirectory;
  if (workingDirectory.empty()) workingDirectory = ExecutableFolder();
  if (workingDirectory.size() > 1 && workingDirectory.back() == '/') workingDirectory.pop_back();

  // The input pipe: the child's standard input, never written to. The
  // output pipe: the child's standard output and standard error together.
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return false;
  PosixFd inRead(in[0]), inWrite(in[1]);
  if (::pipe2(out, O_CLOEXEC) != 0) return false;
  PosixFd outRead(out[0]), outWrite(out[1]);

  SpawnSetup setup;
  posix_spawn_file_actions_adddup2(&setup.actions, inRead.Get(), STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&setup.actions, outWrite.Get(), STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&setup.actions, outWrite.Get(), STDERR_FILENO);
  if (!workingDirectory.empty()) posix_spawn_file_actions_addchdir_np(&setup.actions, workingDirectory.c_str());
  // Its own session (no terminal), an empty signal mask, default handlers.
  sigset_t noSignals, allSignals;
  sigemptyset(&noSignals);
  sigfillset(&allSignals);
  posix_spawnattr_setsigmask(&setup.attributes, &noSignals);
  posix_spawnattr_setsigdefault(&setup.attributes, &allSignals);
  posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<std::string> args;
  args.push_back(parsed.program);
  args.insert(args.end(), parsed.arguments.begin(), parsed.arguments.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  // The environment, with this program named as the encoder's launcher.
  const std::string launcher = std::string(kLauncherVariable) + "=" + std::to_string(::getpid());
  std::vector<char*> environment;
  for (char** entry = environ; *entry; ++entry) {
    if (std::strncmp(*entry, launcher.c_str(), std::strlen(kLauncherVariable) + 1) != 0) environment.push_back(*entry);
  }
  environment.push_back(const_cast<char*>(launcher.c_str()));
  environment.push_back(nullptr);

  pid_t pid = 0;
  if (::posix_spawn(&pid, parsed.program.c_str(), &setup.actions, &setup.attributes, argv.data(),
                    environment.data()) != 0) {
    return false;
  }
  Child child(pid);
  inRead.Reset();
  outWrite.Reset();
  ::fcntl(outRead.Get(), F_SETFL, ::fcntl(outRead.Get(), F_GETFL) | O_NONBLOCK);

  bool outputClosed = false;
  char buffer[kReadBufferBytes];
  for (;;) {
    // The exit status first, then the pipe: what the child wrote just
    // before it ended is still delivered in this last pass.
    const bool exited = child.Exited();
    int waiting = BytesWaiting(outRead.Get());
    if (waiting > 0) {
      std::string chunk;
      if (waiting <= kChunkBytes) {
        std::memset(buffer, 0, sizeof buffer);
        const ssize_t got = ::read(outRead.Get(), buffer, kChunkBytes);
        if (got > 0) chunk.assign(buffer, static_cast<std::size_t>(got));
      } else {
        // A backlog: only its newest block matters to the reader.
        ssize_t got;
        do {
          std::memset(buffer, 0, sizeof buffer);
          got = ::read(outRead.Get(), buffer, kChunkBytes);
          if (got > 0) chunk.assign(buffer, static_cast<std::size_t>(got));
          waiting = BytesWaiting(outRead.Get());
        } while (got == kChunkBytes && waiting > 0);
      }
      chunk.resize(::strnlen(chunk.data(), chunk.size()));
      callback(chunk);
      if (!exited) child.WaitForEndOr(-1, options.chunkPause);
    } else if (!exited) {
      if (!outputClosed) {
        pollfd probe{outRead.Get(), POLLIN, 0};
        outputClosed = ::poll(&probe, 1, 0) > 0 && (probe.revents & POLLHUP) && BytesWaiting(outRead.Get()) == 0;
      }
      child.WaitForEndOr(outputClosed ? -1 : outRead.Get(), std::chrono::milliseconds(250));
    }
    if (exited) break;
  }
  if (options.exitStatus) *options.exitStatus = child.Status();
  if (options.endSignal) *options.endSignal = child.Signal();
  return true;
}

}  // namespace tarquel::platform
