#include "ProgramFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace tarquel::platform {
namespace {

TEST(ProgramFolder, IsTheFolderOfTheRunningExecutableWithTrailingSeparator) {
  const std::string folder = ExecutableFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(std::filesystem::exists(folder + "platform_tests"));
}

// Where the settings and the log go, by the program folder's permission and
// the environment.
TEST(DataFolders, BesideAWritableProgramElseByTheXdgRules) {
  struct Case {
    const char* what;
    bool writable;
    std::map<std::string, std::string> env;
    std::string settings, state;
  };
  std::string program = "/home/ann/Tarquel/";
  const std::vector<Case> cases = {
      {"portable", true, {{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "/cfg"}}, program, program},
      // Root can write an installed program's folder; it stays as installed.
      {"/opt/tarquel/", true, {{"HOME", "/root"}}, "/root/.config/Tarquel/", "/root/.local/state/Tarquel/"},
      {"/usr/lib/tarquel/", true, {{"HOME", "/root"}}, "/root/.config/Tarquel/", "/root/.local/state/Tarquel/"},
      {"defaults", false, {{"HOME", "/home/ann"}}, "/home/ann/.config/Tarquel/", "/home/ann/.local/state/Tarquel/"},
      {"home with separator", false, {{"HOME", "/home/ann/"}}, "/home/ann/.config/Tarquel/",
       "/home/ann/.local/state/Tarquel/"},
      {"variables", false, {{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "/cfg"}, {"XDG_STATE_HOME", "/st/"}},
       "/cfg/Tarquel/", "/st/Tarquel/"},
      // Relative values are to be ignored.
      {"relative variables", false, {{"HOME", "/home/ann"}, {"XDG_CONFIG_HOME", "cfg"}, {"XDG_STATE_HOME", "st"}},
       "/home/ann/.config/Tarquel/", "/home/ann/.local/state/Tarquel/"},
  };
  for (const Case& c : cases) {
    std::string asked;
    program = c.what[0] == '/' ? c.what : "/home/ann/Tarquel/";
    const TDataFolders data = DecideDataFolders(
        program,
        [&](const char* name) {
          const auto found = c.env.find(name);
          return found == c.env.end() ? std::string() : found->second;
        },
        [&](const std::string& folder) {
          asked = folder;
          return c.writable;
        });
    if (c.what[0] != '/') {
      EXPECT_EQ(asked, program) << c.what;
    }
    EXPECT_EQ(data.Settings, c.settings) << c.what;
    EXPECT_EQ(data.State, c.state) << c.what;
  }
}

}  // namespace
}  // namespace tarquel::platform
