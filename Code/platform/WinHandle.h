// What the Windows sources of the platform share: an owned HANDLE, closed
// when its owner goes, and the conversion between the UTF-8 text used
// everywhere inside the program and the UTF-16 of the wide Windows APIs.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

namespace tarquel::platform::win {

class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE handle) : H_(handle) {}
  Handle(Handle&& other) noexcept : H_(std::exchange(other.H_, nullptr)) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.H_, nullptr));
    return *this;
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { Reset(); }

  HANDLE Get() const { return H_; }
  // Both null and INVALID_HANDLE_VALUE mean none: the APIs return either.
  bool Valid() const { return H_ != nullptr && H_ != INVALID_HANDLE_VALUE; }
  HANDLE* Out() {
    Reset();
    return &H_;
  }
  HANDLE Release() { return std::exchange(H_, nullptr); }
  void Reset(HANDLE handle = nullptr) {
    if (Valid()) ::CloseHandle(H_);
    H_ = handle;
  }

 private:
  HANDLE H_ = nullptr;
};

inline std::wstring Utf16(std::string_view text) {
  if (text.empty()) return {};
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0) ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

inline std::string Utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size =
      ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size, nullptr, nullptr);
  }
  return text;
}

// The system's message for an error code, on one line.
inline std::string ErrorText(DWORD code) {
  wchar_t* message = nullptr;
  const DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  std::string text = length ? Utf8(std::wstring_view(message, length)) : "error " + std::to_string(code);
  if (message) ::LocalFree(message);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.')) {
    text.pop_back();
  }
  return text;
}

// Enables one privilege of this process's token ("SeDebugPrivilege",
// "SeShutdownPrivilege"); false when the token does not hold it.
inline bool EnablePrivilege(const wchar_t* name) {
  Handle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.Out())) return false;
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!::LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid)) return false;
  // Succeeds also when not all were granted; the last error tells.
  return ::AdjustTokenPrivileges(token.Get(), FALSE, &privileges, sizeof privileges, nullptr, nullptr) &&
         ::GetLastError() == ERROR_SUCCESS;
}

// A FILETIME as one number of 100 ns steps.
inline unsigned long long Ticks(const FILETIME& time) {
  return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace tarquel::platform::win
