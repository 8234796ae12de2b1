#include <gtest/gtest.h>

#include "UtilityFuncs.h"
#include "Errors.h"
#include "SettingsFixture.h"

namespace tarquel::test {
namespace {
// Folders in the system's spelling, as the program writes them.
const std::string kSep(1, kPathSeparator);


namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

TEST(MessageBox, TypeChoosesTheIconOthersShowNothing) {
  Dialogs box;
  for (int type = -1; type <= 4; ++type) EXPECT_EQ(ShowMsgBox(box, "Hi.", type), type >= 0 && type <= 3);
  EXPECT_EQ(box.Icons, (std::vector<TMsgIcon>{TMsgIcon::Error, TMsgIcon::Warning, TMsgIcon::Question,
                                               TMsgIcon::Information}));
  EXPECT_EQ(box.Asked, Texts(4, "Tarquel|Hi."));
}

class UserSettings : public SettingsFixture {};

TEST_F(UserSettings, SavedAndLoadedRoundTrip) {
  user.LoadUserSettings();
  user.SaveUserSettings();
  EXPECT_EQ(ReadConfig(kUserSettingsFile),
            "\r\n[USRInfo]\r\nSHWDDir=0\r\nSHUTDOWN=0\r\nOutDir=" + Home() + kSep + "Tarquel\r\n");
  user.Settings = {"/data/out put", true, true};
  user.SaveUserSettings();
  TUserSettingsModel again(config, Home(), dialogs, dialogs);
  again.LoadUserSettings();
  EXPECT_EQ(again.Settings.OutDir, "/data/out put");
  EXPECT_TRUE(again.Settings.ShowOutputDirectory && again.Settings.Shutdown);
}

TEST_F(UserSettings, StoredForms) {
  const std::string byDefault = Home() + kSep + "Tarquel";
  const struct {
    const char* entries;
    bool show, shutdown;
    std::string outDir;
  } cases[] = {
      {"SHWDDir=1\r\nSHUTDOWN=0", true, false, byDefault},
      {"SHWDDir=true\r\nSHUTDOWN=yes", false, false, byDefault},
      {"SHWDDir= 1 \r\nSHUTDOWN=1\r\nOutDir=", true, true, byDefault},
      {"SHWDDir=01\r\nOutDir=  /media/out  ", false, false, "/media/out"},
  };
  for (const auto& c : cases) {
    WriteConfig(kUserSettingsFile, std::string("[USRInfo]\r\n") + c.entries);
    TUserSettingsModel model(config, Home(), dialogs, dialogs);
    model.LoadUserSettings();
    EXPECT_EQ(model.Settings.ShowOutputDirectory, c.show) << c.entries;
    EXPECT_EQ(model.Settings.Shutdown, c.shutdown) << c.entries;
    EXPECT_EQ(model.Settings.OutDir, c.outDir) << c.entries;
  }
}

TEST_F(UserSettings, OpenDialogFolder) {
  EXPECT_EQ(user.ReadInitDir(), Home() + kSep);
  for (const char* noFolder : {"", "clip.avi"}) user.WriteInitDir(noFolder);
  EXPECT_FALSE(fs::exists(ConfigFile(kUserSettingsFile)));
  user.WriteInitDir("/media/clips/a.avi");
  EXPECT_EQ(user.ReadInitDir(), "/media/clips/");
  // A folder whose name would plant keys is not stored.
  for (const char* planted : {"/media/clips\nSHUTDOWN=1/a.avi", "/media/clips\r\nOutDir=/tmp/a.avi"}) {
    user.WriteInitDir(planted);
  }
  EXPECT_EQ(user.ReadInitDir(), "/media/clips/");
  user.LoadUserSettings();
  EXPECT_FALSE(user.Settings.Shutdown);
  user.SaveUserSettings();  // "InitDir" stays where it was first added
  EXPECT_EQ(ReadConfig(kUserSettingsFile).substr(0, 34), "\r\n[USRInfo]\r\nInitDir=/media/clips/");
}

TEST_F(UserSettings, UnwritableOrMissingConfig) {
  WriteConfig(kUserSettingsFile, "[USRInfo]\r\nSHWDDir=1\r\n");
  fs::permissions(ConfigFile(kUserSettingsFile), fs::perms::owner_read);
  EXPECT_THROW(user.SaveUserSettings(), FileCreateError);
  EXPECT_THROW(user.WriteInitDir("/a/b.avi"), FileCreateError);
  EXPECT_EQ(ReadConfig(kUserSettingsFile), "[USRInfo]\r\nSHWDDir=1\r\n");
  RemoveAll(Config());
  user.LoadUserSettings();
  EXPECT_THROW(user.SaveUserSettings(), FileCreateError);
  EXPECT_FALSE(fs::exists(Config()));
}

TEST_F(UserSettings, SelectOutputFolder) {
  if (!kPosixFiles) GTEST_SKIP() << "no read-only folders nor line breaks in names here";
  const std::string writable = dir.File("writable"), readOnly = dir.File("readonly"), own = dir.File("own");
  const std::string current = dir.File("current"), missing = dir.File("a/b/missing");
  const std::string broken = dir.File("out\nSHUTDOWN=1");
  fs::create_directory(broken);
  fs::create_directory(writable);
  fs::create_directory(readOnly);
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec);
  fs::create_directories(own + "/test/keep");
  WriteConfig("x.txt", "");
  const struct {
    std::optional<std::string> picked;
    std::string current, expected;
    Texts warnings;
  } cases[] = {
      {std::nullopt, current, current, {}},
      {std::nullopt, missing, missing, {}},  // cancelled: a missing folder is created
      {writable, current, writable, {}},
      {own, current, own, {}},
      {dir.File("nowhere"), current, current, {"Tarquel|The path is invalid."}},
      {ConfigFile("x.txt"), current, current, {"Tarquel|The path is invalid."}},
      {readOnly, current, current, {"Tarquel|This is a read-only path."}},
      {broken, current, current, {"Tarquel|The path is invalid."}},
  };
  for (const auto& c : cases) {
    dialogs.Asked.clear();
    dialogs.Folders = {c.picked};
    user.Settings.OutDir = c.current;
    user.btnSelectOutputFolderClick();
    EXPECT_EQ(user.Settings.OutDir, c.expected);
    EXPECT_TRUE(fs::is_directory(c.expected));
    Texts asked = {"Please select output folder:"};
    asked.insert(asked.end(), c.warnings.begin(), c.warnings.end());
    EXPECT_EQ(dialogs.Asked, asked);
  }
  EXPECT_FALSE(fs::exists(writable + "/test") || fs::exists(readOnly + "/test"));
  EXPECT_TRUE(fs::exists(own + "/test/keep")) << "a test folder of the user's stays";
}

}  // namespace
}  // namespace tarquel::test
