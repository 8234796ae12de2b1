#include "ProgramFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarquel::platform {
namespace {

TEST(ProgramFolder, IsTheFolderOfTheRunningExecutableWithTrailingSeparator) {
  const std::string folder = ExecutableFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(std::filesystem::exists(folder + "platform_tests"));
}

}  // namespace
}  // namespace tarquel::platform
