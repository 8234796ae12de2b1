#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include "FakeEncoderSystem.h"

namespace tarquel::test::fake {

namespace {

std::string Utf8(const wchar_t* wide) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
  if (size > 0) ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), size, nullptr, nullptr);
  text.pop_back();
  return text;
}

void WriteTo(DWORD which, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    DWORD written = 0;
    if (!::WriteFile(::GetStdHandle(which), text.data() + done, static_cast<DWORD>(text.size() - done), &written,
                     nullptr) ||
        written == 0) {
      return;
    }
    done += written;
  }
}

}  // namespace

// The wide command line, as the runner wrote it, split by the system.
std::vector<std::string> Arguments(int, char**) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) args.push_back(Utf8(wide[i]));
  ::LocalFree(wide);
  return args;
}

void Write(const std::string& text) { WriteTo(STD_OUTPUT_HANDLE, text); }
void WriteError(const std::string& text) { WriteTo(STD_ERROR_HANDLE, text); }
void Sleep(int ms) { ::Sleep(static_cast<DWORD>(ms)); }

void WaitForever() {
  for (;;) ::Sleep(INFINITE);
}

std::string WorkingDirectory() {
  wchar_t here[MAX_PATH * 4];
  const DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(std::size(here)), here);
  return length > 0 && length < std::size(here) ? Utf8(here) : "?";
}

bool InputIsQuietPipe() {
  const HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
  if (::GetFileType(in) != FILE_TYPE_PIPE) return false;
  ::Sleep(100);
  DWORD waiting = 0;
  return ::PeekNamedPipe(in, nullptr, 0, nullptr, &waiting, nullptr) && waiting == 0;
}

// Alone on its console: the runner gave it a new one.
bool OwnSession() {
  DWORD processes[4];
  return ::GetConsoleProcessList(processes, 4) == 1;
}

unsigned long ProcessId() { return ::GetCurrentProcessId(); }

// Detached from this program's console and handles.
unsigned long StartForever(const std::string& program) {
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, program.c_str(), -1, nullptr, 0);
  std::wstring path(static_cast<std::size_t>(size > 0 ? size : 1), L'\0');
  if (size > 0) ::MultiByteToWideChar(CP_UTF8, 0, program.c_str(), -1, path.data(), size);
  path.pop_back();
  std::wstring line = L"\"" + path + L"\" forever";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &started)) {
    return 0;
  }
  ::CloseHandle(started.hThread);
  ::CloseHandle(started.hProcess);
  return started.dwProcessId;
}

void EndAbruptly(int number) {
  ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(number));
  ::ExitProcess(static_cast<UINT>(number));
}

}  // namespace tarquel::test::fake
