#include "ProgramFolder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace tarquel::platform {

namespace {

std::string WithSeparator(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

// An XDG base folder: the variable when it names an absolute path (relative
// ones are to be ignored), else the default under the home folder.
std::string BaseFolder(const std::function<std::string(const char*)>& environment, const char* variable,
                       const char* underHome) {
  const std::string value = environment(variable);
  if (!value.empty() && value.front() == '/') return WithSeparator(value);
  return WithSeparator(environment("HOME")) + underHome;
}

std::string AccountHome() {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir) {
    return found->pw_dir;
  }
  return "/";
}

}  // namespace

std::string ExecutableFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec || !exe.has_parent_path()) return std::string();
  return WithSeparator(exe.parent_path().string());
}

TDataFolders DecideDataFolders(const std::string& programFolder,
                               const std::function<std::string(const char*)>& environment,
                               const std::function<bool(const std::string&)>& writable) {
  // A program folder of the system's (an installed package's, under /usr or
  // /opt) is never written, not even by root, who could.
  const bool system = programFolder.rfind("/usr/", 0) == 0 || programFolder.rfind("/opt/", 0) == 0;
  if (!system && writable(programFolder)) return TDataFolders::Beside(programFolder);
  return TDataFolders{BaseFolder(environment, "XDG_CONFIG_HOME", ".config/") + "Tarquel/",
                      BaseFolder(environment, "XDG_STATE_HOME", ".local/state/") + "Tarquel/"};
}

TDataFolders PrepareDataFolders(const std::string& programFolder) {
  const auto environment = [](const char* name) -> std::string {
    const char* value = std::getenv(name);
    if (value && *value) return value;
    return std::string(name) == "HOME" ? AccountHome() : std::string();
  };
  const auto writable = [](const std::string& folder) {
    return !folder.empty() && access(folder.c_str(), W_OK | X_OK) == 0;
  };
  TDataFolders data = DecideDataFolders(programFolder, environment, writable);
  if (data.Settings != programFolder) {
    // Made on first start; a failure shows later, when a file cannot be written.
    std::error_code ec;
    std::filesystem::create_directories(data.Settings + "Config", ec);
    std::filesystem::create_directories(data.State, ec);
  }
  return data;
}

}  // namespace tarquel::platform
