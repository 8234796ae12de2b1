// Putting files and folders on the disk: what can be synced is, and what is
// not a written file's folder says so.
#include "DurableFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "TempDir.h"

namespace tarquel {
namespace {

TEST(DurableFiles, SyncsAWrittenFileAndItsFolderOnly) {
  test::TempDir dir;
  const std::string path = dir.File("Settings.ini");
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
  ASSERT_TRUE(file);
  ASSERT_GE(std::fputs("[A]\r\n", file.get()), 0);
  ASSERT_EQ(std::fflush(file.get()), 0);
  EXPECT_TRUE(platform::SyncFileToDisk(file.get()));

  const struct {
    std::string folder;
    bool synced;
  } cases[] = {{dir.Path().string(), true}, {dir.File("missing"), false}, {path, false}};
  for (const auto& c : cases) EXPECT_EQ(platform::SyncFolderToDisk(c.folder), c.synced) << c.folder;
}

TEST(DurableFiles, AWrittenFileReplacesTheOldOneOrNothingChanges) {
  test::TempDir dir;
  test::WriteFile(dir.File("Settings.ini"), "old");
  test::WriteFile(dir.File("Settings.ini.tmp"), "new");
  EXPECT_TRUE(platform::ReplaceFileDurably(dir.File("Settings.ini.tmp"), dir.File("Settings.ini")));
  EXPECT_EQ(test::ReadFile(dir.File("Settings.ini")), "new");
  EXPECT_FALSE(platform::ReplaceFileDurably(dir.File("missing.tmp"), dir.File("Settings.ini")));
  EXPECT_EQ(test::ReadFile(dir.File("Settings.ini")), "new");
}

}  // namespace
}  // namespace tarquel
