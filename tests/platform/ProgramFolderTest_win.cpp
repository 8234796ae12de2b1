#include "ProgramFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace tarquel::platform {
namespace {

TEST(ProgramFolder, IsTheFolderOfTheRunningExecutableWithTrailingSeparator) {
  const std::string folder = ExecutableFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '\\');
  EXPECT_TRUE(std::filesystem::exists(folder + "platform_tests.exe"));
}

// Where the settings and the log go, by the program folder's permission and
// the environment.
TEST(DataFolders, BesideAWritableProgramElseInTheUsersAppData) {
  const std::map<std::string, std::string> env = {{"USERPROFILE", "C:\\Users\\ann"},
                                                  {"APPDATA", "C:\\Users\\ann\\AppData\\Roaming"},
                                                  {"LOCALAPPDATA", "D:\\local\\"},
                                                  {"ProgramFiles", "C:\\Program Files"},
                                                  {"ProgramFiles(x86)", "C:\\Program Files (x86)"},
                                                  {"SystemRoot", "C:\\Windows"}};
  const std::string roaming = "C:\\Users\\ann\\AppData\\Roaming\\Tarquel\\", local = "D:\\local\\Tarquel\\";
  const struct {
    std::string program;
    bool writable;
    bool withVariables;
    std::string settings, state;
  } cases[] = {
      {"D:\\Tarquel\\", true, true, "D:\\Tarquel\\", "D:\\Tarquel\\"},  // portable
      {"D:\\Tarquel\\", false, true, roaming, local},
      // An administrator can write an installed program's folder; it stays as installed.
      {"c:\\program files\\Tarquel\\", true, true, roaming, local},
      {"C:/Program Files (x86)/Tarquel/", true, true, roaming, local},
      {"C:\\Windows\\Temp\\", true, true, roaming, local},
      {"C:\\Program Files Extra\\Tarquel\\", true, true, "C:\\Program Files Extra\\Tarquel\\",
       "C:\\Program Files Extra\\Tarquel\\"},
      // Without the variables: under the profile folder.
      {"D:\\Tarquel\\", false, false, "C:\\Users\\ann\\AppData\\Roaming\\Tarquel\\",
       "C:\\Users\\ann\\AppData\\Local\\Tarquel\\"},
  };
  for (const auto& c : cases) {
    const TDataFolders data = DecideDataFolders(
        c.program,
        [&](const char* name) {
          if (!c.withVariables && std::string(name) != "USERPROFILE") return std::string();
          const auto found = env.find(name);
          return found == env.end() ? std::string() : found->second;
        },
        [&](const std::string&) { return c.writable; });
    EXPECT_EQ(data.Settings, c.settings) << c.program;
    EXPECT_EQ(data.State, c.state) << c.program;
  }
}

}  // namespace
}  // namespace tarquel::platform
