#include "CompanionLibrary.h"

#include <gtest/gtest.h>

namespace tarquel::platform {
namespace {

TEST(CompanionLibrary, ReadsStringsIntoA254CharacterBuffer) {
  const auto res = CompanionLibrary::Load(TEST_PROGRAM_DIR "Res.dll");
  ASSERT_TRUE(res);
  const struct {
    unsigned id;
    std::string text;
  } cases[] = {
      {0, "Test Company"}, {1, "Tarquel"}, {2, std::string(253, 'x')}, {3, ""}, {5, ""}, {999, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(res->LoadString(c.id), c.text) << c.id;
}

TEST(CompanionLibrary, ReadsANamedResourceOfAType) {
  const auto res = CompanionLibrary::Load(TEST_PROGRAM_DIR "Res.dll");
  ASSERT_TRUE(res);
  const auto picture = res->Resource("ImgFlash", "jpeg");
  ASSERT_TRUE(picture);
  ASSERT_EQ(picture->size(), 13u);
  EXPECT_EQ((*picture)[0], 0xFF);
  EXPECT_EQ((*picture)[1], 0xD8);
  EXPECT_FALSE(res->Resource("ImgFlash", "bmp"));
  EXPECT_FALSE(res->Resource("Other", "jpeg"));
  EXPECT_NE(res->Symbol("TarquelLoadString"), nullptr);
  EXPECT_EQ(res->Symbol("ShowAboutForm"), nullptr);
}

TEST(CompanionLibrary, AMissingOrForeignFileLoadsNothing) {
  EXPECT_FALSE(CompanionLibrary::Load(TEST_PROGRAM_DIR "Form.dll"));
  EXPECT_FALSE(CompanionLibrary::Load(TEST_PROGRAM_DIR "versioned_program" TEST_EXE_SUFFIX));  // an executable, not a library
  EXPECT_FALSE(CompanionLibrary::Load("Res.dll"));  // a bare name is not looked up on the search path
}

}  // namespace
}  // namespace tarquel::platform
