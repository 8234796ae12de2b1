#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <string>

#include "OwnProcesses.h"

namespace tarquel::platform::test_processes {

namespace {

std::wstring Wide(const std::string& text) {
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 1), L'\0');
  if (size > 0) ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), size);
  wide.pop_back();
  return wide;
}

// Starts `program arguments`; its standard output is `output` when given.
PROCESS_INFORMATION Start(const std::string& program, const std::string& arguments, HANDLE output) {
  std::wstring line = L"\"" + Wide(program) + L"\" " + Wide(arguments);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (output) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
  }
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(Wide(program).c_str(), line.data(), nullptr, nullptr, output != nullptr, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &started)) {
    return {};
  }
  ::CloseHandle(started.hThread);
  return started;
}

}  // namespace

void WhileEndedButHeld(const std::string& program, const std::function<void()>& check) {
  const PROCESS_INFORMATION started = Start(program, "silent 0", nullptr);
  if (!started.hProcess) return;
  ::WaitForSingleObject(started.hProcess, 5000);
  check();
  ::CloseHandle(started.hProcess);
}

// The stand-in encoder's "spawn" starts the stranger and ends.
std::uint32_t StartStranger(const std::string& program) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  if (!::CreatePipe(&read, &write, &inheritable, 0)) return 0;
  ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  const PROCESS_INFORMATION middle = Start(program, "spawn \"" + program + "\"", write);
  ::CloseHandle(write);
  if (!middle.hProcess) {
    ::CloseHandle(read);
    return 0;
  }
  // What it printed is read once it has ended: the stranger may hold the
  // pipe open.
  ::WaitForSingleObject(middle.hProcess, 5000);
  ::CloseHandle(middle.hProcess);
  std::string text;
  char buffer[64];
  DWORD waiting = 0, got = 0;
  if (::PeekNamedPipe(read, nullptr, 0, nullptr, &waiting, nullptr) && waiting > 0 &&
      ::ReadFile(read, buffer, std::min<DWORD>(waiting, sizeof buffer), &got, nullptr)) {
    text.assign(buffer, got);
  }
  ::CloseHandle(read);
  return text.empty() ? 0 : static_cast<std::uint32_t>(std::stoul(text));
}

bool Runs(std::uint32_t id) {
  const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, id);
  if (!process) return false;
  const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  ::CloseHandle(process);
  return running;
}

void End(std::uint32_t id) {
  if (const HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, id)) {
    ::TerminateProcess(process, 1);
    ::CloseHandle(process);
  }
}

}  // namespace tarquel::platform::test_processes
