// Media files opened the careful way, on every system: what is no regular
// file is refused, and an output file is never replaced unless asked.
#include "RegularFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>  // MinGW's too

#include "TempDir.h"

namespace tarquel::platform {
namespace {

TEST(RegularFiles, OnlyARegularFileIsReadable) {
  test::TempDir dir;
  test::WriteFile(dir.File("clip.avi"), "RIFF");
  std::filesystem::create_directory(dir.File("folder.avi"));
  EXPECT_EQ(RegularFileProblem(dir.File("clip.avi")), "");
  EXPECT_EQ(RegularFileProblem(dir.File("folder.avi")), dir.File("folder.avi") + " is not a regular file");
  EXPECT_EQ(RegularFileProblem(dir.File("missing.avi")).rfind("cannot open " + dir.File("missing.avi") + ": ", 0), 0u);
}

TEST(RegularFiles, AnOutputFileIsCreatedOrReplacedOnlyWhenAsked) {
  test::TempDir dir;
  const std::string out = dir.File("out.mp4");
  std::string error;
  int fd = OpenOutputFile(out, false, error);
  ASSERT_GE(fd, 0) << error;
  // Binary: a "\n" stays one byte.
  EXPECT_EQ(::write(fd, "a\nb", 3), 3);
  ::close(fd);
  EXPECT_EQ(test::ReadFile(out), "a\nb");
  EXPECT_EQ(OpenOutputFile(out, false, error), -1);
  EXPECT_EQ(test::ReadFile(out), "a\nb");  // refused, and left alone
  fd = OpenOutputFile(out, true, error);
  ASSERT_GE(fd, 0) << error;
  ::close(fd);
  EXPECT_EQ(test::ReadFile(out), "");
  std::filesystem::create_directory(dir.File("folder.mp4"));
  EXPECT_EQ(OpenOutputFile(dir.File("folder.mp4"), true, error), -1);
  if (test::kPosixFiles) {
    std::filesystem::create_symlink(out, dir.File("link.mp4"));
    EXPECT_EQ(OpenOutputFile(dir.File("link.mp4"), true, error), -1);
    EXPECT_EQ(error, dir.File("link.mp4") + " is a symbolic link");
  }
}

}  // namespace
}  // namespace tarquel::platform
