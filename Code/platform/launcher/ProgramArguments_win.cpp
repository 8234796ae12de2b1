#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cwchar>
#include <memory>

#include "ProgramArguments.h"

namespace tarquel::platform {

namespace {

struct LocalDeleter {
  void operator()(wchar_t** p) const { ::LocalFree(p); }
};

std::string Utf8(const wchar_t* text) {
  const int length = static_cast<int>(std::wcslen(text));
  if (length == 0) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) ::WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), size, nullptr, nullptr);
  return utf8;
}

}  // namespace

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  const std::unique_ptr<wchar_t*[], LocalDeleter> wide(::CommandLineToArgvW(::GetCommandLineW(), &count));
  // It fails only without memory; the ANSI argv is then the best there is.
  if (!wide) return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(Utf8(wide[i]));
  return arguments;
}

}  // namespace tarquel::platform
