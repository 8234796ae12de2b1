// windows.h before the headers that build on it.
#include "WinHandle.h"

#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "PreviewProcess.h"

namespace tarquel::platform {

namespace {

// The environment entry that lists the handed-down handles' values.
constexpr const wchar_t* kHandDownVariable = L"TARQUEL_HANDED_DOWN";

[[noreturn]] void Fail(const char* what) {
  throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), what);
}

HANDLE AsHandle(int value) { return LongToHandle(value); }
int AsValue(HANDLE handle) { return HandleToLong(handle); }

// This process's environment block with one entry added (or replaced).
std::vector<wchar_t> EnvironmentWith(const std::wstring& entry) {
  const std::wstring_view name(entry.data(), entry.find(L'=') + 1);
  std::vector<wchar_t> block;
  if (wchar_t* own = ::GetEnvironmentStringsW()) {
    for (const wchar_t* at = own; *at; at += std::wcslen(at) + 1) {
      const std::size_t length = std::wcslen(at);
      if (length >= name.size() && ::_wcsnicmp(at, name.data(), name.size()) == 0) continue;
      block.insert(block.end(), at, at + length + 1);
    }
    ::FreeEnvironmentStringsW(own);
  }
  block.insert(block.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
  block.push_back(L'\0');
  return block;
}

// Quoted for the child's runtime, which splits its command line by the
// Windows rules.
std::wstring Quoted(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

// A thread that ends this process once `process` has ended.
void EndWith(win::Handle process) {
  std::thread([process = std::move(process)] {
    ::WaitForSingleObject(process.Get(), INFINITE);
    ::TerminateProcess(::GetCurrentProcess(), 1);
  }).detach();
}

}  // namespace

void CloseNativeHandle(int handle) { ::CloseHandle(AsHandle(handle)); }

int HandedDownHandle(std::size_t index) {
  const wchar_t* list = ::_wgetenv(kHandDownVariable);
  for (std::size_t at = 0; list && *list; ++at) {
    wchar_t* end = nullptr;
    const long value = std::wcstol(list, &end, 10);
    if (end == list) return -1;
    if (at == index) return static_cast<int>(value);
    list = *end == L',' ? end + 1 : end;
  }
  return -1;
}

// --- Shared memory ---------------------------------------------------------------

// A mapping of the paging file: its size is fixed when it is made.
TSharedMemory TSharedMemory::Create(std::size_t size) {
  const auto bytes = static_cast<unsigned long long>(size);
  const HANDLE mapping = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                              static_cast<DWORD>(bytes >> 32), static_cast<DWORD>(bytes), nullptr);
  if (mapping == nullptr) Fail("CreateFileMappingW");
  TSharedMemory block;
  block.Fd_.Reset(AsValue(mapping));
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
  void* data = ::MapViewOfFile(AsHandle(Fd_.Get()), FILE_MAP_ALL_ACCESS, 0, 0, size);
  if (data == nullptr) Fail("MapViewOfFile");
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
  if (Data_) ::UnmapViewOfFile(Data_);
  Data_ = nullptr;
  Size_ = 0;
  Fd_.Reset();
}

// --- Channel -------------------------------------------------------------------

// A two-way pipe of one instance under a name no one else has: this end is
// its server, the other end a client opened right away.
std::pair<TChannel, TChannel> TChannel::MakePair() {
  static std::atomic<unsigned> serial{0};
  const std::wstring name = L"\\\\.\\pipe\\tarquel-preview-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                            std::to_wstring(++serial) + L"-" + std::to_wstring(::GetTickCount64());
  win::Handle server(::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                        1, 65536, 65536, 0, nullptr));
  if (!server.Valid()) Fail("CreateNamedPipeW");
  win::Handle client(::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!client.Valid()) Fail("CreateFileW");
  if (!::ConnectNamedPipe(server.Get(), nullptr) && ::GetLastError() != ERROR_PIPE_CONNECTED) Fail("ConnectNamedPipe");
  return {TChannel(NativeHandle(AsValue(server.Release()))), TChannel(NativeHandle(AsValue(client.Release())))};
}

