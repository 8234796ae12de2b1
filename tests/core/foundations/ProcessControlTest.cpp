#include "ProcessControl.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "TempDir.h"
#include "UtilityFuncs.h"

namespace tarquel {
namespace {

// A process list held in memory; termination removes an entry unless the
// process is marked as one that cannot be ended.
class FakeProcessTable : public IProcessTable {
 public:
  std::optional<std::vector<TProcessEntry>> Snapshot() override {
    ++snapshots;
    if (broken) return std::nullopt;
    return processes;
  }
  bool Terminate(std::uint32_t id) override {
    terminated.push_back(id);
    if (std::find(stubborn.begin(), stubborn.end(), id) != stubborn.end()) return false;
    std::erase_if(processes, [&](const TProcessEntry& p) { return p.ProcessId == id; });
    return true;
  }
  std::vector<TProcessEntry> processes;
  std::vector<std::uint32_t> stubborn, terminated;
  bool broken = false;
  int snapshots = 0;
};

class ProcessControl : public ::testing::Test {
 protected:
  std::string Log() const { return test::ReadFile(dir_.File("log.txt")); }
  int LogCount(const std::string& message) const {
    const std::string log = Log();
    int n = 0;
    for (auto at = log.find("|" + message); at != std::string::npos; at = log.find("|" + message, at + 1)) ++n;
    return n;
  }
  FakeProcessTable table_;
  test::TempDir dir_;
  TAppFunc log_{dir_.Folder()};
};

TEST_F(ProcessControl, FindProcessIdReturnsTheLastMatchIgnoringCase) {
  table_.processes = {{10, "evc.exe"}, {11, "Tarquel"}, {12, "EVC.EXE"}, {13, "revc.exe"}, {14, "evc.exe.bak"}};
  TSysFunc sys(table_);
  const struct {
    const char* name;
    std::uint32_t id;
  } cases[] = {{"EVC.EXE", 12}, {"evc.exe", 12}, {"Revc.Exe", 13}, {"tarquel", 11}, {"vc.exe", 0}, {"", 0}};
  for (const auto& c : cases) EXPECT_EQ(sys.FindProcessId(c.name), c.id) << c.name;
  table_.broken = true;
  EXPECT_EQ(sys.FindProcessId("evc.exe"), 0u);
  EXPECT_EQ(Log(), "");  // the lookup itself logs nothing
}

TEST_F(ProcessControl, KillMatchesTheFileNamePartOrTheWholeName) {
  table_.processes = {{1, "C:\\Tools\\EVC.exe"}, {2, "/opt/t/evc.exe"}, {3, "evc.exe"}, {4, "revc.exe"}};
  EXPECT_TRUE(KillProcessByName(table_, log_, "evc.exe"));
  EXPECT_EQ(table_.terminated, (std::vector<std::uint32_t>{1, 2, 3}));
  EXPECT_EQ(Log(), "");

  // The result is that of the last termination tried.
  table_.processes = {{5, "evc.exe"}, {6, "evc.exe"}};
  table_.stubborn = {6};
  EXPECT_FALSE(KillProcessByName(table_, log_, "evc.exe"));
  table_.processes = {{6, "evc.exe"}, {7, "evc.exe"}};
  EXPECT_TRUE(KillProcessByName(table_, log_, "evc.exe"));
  EXPECT_FALSE(KillProcessByName(table_, log_, "nothing.exe"));
  EXPECT_EQ(LogCount("Terminate process error."), 2);
}

TEST_F(ProcessControl, GetProcessIdByNameLogsWhenNothingIsFound) {
  table_.processes = {{8, "revc.exe"}, {9, "REVC.EXE"}};
  EXPECT_EQ(GetProcessIdByName(table_, log_, "revc.exe"), 9u);
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(GetProcessIdByName(table_, log_, "evc.exe"), 0u);
  EXPECT_EQ(LogCount("Get Process id error."), 1);
}

TEST_F(ProcessControl, StopEndsTheNamedEncoderFirstThenEveryEvc) {
  table_.processes = {{1, "evc.exe"}, {2, "revc.exe"}, {3, "other"}, {4, "evc.exe"}};
  int pauses = 0;
  EXPECT_TRUE(StopEncoderProcesses(table_, log_, "/opt/Tarquel/revc.exe", [&](auto) { ++pauses; }));
  EXPECT_EQ(table_.terminated, (std::vector<std::uint32_t>{2, 1, 4}));
  EXPECT_EQ(table_.processes.size(), 1u);
  EXPECT_EQ(pauses, 2);
  EXPECT_EQ(LogCount("Get Process id error."), 2);  // once per name, when it is gone
}

TEST_F(ProcessControl, StopGivesUpOnAProcessThatCannotBeEnded) {
  table_.processes = {{7, "evc.exe"}};
  table_.stubborn = {7};
  int pauses = 0;
  EXPECT_FALSE(StopEncoderProcesses(table_, log_, "evc.exe", [&](auto) { ++pauses; }, 5));
  // Both loops (the encoder's name and "evc.exe") try five times each.
  EXPECT_EQ(pauses, 10);
  EXPECT_EQ(table_.terminated.size(), 10u);
  EXPECT_EQ(LogCount("Terminate process error."), 10);
}

}  // namespace
}  // namespace tarquel
