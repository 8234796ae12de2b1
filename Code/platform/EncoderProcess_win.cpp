#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string_view>
#include <vector>

#include "CommandLine.h"
#include "EncoderProcess.h"
#include "Launcher.h"
#include "ProgramFolder.h"
#include "WinHandle.h"

namespace tarquel::platform {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsFile(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(win::Utf16(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The file Windows starts for a program path: the path itself, or with
// ".exe" added when it has no extension; empty when neither is a file.
std::string ProgramFile(const std::string& path) {
  if (path.empty()) return {};
  if (IsFile(path)) return path;
  const auto name = path.find_last_of("/\\");
  const bool extension = path.find('.', name == std::string::npos ? 0 : name + 1) != std::string::npos;
  return !extension && IsFile(path + ".exe") ? path + ".exe" : std::string();
}

// The program to start and the text of the line after it, exactly as
// written: the child's runtime splits that text itself, by the same rules.
struct Command {
  std::string program;
  std::string_view arguments;
};

Command ParseCommand(std::string_view line, const std::string& programPath) {
  while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
  if (!programPath.empty()) {
    if (line.substr(0, programPath.size()) == programPath) return {programPath, line.substr(programPath.size())};
    const std::string quoted = "\"" + programPath + "\"";
    if (line.substr(0, quoted.size()) == quoted) return {programPath, line.substr(quoted.size())};
    return {};
  }
  const ProgramAndArguments split =
      SplitProgramAndArguments(line, [](const std::string& path) { return !ProgramFile(path).empty(); });
  if (split.program.empty()) return {};
  if (line.front() == '"') {
    const auto close = line.find('"', 1);
    return {split.program, close == std::string_view::npos ? std::string_view() : line.substr(close + 1)};
  }
  return {split.program, line.substr(split.program.size())};
}

// This process's environment with the launcher's entry set to this
// process, as the block CreateProcessW takes (UTF-16, each entry ended by a
// zero, the block by another).
std::vector<wchar_t> EnvironmentWithLauncher() {
  const std::wstring own = win::Utf16(std::string(kLauncherVariable) + "=" + std::to_string(::GetCurrentProcessId()));
  const std::wstring_view name(own.data(), own.find(L'=') + 1);
  std::vector<std::wstring> entries;
  if (wchar_t* block = ::GetEnvironmentStringsW()) {
    for (const wchar_t* entry = block; *entry; entry += std::wcslen(entry) + 1) {
      const std::wstring_view text(entry);
      if (text.size() < name.size() || ::_wcsnicmp(entry, name.data(), name.size()) != 0) entries.emplace_back(text);
    }
    ::FreeEnvironmentStringsW(block);
  }
  entries.push_back(own);
  // Windows keeps the block sorted without regard to case.
  std::stable_sort(entries.begin(), entries.end(), [](const std::wstring& a, const std::wstring& b) {
    return ::_wcsicmp(a.c_str(), b.c_str()) < 0;
  });
  std::vector<wchar_t> result;
  for (const auto& entry : entries) result.insert(result.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
  result.push_back(L'\0');
  return result;
}

// The handles a child may inherit, and nothing else, even while another
// thread starts another child with inheritable handles of its own.
class HandleList {
 public:
  explicit HandleList(std::vector<HANDLE> handles) : Handles_(std::move(handles)) {
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    Storage_.resize(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(Storage_.data());
    if (size == 0 || !::InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
    Initialised_ = true;
    if (::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, Handles_.data(),
                                    Handles_.size() * sizeof(HANDLE), nullptr, nullptr)) {
      List_ = list;
    }
  }
  ~HandleList() {
    if (Initialised_) ::DeleteProcThreadAttributeList(reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(Storage_.data()));
  }
  HandleList(const HandleList&) = delete;
  HandleList& operator=(const HandleList&) = delete;
  // Null where the system cannot restrict inheritance this way.
  LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return List_; }

 private:
  std::vector<HANDLE> Handles_;
  std::vector<unsigned char> Storage_;
  bool Initialised_ = false;
  LPPROC_THREAD_ATTRIBUTE_LIST List_ = nullptr;
};

// A job that ends the child (and whatever it started) when its last handle
// closes: at the end of the run, or when this program ends however it ends.
win::Handle KillOnCloseJob() {
  win::Handle job(::CreateJobObjectW(nullptr, nullptr));
  if (!job.Valid()) return job;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!::SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) job.Reset();
  return job;
}

DWORD BytesWaiting(HANDLE pipe) {
  DWORD available = 0;
  return ::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) ? available : 0;
}

}  // namespace

bool RunEncoderProcess(const std::string& commandLine, const ChunkCallback& callback,
                       const EncoderRunOptions& options) {
  const Command command = ParseCommand(commandLine, options.programPath);
  std::string program = ProgramFile(command.program);
  if (program.empty()) return false;
  std::replace(program.begin(), program.end(), '/', '\\');

  std::string workingDirectory = options.workingDirectory;
  if (workingDirectory.empty()) workingDirectory = ExecutableFolder();
  // Without its trailing separator, but a drive's root keeps its own.
  while (workingDirectory.size() > 1 && (workingDirectory.back() == '\\' || workingDirectory.back() == '/') &&
         workingDirectory[workingDirectory.size() - 2] != ':') {
    workingDirectory.pop_back();
  }

  // Inheritable pipes anyone may use: a security descriptor whose access
  // list is present but null.
  SECURITY_DESCRIPTOR descriptor{};
  if (!::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !::SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE)) {
    return false;
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, TRUE};
  // The input pipe: the child's standard input, never written to. The
  // output pipe: the child's standard output and standard error together.
  win::Handle inRead, inWrite, outRead, outWrite;
  if (!::CreatePipe(inRead.Out(), inWrite.Out(), &attributes, 0)) return false;
  if (!::CreatePipe(outRead.Out(), outWrite.Out(), &attributes, 0)) return false;
  // This side's ends stay here.
  ::SetHandleInformation(inWrite.Get(), HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(outRead.Get(), HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOEXW startup{};
  ::GetStartupInfoW(&startup.StartupInfo);
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.StartupInfo.wShowWindow = SW_HIDE;
  startup.StartupInfo.hStdInput = inRead.Get();
  startup.StartupInfo.hStdOutput = outWrite.Get();
  startup.StartupInfo.hStdError = outWrite.Get();
  const HandleList inherited({inRead.Get(), outWrite.Get()});
  startup.lpAttributeList = inherited.Get();

  // The program's path quoted, then the arguments as the caller wrote them.
  std::wstring line = L"\"" + win::Utf16(program) + L"\"" + win::Utf16(command.arguments);
  std::vector<wchar_t> environment = EnvironmentWithLauncher();
  const std::wstring folder = win::Utf16(workingDirectory);
  DWORD flags = CREATE_NEW_CONSOLE | CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED;
  if (inherited.Get()) flags |= EXTENDED_STARTUPINFO_PRESENT;
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(win::Utf16(program).c_str(), line.data(), nullptr, nullptr, TRUE, flags,
                        environment.data(), folder.empty() ? nullptr : folder.c_str(), &startup.StartupInfo,
                        &started)) {
    return false;
  }
  win::Handle thread(started.hThread), process(started.hProcess);
  const win::Handle job = KillOnCloseJob();
  if (job.Valid()) ::AssignProcessToJobObject(job.Get(), process.Get());
  ::ResumeThread(thread.Get());

  DWORD exitCode = STILL_ACTIVE;
  char buffer[kReadBufferBytes];
  for (;;) {
    // The exit status first, then the pipe: what the child wrote just
    // before it ended is still delivered in this last pass. (The wait
    // tells an encoder that returned 259 from a running one.)
    if (!::GetExitCodeProcess(process.Get(), &exitCode)) exitCode = 0;
    const bool exited = exitCode != STILL_ACTIVE || ::WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0;
    DWORD peeked = 0, waiting = 0;
    if (!::PeekNamedPipe(outRead.Get(), buffer, kChunkBytes, &peeked, &waiting, nullptr)) peeked = 0;
    if (peeked > 0) {
      std::memset(buffer, 0, sizeof buffer);
      std::string chunk;
      DWORD got = 0;
      if (waiting <= static_cast<DWORD>(kChunkBytes)) {
        if (::ReadFile(outRead.Get(), buffer, kChunkBytes, &got, nullptr)) chunk.assign(buffer, got);
      } else {
        // A backlog: only its newest block matters to the reader. A pipe
        // read returns what is there, so none waits.
        do {
          got = 0;
          if (!::ReadFile(outRead.Get(), buffer, kChunkBytes, &got, nullptr)) break;
          if (got > 0) chunk.assign(buffer, got);
        } while (got == static_cast<DWORD>(kChunkBytes) && BytesWaiting(outRead.Get()) > 0);
      }
      chunk.resize(::strnlen(chunk.data(), chunk.size()));
      callback(chunk);
      if (!exited) ::WaitForSingleObject(process.Get(), static_cast<DWORD>(options.chunkPause.count()));
    } else if (!exited) {
      // A pipe cannot be waited on: the wait on the process is kept short
      // so that new output is handed on promptly.
      ::WaitForSingleObject(process.Get(), 15);
    }
    if (exited) break;
  }
  if (options.exitStatus) *options.exitStatus = static_cast<int>(exitCode);
  if (options.endSignal) *options.endSignal = 0;
  thread.Reset();
  process.Reset();
  inRead.Reset();
  outWrite.Reset();
  outRead.Reset();
  inWrite.Reset();
  return true;
}

}  // namespace tarquel::platform