bool TChannel::Send(const std::string& bytes) {
  std::size_t done = 0;
  while (Fd_.Valid() && done < bytes.size()) {
    DWORD written = 0;
    const auto part = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
    if (!::WriteFile(AsHandle(Fd_.Get()), bytes.data() + done, part, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return Fd_.Valid();
}

long TChannel::Receive(std::string& into) {
  if (!Fd_.Valid()) return 0;
  DWORD waiting = 0;
  if (!::PeekNamedPipe(AsHandle(Fd_.Get()), nullptr, 0, nullptr, &waiting, nullptr)) return 0;  // closed or broken
  if (waiting == 0) return -1;
  char buffer[8192];
  DWORD got = 0;
  if (!::ReadFile(AsHandle(Fd_.Get()), buffer, std::min<DWORD>(waiting, sizeof buffer), &got, nullptr)) return 0;
  into.append(buffer, got);
  return static_cast<long>(got);
}

// A pipe gives nothing to wait on without overlapped reads: it is looked
// at every millisecond or so.
bool TChannel::WaitReadable(int ms) {
  if (!Fd_.Valid()) return true;
  const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(ms < 0 ? 0 : ms);
  for (;;) {
    DWORD waiting = 0;
    if (!::PeekNamedPipe(AsHandle(Fd_.Get()), nullptr, 0, nullptr, &waiting, nullptr) || waiting > 0) return true;
    if (::GetTickCount64() >= deadline) return false;
    ::Sleep(1);
  }
}

// --- Child process ---------------------------------------------------------------

// The hand-downs are made inheritable as copies, and the child may inherit
// those alone; their values reach it through its environment.
TChildProcess TChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                                   const std::vector<int>& handDown) {
  std::vector<win::Handle> copies;
  std::vector<HANDLE> inherited;
  std::wstring values;
  for (const int handle : handDown) {
    HANDLE copy = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), AsHandle(handle), ::GetCurrentProcess(), &copy, 0, TRUE,
                           DUPLICATE_SAME_ACCESS)) {
      Fail("DuplicateHandle");
    }
    copies.emplace_back(copy);
    inherited.push_back(copy);
    values += (values.empty() ? L"" : L",") + std::to_wstring(AsValue(copy));
  }

  SIZE_T size = 0;
  ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<unsigned char> storage(size);
  auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
  const bool listed = !inherited.empty() && size > 0 && ::InitializeProcThreadAttributeList(list, 1, 0, &size);
  const bool restricted = listed && ::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                                                inherited.data(), inherited.size() * sizeof(HANDLE),
                                                                nullptr, nullptr);
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.lpAttributeList = restricted ? list : nullptr;

  // A program named without an extension is its .exe, as a command line
  // would find it; CreateProcessW adds none itself.
  std::wstring path = win::Utf16(program);
  const std::size_t name = path.find_last_of(L"\\/");
  if (path.find(L'.', name == std::wstring::npos ? 0 : name) == std::wstring::npos) path += L".exe";
  std::wstring line = Quoted(path);
  for (const auto& a : args) line += L" " + Quoted(win::Utf16(a));
  std::vector<wchar_t> environment = EnvironmentWith(std::wstring(kHandDownVariable) + L"=" + values);
  PROCESS_INFORMATION started{};
  const BOOL ok = ::CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, !inherited.empty(),
                                   CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW |
                                       (restricted ? EXTENDED_STARTUPINFO_PRESENT : 0),
                                   environment.data(), nullptr, &startup.StartupInfo, &started);
  const DWORD error = ::GetLastError();
  if (listed) ::DeleteProcThreadAttributeList(list);
  if (!ok) {
    ::SetLastError(error);
    Fail("CreateProcessW");
  }
  ::CloseHandle(started.hThread);
  TChildProcess child;
  child.Process_.Reset(AsValue(started.hProcess));
  child.Pid_ = static_cast<int>(started.dwProcessId);
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

// `status` is the exit code; the handle goes with the process.
void TChildProcess::Reap(int status) {
  Reaped_ = true;
  Status_ = status;
  Process_.Reset();
}

bool TChildProcess::Ended() { return WaitEnded(0); }

bool TChildProcess::WaitEnded(int ms) {
  if (!Started() || Reaped_) return true;
  if (::WaitForSingleObject(AsHandle(Process_.Get()), static_cast<DWORD>(ms < 0 ? 0 : ms)) != WAIT_OBJECT_0) {
    return false;
  }
  DWORD code = 0;
  Reap(::GetExitCodeProcess(AsHandle(Process_.Get()), &code) ? static_cast<int>(code) : -1);
  return true;
}

void TChildProcess::Kill() {
  if (!Started() || Ended()) return;
  ::TerminateProcess(AsHandle(Process_.Get()), 1);
  if (!WaitEnded(5000)) Reap(-1);
}

// Exit codes from 0xC0000000 on are the exceptions that ended a process.
std::string TChildProcess::HowItEnded() const {
  const auto code = static_cast<unsigned>(Status_);
  if (code >= 0xC0000000u) {
    char text[32];
    std::snprintf(text, sizeof text, "exception 0x%08X", code);
    return text;
  }
  return "exit code " + std::to_string(Status_);
}

std::size_t TChildProcess::ResidentBytes() const {
  if (!Started() || Reaped_) return 0;
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!::GetProcessMemoryInfo(AsHandle(Process_.Get()), &counters, sizeof counters)) return 0;
  return counters.WorkingSetSize;
}

double TChildProcess::CpuSeconds() const {
  if (!Started() || Reaped_) return 0;
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!::GetProcessTimes(AsHandle(Process_.Get()), &created, &exited, &kernel, &user)) return 0;
  return static_cast<double>(win::Ticks(kernel) + win::Ticks(user)) / 1e7;
}

// Windows tells no child of its parent's end: a thread waits for it.
bool TieToParent(int parentPid) {
  win::Handle parent(::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(parentPid)));
  if (!parent.Valid() || ::WaitForSingleObject(parent.Get(), 0) != WAIT_TIMEOUT) return false;
  EndWith(std::move(parent));
  return true;
}

int CurrentProcessId() { return static_cast<int>(::GetCurrentProcessId()); }

}  // namespace tarquel::platform
