#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>
#include <utility>

#include "PosixFd.h"
#include "PreviewProcess.h"

extern char** environ;

namespace tarquel::platform {

namespace {

[[noreturn]] void Fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

// A copy of `fd` numbered above the ones handed down, so that putting the
// hand-downs in place never overwrites one another.
int AboveHandDowns(int fd) {
  const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 16);
  if (moved < 0) Fail("fcntl");
  return moved;
}

}  // namespace

void CloseNativeHandle(int handle) { ::close(handle); }

// The hand-downs were put in place from descriptor 3 on.
int HandedDownHandle(std::size_t index) { return 3 + static_cast<int>(index); }

// --- Shared memory ---------------------------------------------------------------

TSharedMemory TSharedMemory::Create(std::size_t size) {
  NativeHandle fd(::memfd_create("tarquel-preview-frames", MFD_CLOEXEC | MFD_ALLOW_SEALING));
  if (!fd.Valid()) Fail("memfd_create");
  if (::ftruncate(fd.Get(), static_cast<off_t>(size)) != 0) Fail("ftruncate");
  // Its size is fixed for good: a child that cut the block short would make
  // the parent's reads of it fault (SIGBUS).
  if (::fcntl(fd.Get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) != 0) Fail("fcntl(F_ADD_SEALS)");
  TSharedMemory block;
  block.Fd_ = std::move(fd);
  block.MapAll(size);
  return block;
}

TSharedMemory TSharedMemory::Map(int fd, std::size_t size) {
  TSharedMemory block;
  block.Fd_.Reset(fd);
  block.MapAll(size);
  return block;
}

void TSharedMemory::MapAll(std::size_t size) {
  void* data = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, Fd_.Get(), 0);
  if (data == MAP_FAILED) Fail("mmap");
  Data_ = data;
  Size_ = size;
}

TSharedMemory::TSharedMemory(TSharedMemory&& other) noexcept
    : Fd_(std::move(other.Fd_)), Data_(std::exchange(other.Data_, nullptr)), Size_(std::exchange(other.Size_, 0)) {}

TSharedMemory& TSharedMemory::operator=(TSharedMemory&& other) noexcept {
  if (this != &other) {
    Release();
    Fd_ = std::move(other.Fd_);
    Data_ = std::exchange(other.Data_, nullptr);
    Size_ = std::exchange(other.Size_, 0);
  }
  return *this;
}

TSharedMemory::~TSharedMemory() { Release(); }

void TSharedMemory::Release() {
  if (Data_) ::munmap(Data_, Size_);
  Data_ = nullptr;
  Size_ = 0;
  Fd_.Reset();
}

// --- Channel -------------------------------------------------------------------

std::pair<TChannel, TChannel> TChannel::MakePair() {
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) Fail("socketpair");
  return {TChannel(NativeHandle(fds[0])), TChannel(NativeHandle(fds[1]))};
}

bool TChannel::Send(const std::string& bytes) {
  std::size_t done = 0;
  while (Fd_.Valid() && done < bytes.size()) {
    const ssize_t n = ::send(Fd_.Get(), bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return Fd_.Valid();
}

long TChannel::Receive(std::string& into) {
  if (!Fd_.Valid()) return 0;
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::recv(Fd_.Get(), buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0) {
      into.append(buffer, static_cast<std::size_t>(n));
      return static_cast<long>(n);
    }
    if (n == 0) return 0;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return -1;
    return 0;  // a broken channel counts as closed
  }
}

bool TChannel::WaitReadable(int ms) {
  if (!Fd_.Valid()) return true;
  pollfd p{Fd_.Get(), POLLIN, 0};
  for (;;) {
    const int r = ::poll(&p, 1, ms);
    if (r < 0 && errno == EINTR) continue;
    return r > 0;
  }
}

// --- Child process ---------------------------------------------------------------

TChildProcess TChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                                   const std::vector<int>& handDown) {
  std::vector<PosixFd> moved;
  for (const int fd : handDown) moved.emplace_back(AboveHandDowns(fd));
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (std::size_t i = 0; i < moved.size(); ++i) {
    posix_spawn_file_actions_adddup2(&actions, moved[i].Get(), 3 + static_cast<int>(i));
  }
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> raw;
  for (auto& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);
  pid_t pid = 0;
  const int failed = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, raw.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) {
    errno = failed;
    Fail("posix_spawn");
  }
  TChildProcess child;
  child.Pid_ = pid;
  return child;
}

TChildProcess::TChildProcess(TChildProcess&& other) noexcept
    : Process_(std::move(other.Process_)),
      Pid_(std::exchange(other.Pid_, 0)),
      Reaped_(other.Reaped_),
      Status_(other.Status_) {}

TChildProcess& TChildProcess::operator=(TChildProcess&& other) noexcept {
  if (this != &other) {
    if (Started() && !Reaped_) Kill();
    Process_ = std::move(other.Process_);
    Pid_ = std::exchange(other.Pid_, 0);
    Reaped_ = other.Reaped_;
    Status_ = other.Status_;
  }
  return *this;
}

TChildProcess::~TChildProcess() {
  if (Started() && !Reaped_) Kill();
}

void TChildProcess::Reap(int status) {
  Reaped_ = true;
  Status_ = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

bool TChildProcess::Ended() {
  if (!Started() || Reaped_) return true;
  int status = 0;
  pid_t r;
  while ((r = ::waitpid(Pid_, &status, WNOHANG)) < 0 && errno == EINTR) {
  }
  if (r == Pid_) Reap(status);
  if (r < 0) Reaped_ = true;  // not ours to wait for any more
  return Reaped_;
}

bool TChildProcess::WaitEnded(int ms) {
  const timespec step{0, 5'000'000};
  for (int waited = 0; !Ended(); waited += 5) {
    if (waited >= ms) return false;
    ::nanosleep(&step, nullptr);
  }
  return true;
}

void TChildProcess::Kill() {
  if (!Started() || Ended()) return;
  ::kill(Pid_, SIGKILL);
  int status = 0;
  pid_t r;
  while ((r = ::waitpid(Pid_, &status, 0)) < 0 && errno == EINTR) {
  }
  if (r == Pid_) Reap(status);
  Reaped_ = true;
}

std::string TChildProcess::HowItEnded() const {
  if (Status_ > 128) {
    const int signal = Status_ - 128;
    return "signal " + std::to_string(signal) + " (" + ::strsignal(signal) + ")";
  }
  return "exit code " + std::to_string(Status_);
}

std::size_t TChildProcess::ResidentBytes() const {
  if (!Started() || Reaped_) return 0;
  std::ifstream statm("/proc/" + std::to_string(Pid_) + "/statm");
  std::size_t pages = 0, resident = 0;
  if (!(statm >> pages >> resident)) return 0;
  return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

double TChildProcess::CpuSeconds() const {
  if (!Started() || Reaped_) return 0;
  std::ifstream file("/proc/" + std::to_string(Pid_) + "/stat");
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  // The fields after the command name, which may itself hold spaces.
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

bool TieToParent(int parentPid) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  // The parent may have gone between the spawn and the tie.
  return ::getppid() == parentPid;
}

int CurrentProcessId() { return static_cast<int>(::getpid()); }

}  // namespace tarquel::platform
