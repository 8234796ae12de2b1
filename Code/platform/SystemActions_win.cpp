// windows.h before the headers that build on it.
#include "WinHandle.h"

#include <shellapi.h>

#include "SystemActions.h"

namespace tarquel::platform {

namespace {

bool ShellExecuteNormal(const std::string& verb, const std::string& file, const std::string& parameters) {
  const std::wstring wideVerb = win::Utf16(verb), wideFile = win::Utf16(file), wideParameters = win::Utf16(parameters);
  const HINSTANCE result =
      ::ShellExecuteW(nullptr, verb.empty() ? nullptr : wideVerb.c_str(), wideFile.c_str(),
                      parameters.empty() ? nullptr : wideParameters.c_str(), nullptr, SW_SHOWNORMAL);
  // Values above 32 mean success.
  return reinterpret_cast<INT_PTR>(result) > 32;
}

// WinExec's start without its ANSI text: the line is found by the same
// search (the program's folder, the working directory, the system's
// folders, the path), with a normal window, and not waited for.
bool StartCommandLine(const std::string& commandLine) {
  std::wstring line = win::Utf16(commandLine);
  if (line.empty()) return false;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
    return false;
  }
  ::CloseHandle(started.hThread);
  ::CloseHandle(started.hProcess);
  return true;
}

bool ExitWindowsPowerOff() { return ::ExitWindowsEx(EWX_POWEROFF, SHTDN_REASON_FLAG_PLANNED) != 0; }

class WinSystemServices final : public ISystemServices {
 public:
  explicit WinSystemServices(SystemBackends backends) : B_(std::move(backends)) {}

  bool OpenWithDefaultHandler(const std::string& target) override {
    return B_.shellExecute && B_.shellExecute("", target, "");
  }
  // Always that browser, not the default one.
  bool OpenInBrowser(const std::string& address) override {
    return B_.shellExecute && B_.shellExecute("open", "iexplore.exe", address);
  }
  // The folder follows unquoted.
  bool ExploreFolder(const std::string& folder) override { return Start("Explorer " + folder); }
  bool StartProgram(const std::string& program) override { return Start(program); }

  bool EnableShutdownPrivilege() override { return win::EnablePrivilege(L"SeShutdownPrivilege"); }

  bool PowerOffComputer() override {
    EnableShutdownPrivilege();
    return B_.exitWindows && B_.exitWindows();
  }

  // All-ones limits: as many pages as can go leave the working set.
  void TrimWorkingSet() override {
    ::SetProcessWorkingSetSize(::GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
  }

 private:
  bool Start(const std::string& commandLine) { return B_.winExec && B_.winExec(commandLine); }
  SystemBackends B_;
};

}  // namespace

SystemBackends RealSystemBackends() {
  SystemBackends backends;
  backends.shellExecute = ShellExecuteNormal;
  backends.winExec = StartCommandLine;
  backends.exitWindows = ExitWindowsPowerOff;
  return backends;
}

std::unique_ptr<ISystemServices> CreateSystemServices(SystemBackends backends) {
  return std::make_unique<WinSystemServices>(std::move(backends));
}

}  // namespace tarquel::platform
