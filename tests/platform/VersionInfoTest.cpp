#include "VersionInfo.h"

#include <gtest/gtest.h>

#include "ProgramFolder.h"
#include "TempDir.h"

namespace tarquel::platform {
namespace {

TEST(VersionInfo, TheBuildStepGivesAnExecutableItsVersion) {
  EXPECT_EQ(GetAppVersion(TEST_PROGRAM_DIR "versioned_program" TEST_EXE_SUFFIX), "2.0");
  const auto block = ReadVersionBlock(TEST_PROGRAM_DIR "versioned_program" TEST_EXE_SUFFIX);
  ASSERT_TRUE(block);
  EXPECT_EQ(VersionQueryValue(*block, "\\StringFileInfo\\040904E4\\FileVersion"), "2.0.0.0");
  EXPECT_EQ(VersionQueryValue(*block, "\\VarFileInfo\\Translation"), std::string("\x09\x04\xE4\x04", 4));
}

TEST(VersionInfo, FilesWithoutABlockHaveNoVersion) {
  test::TempDir dir;
  test::WriteFile(dir.File("random"), std::string(4096, '\x7f') + "ELF junk");
  test::WriteFile(dir.File("elf-header-only"), std::string("\x7f" "ELF\x02\x01\x01", 7) + std::string(57, '\xff'));
  for (const std::string& file : {ExecutableFolder() + "platform_tests" TEST_EXE_SUFFIX, dir.File("random"),
                                 dir.File("elf-header-only"), dir.File("missing")}) {
    EXPECT_EQ(GetAppVersion(file), "") << file;
  }
}

TEST(VersionInfo, LooksUpTheFileVersionUnderTheFirstTranslation) {
  const std::string enUs1252("\x09\x04\xE4\x04", 4);
  const std::string twoTranslations = std::string("\x07\x04\xB0\x04", 4) + enUs1252;
  const struct {
    VersionEntries entries;
    const char* version;
  } cases[] = {
      {{{"\\VarFileInfo\\Translation", enUs1252}, {"\\StringFileInfo\\040904E4\\FileVersion", "2.0.0.0"}}, "2.0"},
      {{{"\\VarFileInfo\\Translation", twoTranslations},
        {"\\StringFileInfo\\040904E4\\FileVersion", "9.9.0.0"},
        {"\\StringFileInfo\\040704B0\\FileVersion", "3.12.1.0"}},
       "3.12"},
      {{{"\\StringFileInfo\\040904E4\\FileVersion", "2.0.0.0"}}, ""},  // no translation
      {{{"\\VarFileInfo\\Translation", enUs1252}}, ""},                 // no FileVersion
      {{{"\\VarFileInfo\\Translation", "\x09\x04"}, {"\\StringFileInfo\\040904E4\\FileVersion", "2.0"}}, ""},
      {{{"\\VarFileInfo\\Translation", enUs1252}, {"\\StringFileInfo\\040904e4\\FileVersion", "2.0.0.0"}}, ""},
      {{{"\\VarFileInfo\\Translation", enUs1252}, {"\\StringFileInfo\\040904E4\\FileVersion", "7"}}, "7"},
      {{{"\\VarFileInfo\\Translation", enUs1252}, {"\\StringFileInfo\\040904E4\\FileVersion", "..1..5."}}, "1.5"},
  };
  for (const auto& c : cases) EXPECT_EQ(AppVersionFromBlock(SerializeVersionBlock(c.entries)), c.version);
  const std::string good = SerializeVersionBlock(cases[0].entries);
  for (std::size_t cut = 0; cut < good.size(); ++cut) {
    EXPECT_EQ(AppVersionFromBlock(good.substr(0, cut)), "") << "cut at " << cut;
  }
}

}  // namespace
}  // namespace tarquel::platform
