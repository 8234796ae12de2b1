// windows.h before the headers that build on it.
#include "WinHandle.h"

#include "ProgramFolder.h"

#include <knownfolders.h>
#include <shlobj.h>

#include <cwctype>
#include <filesystem>
#include <system_error>
#include <vector>


namespace tarquel::platform {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string WithSeparator(std::string folder) {
  if (folder.empty() || !IsSeparator(folder.back())) folder += '\\';
  return folder;
}

// Whether `path` lies in `folder`, without regard to case or to which
// separator either uses.
bool IsUnder(const std::string& path, const std::string& folder) {
  if (folder.empty()) return false;
  const std::wstring a = win::Utf16(path), b = win::Utf16(WithSeparator(folder));
  if (a.size() < b.size()) return false;
  for (std::size_t i = 0; i < b.size(); ++i) {
    const wchar_t x = a[i] == L'/' ? L'\\' : std::towlower(a[i]), y = b[i] == L'/' ? L'\\' : std::towlower(b[i]);
    if (x != y) return false;
  }
  return true;
}

std::string KnownFolder(REFKNOWNFOLDERID id) {
  wchar_t* path = nullptr;
  std::string folder;
  if (SUCCEEDED(::SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path)) && path) folder = win::Utf8(path);
  ::CoTaskMemFree(path);
  return folder;
}

// A user folder from its variable, else from the profile folder.
std::string UserFolder(const std::function<std::string(const char*)>& environment, const char* variable,
                       const char* underProfile) {
  const std::string value = environment(variable);
  if (!value.empty()) return WithSeparator(value);
  return WithSeparator(environment("USERPROFILE")) + underProfile;
}

}  // namespace

std::string ExecutableFolder() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::string();
    if (length < buffer.size()) {
      const std::string path = win::Utf8(std::wstring_view(buffer.data(), length));
      const auto separator = path.find_last_of("\\/");
      return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
    }
    if (buffer.size() >= 32768) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

TDataFolders DecideDataFolders(const std::string& programFolder,
                               const std::function<std::string(const char*)>& environment,
                               const std::function<bool(const std::string&)>& writable) {
  // An installed program's folder is never written, not even by an
  // administrator, who could.
  const bool system = IsUnder(programFolder, environment("ProgramFiles")) ||
                      IsUnder(programFolder, environment("ProgramFiles(x86)")) ||
                      IsUnder(programFolder, environment("SystemRoot"));
  if (!system && writable(programFolder)) return TDataFolders::Beside(programFolder);
  return TDataFolders{UserFolder(environment, "APPDATA", "AppData\\Roaming\\") + "Tarquel\\",
                      UserFolder(environment, "LOCALAPPDATA", "AppData\\Local\\") + "Tarquel\\"};
}

TDataFolders PrepareDataFolders(const std::string& programFolder) {
  const auto environment = [](const char* name) -> std::string {
    const std::wstring wide = win::Utf16(name);
    const DWORD size = ::GetEnvironmentVariableW(wide.c_str(), nullptr, 0);
    if (size > 1) {
      std::wstring value(size, L'\0');
      const DWORD length = ::GetEnvironmentVariableW(wide.c_str(), value.data(), size);
      if (length > 0 && length < size) return win::Utf8(std::wstring_view(value.data(), length));
    }
    const std::string variable = name;
    if (variable == "APPDATA") return KnownFolder(FOLDERID_RoamingAppData);
    if (variable == "LOCALAPPDATA") return KnownFolder(FOLDERID_LocalAppData);
    if (variable == "USERPROFILE") return KnownFolder(FOLDERID_Profile);
    return std::string();
  };
  // Access rights decide, not the read-only attribute: a file is made there
  // and removed again.
  const auto writable = [](const std::string& folder) {
    if (folder.empty()) return false;
    const std::wstring probe = win::Utf16(WithSeparator(folder) + "tarquel-write-test-" +
                                          std::to_string(::GetCurrentProcessId()) + ".tmp");
    const win::Handle file(::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return file.Valid();
  };
  TDataFolders data = DecideDataFolders(programFolder, environment, writable);
  if (data.Settings != programFolder) {
    // Made on first start; a failure shows later, when a file cannot be written.
    std::error_code ec;
    std::filesystem::create_directories(win::Utf16(data.Settings + "Config"), ec);
    std::filesystem::create_directories(win::Utf16(data.State), ec);
  }
  return data;
}

}  // namespace tarquel::platform
