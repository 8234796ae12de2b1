#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>

#include "ScreenSaver.h"
#include "SleepInhibitor.h"
#include "SystemActions.h"

namespace tarquel::platform {
namespace {

// Records what the services would start instead of starting it.
struct Recorder {
  std::vector<std::string> calls;
  bool powerOffAccepted = true;

  std::unique_ptr<ISystemServices> Services() {
    SystemBackends backends;
    backends.shellExecute = [this](const std::string& verb, const std::string& file, const std::string& parameters) {
      calls.push_back("ShellExecute(" + verb + "|" + file + "|" + parameters + ")");
      return true;
    };
    backends.winExec = [this](const std::string& line) {
      calls.push_back("WinExec(" + line + ")");
      return true;
    };
    backends.exitWindows = [this] {
      calls.push_back("ExitWindowsEx");
      return powerOffAccepted;
    };
    return CreateSystemServices(std::move(backends));
  }
};

TEST(SystemActions, EachActionIsOneCallOfItsService) {
  Recorder r;
  auto s = r.Services();
  s->OpenWithDefaultHandler("C:\\Tarquel\\Help.chm");
  s->OpenWithDefaultHandler("mailto:support@example.org");
  s->OpenInBrowser("https://example.org/codecs");
  s->ExploreFolder("C:\\My Videos\\");
  s->StartProgram("AutoUpDate.exe");
  EXPECT_EQ(r.calls, (std::vector<std::string>{"ShellExecute(|C:\\Tarquel\\Help.chm|)",
                                               "ShellExecute(|mailto:support@example.org|)",
                                               "ShellExecute(open|iexplore.exe|https://example.org/codecs)",
                                               "WinExec(Explorer C:\\My Videos\\)", "WinExec(AutoUpDate.exe)"}));
}

TEST(SystemActions, PowerOffTellsWhetherTheSystemAccepted) {
  for (const bool accepted : {true, false}) {
    Recorder r;
    r.powerOffAccepted = accepted;
    auto s = r.Services();
    s->EnableShutdownPrivilege();  // the outcome depends on the account
    EXPECT_EQ(s->PowerOffComputer(), accepted);
    EXPECT_EQ(r.calls, std::vector<std::string>{"ExitWindowsEx"});
  }
}

TEST(SystemActions, RealStartDoesNotWait) {
  const auto backends = RealSystemBackends();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(backends.winExec("\"" TEST_PROGRAM_DIR "fake_encoder.exe\" silent 3000"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_FALSE(backends.winExec(TEST_PROGRAM_DIR "no-such-program.exe"));
  CreateSystemServices()->TrimWorkingSet();
}

// Both holds share the thread's execution state: giving one back keeps the
// other.
TEST(ExecutionState, TheScreenSaverAndSleepHoldsAreTakenAndGivenBackApart) {
  TScreenSaverInhibitor screen("Tarquel");
  TSleepInhibitor sleep("Tarquel", "Converting");
  screen.Hold(true);
  sleep.Hold(true);
  EXPECT_TRUE(screen.Held());
  EXPECT_TRUE(sleep.Held());
  screen.Hold(false);
  EXPECT_FALSE(screen.Held());
  EXPECT_TRUE(sleep.Held());
  EXPECT_EQ(::SetThreadExecutionState(ES_CONTINUOUS) & ES_SYSTEM_REQUIRED, static_cast<EXECUTION_STATE>(ES_SYSTEM_REQUIRED));
  ::SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
  sleep.Hold(false);
  EXPECT_FALSE(sleep.Held());
}

}  // namespace
}  // namespace tarquel::platform
