#include "ProcessTable.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "AdvanceSystem.h"
#include "OwnProcesses.h"
#include "PreviewProcess.h"
#include "TempDir.h"
#include "UtilityFuncs.h"

namespace tarquel::platform {
namespace {

using namespace std::chrono_literals;

class ProcessTable : public ::testing::Test {
 protected:
  // Waits until `name` runs (or gives up after five seconds).
  std::uint32_t WaitFor(const std::string& name) {
    for (int i = 0; i < 500; ++i) {
      if (const auto id = sys_.FindProcessId(name)) return id;
      std::this_thread::sleep_for(10ms);
    }
    return 0;
  }
  std::string Log() const { return test::ReadFile(dir_.File("log.txt")); }
  const std::uint32_t self_ = static_cast<std::uint32_t>(CurrentProcessId());

  // Only this test program and its children: another program's evc.exe
  // running on the same machine is never seen, let alone ended.
  std::unique_ptr<IProcessTable> table_ = CreateDescendantProcessTable();
  TSysFunc sys_{*table_};
  test::TempDir dir_;
  TAppFunc log_{dir_.Folder()};
};

TEST_F(ProcessTable, ListsThisProcessUnderItsFullImageName) {
  // The Linux kernel keeps 15 characters of "encoder_process_tests".
  const auto list = table_->Snapshot();
  ASSERT_TRUE(list);
  bool found = false;
  for (const auto& p : *list) found = found || (p.ProcessId == self_ && p.ExeFile == "encoder_process_tests" TEST_EXE_SUFFIX);
  EXPECT_TRUE(found);
  EXPECT_EQ(sys_.FindProcessId("ENCODER_PROCESS_TESTS" TEST_EXE_SUFFIX), self_);
  EXPECT_EQ(sys_.FindProcessId("encoder_process"), 0u);
}

TEST_F(ProcessTable, FindsAndKillsARunningEncoderByName) {
  for (const std::string& name : {std::string("evc.exe"), std::string("tarquel_long_encoder_name.exe")}) {
    TAdvanceSystem runner(TEST_PROGRAM_DIR + name + " forever", nullptr);
    runner.Start();
    std::string upper = name;
    for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ASSERT_NE(WaitFor(upper), 0u) << name;
    EXPECT_EQ(GetProcessIdByName(*table_, log_, name), sys_.FindProcessId(name));
    EXPECT_TRUE(KillProcessByName(*table_, log_, upper));
    // The runner notices the end, reaps the child and returns.
    for (int i = 0; i < 500 && !runner.Finished(); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(runner.Finished()) << name;
    EXPECT_EQ(sys_.FindProcessId(name), 0u) << name;
  }
  EXPECT_EQ(Log(), "");
}

TEST_F(ProcessTable, StopEncoderProcessesEndsTheEncoderAndEveryEvc) {
  TAdvanceSystem runner(TEST_PROGRAM_DIR "evc.exe forever", nullptr);
  runner.Start();
  ASSERT_NE(WaitFor("evc.exe"), 0u);
  int pauses = 0;
  EXPECT_TRUE(StopEncoderProcesses(*table_, log_, "/opt/Tarquel/revc.exe", [&](std::chrono::milliseconds ms) {
    EXPECT_EQ(ms, 100ms);
    ++pauses;
    std::this_thread::sleep_for(ms);
  }));
  EXPECT_GE(pauses, 1);
  for (int i = 0; i < 500 && !runner.Finished(); ++i) std::this_thread::sleep_for(10ms);
  EXPECT_TRUE(runner.Finished());
  EXPECT_EQ(sys_.FindProcessId("evc.exe"), 0u);
  // No revc.exe ran, and evc.exe was looked for once more after the kill.
  EXPECT_NE(Log().find("|Get Process id error.\r\n"), std::string::npos);
}

TEST_F(ProcessTable, AnEndedButUnreleasedProcessIsNotRunning) {
  // Ended, but not reaped (POSIX) or with a handle still open (Windows).
  test_processes::WhileEndedButHeld(TEST_PROGRAM_DIR "evc.exe", [&] { EXPECT_EQ(sys_.FindProcessId("evc.exe"), 0u); });
}

TEST_F(ProcessTable, AnotherProgramsEncoderIsNeitherSeenNorEnded) {
  const std::uint32_t stranger = test_processes::StartStranger(TEST_PROGRAM_DIR "evc.exe");
  ASSERT_GT(stranger, 0u);
  // It runs (the machine-wide table sees it) ...
  const auto everyone = CreateProcessTable();
  bool running = false;
  for (int i = 0; i < 500 && !running; ++i) {
    if (const auto list = everyone->Snapshot()) {
      for (const auto& p : *list) running = running || (p.ProcessId == stranger && p.ExeFile == "evc.exe");
    }
    if (!running) std::this_thread::sleep_for(10ms);
  }
  EXPECT_TRUE(running);
  // ... but not for this test's table, which will not end it either.
  EXPECT_EQ(sys_.FindProcessId("evc.exe"), 0u);
  EXPECT_FALSE(KillProcessByName(*table_, log_, "evc.exe"));
  EXPECT_FALSE(table_->Terminate(stranger));
  EXPECT_FALSE(table_->Terminate(self_));
  EXPECT_TRUE(StopEncoderProcesses(*table_, log_, "evc.exe", nullptr));
  EXPECT_TRUE(test_processes::Runs(stranger)) << "the stranger was ended";
  test_processes::End(stranger);  // this test started it, so this test ends it
}

TEST_F(ProcessTable, KillingNothingFailsAndSaysSo) {
  EXPECT_FALSE(KillProcessByName(*table_, log_, "no-such-program.exe"));
  EXPECT_FALSE(table_->Terminate(0));
  EXPECT_EQ(GetProcessIdByName(*table_, log_, "no-such-program.exe"), 0u);
  const std::string log = Log();
  EXPECT_NE(log.find("|Terminate process error.\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("|Get Process id error.\r\n"), std::string::npos) << log;
}

}  // namespace
}  // namespace tarquel::platform
