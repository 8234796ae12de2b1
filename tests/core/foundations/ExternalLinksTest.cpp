#include "ExternalLinks.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "ServiceDoubles.h"
#include "TempDir.h"

namespace tarquel {
namespace {

TEST(ExternalLinks, TheUpdaterHandOverChangesOnlyItsTwoKeys) {
  test::TempDir dir;
  test::RecordingServices services;
  // Without the hand-over file none is made, and the updater still starts.
  LaunchUpdater(dir.Folder(), services);
  EXPECT_FALSE(std::filesystem::exists(dir.File("UpDateSettings.ini")));
  test::WriteFile(dir.File("UpDateSettings.ini"),
                  "[Server]\r\nUrl=http://x\r\n\r\n[AutoUpdate]\r\nUpdateModalUsr=false\r\nLastCheck=2026\r\n");
  LaunchUpdater(dir.Folder(), services);
  EXPECT_EQ(test::ReadFile(dir.File("UpDateSettings.ini")),
            "[Server]\r\nUrl=http://x\r\n\r\n[AutoUpdate]\r\nUpdateModalUsr=true\r\nLastCheck=2026\r\n"
            "UpdateTodayExeced=false\r\n");
  EXPECT_EQ(services.started, (std::vector<std::string>(2, dir.Folder() + "AutoUpDate.exe")));
}

TEST(ExternalLinks, HelpIsTheChmWhereAViewerCanShowIt) {
  test::TempDir dir;
  EXPECT_EQ(HelpFile(dir.Folder(), true), dir.Folder() + "Help.html");
  test::WriteFile(dir.File("Help.chm"), "ITSF");
  EXPECT_EQ(HelpFile(dir.Folder(), true), dir.Folder() + "Help.chm");
  EXPECT_EQ(HelpFile(dir.Folder(), false), dir.Folder() + "Help.html");
}

}  // namespace
}  // namespace tarquel
