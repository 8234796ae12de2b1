#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unordered_set>

#include "ProcessFamily.h"
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

// The state letter and the parent's id from /proc/<pid>/stat: both come
// after the ")" that closes the name (which may itself hold blanks and ")").
struct StatFields {
  char state = '?';
  std::uint32_t parent = 0;
};

StatFields ReadStat(const std::string& folder) {
  const std::string stat = ReadSmallFile(folder + "/stat");
  const auto close = stat.rfind(')');
  StatFields fields;
  if (close == std::string::npos || close + 2 >= stat.size()) return fields;
  fields.state = stat[close + 2];
  const auto parentAt = close + 4;
  if (parentAt < stat.size()) {
    std::uint32_t parent = 0;
    for (std::size_t i = parentAt; i < stat.size() && std::isdigit(static_cast<unsigned char>(stat[i])); ++i) {
      parent = parent * 10 + static_cast<std::uint32_t>(stat[i] - '0');
    }
    fields.parent = parent;
  }
  return fields;
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

struct ProcEntry {
  TProcessEntry entry;
  std::uint32_t parent = 0;
};

// Every running process with its parent; nullopt without a /proc.
std::optional<std::vector<ProcEntry>> ScanProc() {
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir("/proc"), ::closedir);
  if (!dir) return std::nullopt;
  std::vector<ProcEntry> list;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string_view name = entry->d_name;
    if (name.empty() || !std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isdigit(c); })) {
      continue;
    }
    const std::string folder = "/proc/" + std::string(name);
    const StatFields stat = ReadStat(folder);
    if (stat.state == 'Z' || stat.state == 'X' || stat.state == '?') continue;  // ended, or gone meanwhile
    list.push_back({{static_cast<std::uint32_t>(std::stoul(std::string(name))), ImageName(folder)}, stat.parent});
  }
  return list;
}

class ProcTable final : public IProcessTable {
 public:
  std::optional<std::vector<TProcessEntry>> Snapshot() override {
    auto list = ScanProc();
    if (!list) return std::nullopt;
    std::vector<TProcessEntry> result;
    result.reserve(list->size());
    for (auto& p : *list) result.push_back(std::move(p.entry));
    return result;
  }

  bool Terminate(std::uint32_t processId) override {
    return processId != 0 && ::kill(static_cast<pid_t>(processId), SIGKILL) == 0;
  }
};

// Only `root` and the processes descended from it: the rest of the machine
// is neither listed nor ever ended.
class DescendantTable final : public IProcessTable {
 public:
  explicit DescendantTable(std::uint32_t root) : Root_(root) {}

  std::optional<std::vector<TProcessEntry>> Snapshot() override {
    auto list = ScanProc();
    if (!list) return std::nullopt;
    const auto family = Family(*list);
    std::vector<TProcessEntry> result;
    for (auto& p : *list) {
      if (family.contains(p.entry.ProcessId)) result.push_back(std::move(p.entry));
    }
    return result;
  }

  // Looks again right before the signal, so an id that meanwhile left the
  // family (or was reused by a stranger) is not ended.
  bool Terminate(std::uint32_t processId) override {
    if (processId == 0 || processId == Root_) return false;
    const auto list = ScanProc();
    if (!list || !Family(*list).contains(processId)) return false;
    return ::kill(static_cast<pid_t>(processId), SIGKILL) == 0;
  }

 private:
  std::unordered_set<std::uint32_t> Family(const std::vector<ProcEntry>& list) const {
    std::vector<ProcessLink> links;
    links.reserve(list.size());
    for (const auto& p : list) links.push_back({p.entry.ProcessId, p.parent});
    return ProcessFamily(links, Root_);
  }

  std::uint32_t Root_;
};

}  // namespace

std::unique_ptr<IProcessTable> CreateProcessTable() { return std::make_unique<ProcTable>(); }

std::unique_ptr<IProcessTable> CreateDescendantProcessTable(std::uint32_t root) {
  return std::make_unique<DescendantTable>(root != 0 ? root : static_cast<std::uint32_t>(::getpid()));
}

}  // namespace tarquel::platform
