// windows.h before the headers that build on it.
#include "WinHandle.h"

#include <tlhelp32.h>

#include <memory>

#include "ProcessFamily.h"
#include "ProcessTable.h"

namespace tarquel::platform {

namespace {

struct ProcEntry {
  TProcessEntry entry;
  std::uint32_t parent = 0;
};

// Every process of a Toolhelp snapshot with the id of the process that
// started it; nullopt when no snapshot can be had.
std::optional<std::vector<ProcEntry>> ScanProcesses() {
  const win::Handle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.Valid()) return std::nullopt;
  std::vector<ProcEntry> list;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry)) {
    list.push_back({{entry.th32ProcessID, win::Utf8(entry.szExeFile)}, entry.th32ParentProcessID});
  }
  return list;
}

// Ends a process at once with exit code 0, with the debug privilege when
// the account has it (without, the processes of the same user can still be
// ended).
bool TerminateById(std::uint32_t processId) {
  static const bool debug [[maybe_unused]] = win::EnablePrivilege(L"SeDebugPrivilege");
  const win::Handle process(::OpenProcess(PROCESS_TERMINATE, FALSE, processId));
  return process.Valid() && ::TerminateProcess(process.Get(), 0);
}

class SnapshotTable final : public IProcessTable {
 public:
  std::optional<std::vector<TProcessEntry>> Snapshot() override {
    auto list = ScanProcesses();
    if (!list) return std::nullopt;
    std::vector<TProcessEntry> result;
    result.reserve(list->size());
    for (auto& p : *list) result.push_back(std::move(p.entry));
    return result;
  }

  bool Terminate(std::uint32_t processId) override { return processId != 0 && TerminateById(processId); }
};

// When a process was created, in 100 ns steps; 0 when it cannot be read.
unsigned long long CreationTime(std::uint32_t processId) {
  const win::Handle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!process.Valid() || !::GetProcessTimes(process.Get(), &created, &exited, &kernel, &user)) return 0;
  return win::Ticks(created);
}

// Only `root` and the processes descended from it. A process names the id
// its creator had, which may since belong to a stranger: a child must be
// younger than the parent it names.
class DescendantTable final : public IProcessTable {
 public:
  explicit DescendantTable(std::uint32_t root) : Root_(root) {}

  std::optional<std::vector<TProcessEntry>> Snapshot() override {
    auto list = ScanProcesses();
    if (!list) return std::nullopt;
    const auto family = Family(*list);
    std::vector<TProcessEntry> result;
    for (auto& p : *list) {
      if (family.contains(p.entry.ProcessId)) result.push_back(std::move(p.entry));
    }
    return result;
  }

  // Looks again right before the termination, so an id that meanwhile left
  // the family (or was reused by a stranger) is not ended.
  bool Terminate(std::uint32_t processId) override {
    if (processId == 0 || processId == Root_) return false;
    const auto list = ScanProcesses();
    if (!list || !Family(*list).contains(processId)) return false;
    return TerminateById(processId);
  }

 private:
  std::unordered_set<std::uint32_t> Family(const std::vector<ProcEntry>& list) const {
    std::vector<ProcessLink> links;
    links.reserve(list.size());
    for (const auto& p : list) links.push_back({p.entry.ProcessId, p.parent});
    std::unordered_map<std::uint32_t, unsigned long long> born;
    const auto bornAt = [&](std::uint32_t id) {
      const auto known = born.find(id);
      return known != born.end() ? known->second : born.emplace(id, CreationTime(id)).first->second;
    };
    return ProcessFamily(links, Root_, [&](std::uint32_t child, std::uint32_t parent) {
      const auto childBorn = bornAt(child), parentBorn = bornAt(parent);
      return childBorn != 0 && parentBorn != 0 && parentBorn <= childBorn;
    });
  }

  std::uint32_t Root_;
};

}  // namespace

std::unique_ptr<IProcessTable> CreateProcessTable() { return std::make_unique<SnapshotTable>(); }

std::unique_ptr<IProcessTable> CreateDescendantProcessTable(std::uint32_t root) {
  return std::make_unique<DescendantTable>(root != 0 ? root : static_cast<std::uint32_t>(::GetCurrentProcessId()));
}

}  // namespace tarquel::platform
