#include "SystemActions.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "TempDir.h"

namespace tarquel::platform {
namespace {

using Argv = std::vector<std::string>;

// Records what the services would start instead of starting it.
struct Recorder {
  std::vector<Argv> started;
  int logindCalls = 0;
  bool logindAccepts = false;

  std::unique_ptr<ISystemServices> Services() {
    SystemBackends backends;
    backends.startDetached = [this](const Argv& argv) {
      started.push_back(argv);
      return true;
    };
    backends.logindPowerOff = [this] {
      ++logindCalls;
      return logindAccepts;
    };
    return CreateSystemServices(std::move(backends));
  }
};

TEST(SystemActions, OpenCallsTheDesktopHandlerWithTheTargetWhole) {
  Recorder r;
  auto s = r.Services();
  s->OpenWithDefaultHandler("/opt/Tarquel/Help.chm");
  s->OpenWithDefaultHandler("mailto:support@example.org");
  s->OpenInBrowser("https://example.org/codecs");
  s->ExploreFolder("/home/user/My Videos/");
  EXPECT_EQ(r.started, (std::vector<Argv>{{"xdg-open", "/opt/Tarquel/Help.chm"},
                                          {"xdg-open", "mailto:support@example.org"},
                                          {"xdg-open", "https://example.org/codecs"},
                                          {"xdg-open", "/home/user/My Videos/"}}));
}

TEST(SystemActions, PowerOffAsksLogindFirstThenSystemctl) {
  for (const bool accepts : {true, false}) {
    Recorder r;
    r.logindAccepts = accepts;
    auto s = r.Services();
    EXPECT_TRUE(s->EnableShutdownPrivilege());
    EXPECT_TRUE(s->PowerOffComputer());
    EXPECT_EQ(r.logindCalls, 1);
    const std::vector<Argv> expected = accepts ? std::vector<Argv>{} : std::vector<Argv>{{"systemctl", "poweroff"}};
    EXPECT_EQ(r.started, expected);
  }
}

TEST(SystemActions, StartProgramPrefersTheWorkingDirectoryForABareName) {
  test::TempDir dir;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());
  Recorder r;
  auto s = r.Services();
  s->StartProgram("AutoUpDate.exe");
  test::WriteFile(dir.File("AutoUpDate.exe"), "#!/bin/sh\n");
  ::chmod(dir.File("AutoUpDate.exe").c_str(), 0755);
  s->StartProgram("AutoUpDate.exe");
  s->StartProgram("/opt/Tarquel/AutoUpDate.exe");
  std::filesystem::current_path(previous);
  EXPECT_EQ(r.started, (std::vector<Argv>{{"AutoUpDate.exe"}, {"./AutoUpDate.exe"}, {"/opt/Tarquel/AutoUpDate.exe"}}));
}

TEST(SystemActions, RealStartDoesNotWaitAndLeavesNoZombie) {
  // The program runs until the test lets it go, so a start that waited
  // for it would never return.
  test::TempDir dir;
  const std::string go = dir.File("go"), done = dir.File("done");
  const auto backends = RealSystemBackends();
  ASSERT_TRUE(backends.startDetached(
      {"/bin/sh", "-c", "while [ ! -e '" + go + "' ]; do sleep 0.01; done; touch '" + done + "'"}));
  EXPECT_FALSE(backends.startDetached({"/no/such/program"}));
  test::WriteFile(go, "");
  for (int i = 0; i < 500 && !std::filesystem::exists(done); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(std::filesystem::exists(done));
  CreateSystemServices()->TrimWorkingSet();
}

}  // namespace
}  // namespace tarquel::platform
