#include <dirent.h>
#include <signal.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "ProcessTable.h"

namespace tarquel::platform {

namespace {

constexpr std::size_t kCommLength = 15;  // the kernel cuts longer names here

std::string ReadSmallFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string BaseName(std::string path) {
  constexpr std::string_view kDeleted = " (deleted)";
  if (path.size() > kDeleted.size() && path.ends_with(kDeleted)) path.resize(path.size() - kDeleted.size());
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The state letter of /proc/<pid>/stat: after the ")" that closes the name.
char ProcessState(const std::string& folder) {
  const std::string stat = ReadSmallFile(folder + "/stat");
  const auto close = stat.rfind(')');
  return (close == std::string::npos || close + 2 >= stat.size()) ? '?' : stat[close + 2];
}

// The image name: the kernel's short name, completed from the executable's
// path (or, where that link is not ours to read, from argv[0]) when the
// kernel has cut it.
std::string ImageName(const std::string& folder) {
  std::string comm = ReadSmallFile(folder + "/comm");
  if (!comm.empty() && comm.back() == '\n') comm.pop_back();
  if (comm.size() < kCommLength) return comm;
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink(folder + "/exe", ec);
  if (!ec) {
    std::string name = BaseName(exe.string());
    if (name.starts_with(comm)) return name;
  }
  const std::string cmdline = ReadSmallFile(folder + "/cmdline");
  std::string argv0 = BaseName(cmdline.substr(0, cmdline.find('\0')));
  return argv0.starts_with(comm) ? argv0 : comm;
}

class ProcTable final : public IProcessTable {
 public:
  std::optional<std::vector<TProcessEntry>> Snapshot() override {
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir("/proc"), ::closedir);
    if (!dir) return std::nullopt;
    std::vector<TProcessEntry> list;
    while (const dirent* entry = ::readdir(dir.get())) {
      const std::string_view name = entry->d_name;
      if (name.empty() || !std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isdigit(c); })) {
        continue;
      }
      const std::string folder = "/proc/" + std::string(name);
      const char state = ProcessState(folder);
      if (state == 'Z' || state == 'X' || state == '?') continue;  // ended, or gone meanwhile
      list.push_back({static_cast<std::uint32_t>(std::stoul(std::string(name))), ImageName(folder)});
    }
    return list;
  }

  bool Terminate(std::uint32_t processId) override {
    return processId != 0 && ::kill(static_cast<pid_t>(processId), SIGKILL) == 0;
  }
};

}  // namespace

std::unique_ptr<IProcessTable> CreateProcessTable() { return std::make_unique<ProcTable>(); }

}  // namespace tarquel::platform
