#include "UtilityFuncs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "Errors.h"
#include "TempDir.h"

namespace tarquel {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using Names = std::vector<std::string>;

TEST(Utility, GetAfterLast) {
  TStrFunc s;
  EXPECT_EQ(s.GetAfterLast("movie.avi", '.'), "avi");
  EXPECT_EQ(s.GetAfterLast("movie", '.'), "movie");
  EXPECT_EQ(s.GetAfterLast("movie.", '.'), "");
  EXPECT_EQ(s.GetAfterLast("take_7_12", '_'), "12");
}

TEST(Utility, FileNameParts) {
  TFileFunc f;
  const struct {
    const char* path;
    const char* noExt;
    const char* folder;
  } cases[] = {
      {"/media/my.clip.avi", "my.clip", "/media/"},
      {"/media/clip", "", "/media/"},
      {"/media/.avi", "", "/media/"},
      {"/me.dia/clip", "", "/me.dia/"},
      {"clip.mp4", "clip", ""},
      {"/media/", "", "/media/"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(f.GetFileNameNoExt(c.path), c.noExt) << c.path;
    EXPECT_EQ(f.GetFilePath(c.path), c.folder) << c.path;
  }
}

TEST(Utility, GetFileListSkipsFoldersAndMatchesTheExtensionExactly) {
  TempDir dir;
  for (const char* name : {"a.mp4", "b.MP4", "c.mp4.txt", ".hidden", "readme", "d.mp4"}) {
    WriteFile(dir.File(name), "x");
  }
  std::filesystem::create_directory(dir.File("sub.mp4"));
  ::chmod(dir.File("d.mp4").c_str(), 0444);
  TFileFunc f;
  auto sorted = [](Names v) {
    std::sort(v.begin(), v.end());
    return v;
  };
  const std::string d = dir.Folder();
  EXPECT_EQ(sorted(f.GetFileList(d, ".mp4")), (Names{d + "a.mp4", d + "d.mp4"}));
  EXPECT_EQ(sorted(f.GetFileList(d, "")).size(), 6u);
  EXPECT_TRUE(f.GetFileList(d + "missing/", "").empty());
}

TEST(Utility, GetUniqueFileName) {
  const struct {
    Names present;
    const char* request;
    const char* result;
  } cases[] = {
      {{}, "clip.mp4", "clip.mp4"},
      {{"clip.avi"}, "clip.mp4", "clip_1.mp4"},  // any extension blocks the name
      {{"Clip.avi"}, "clip.mp4", "clip.mp4"},    // letter case counts
      {{"clip.avi", "clip_1.mp4"}, "clip.mp4", "clip_2.mp4"},
      {{"take_7.mp4"}, "take_7.mp4", "take_7_1.mp4"},
      {{"take_7.mp4", "take_7_1.mp3"}, "take_7.mp4", "take_7_2.mp4"},
      {{"readme", "clip"}, "clip.mp4", "clip.mp4"},  // no extension: empty base
      {{"a.b.mp4", "a.b_1.mp4"}, "a.b.mp4", "a.b_2.mp4"},
      {{"clip_1.mp4"}, "clip.mp4", "clip.mp4"},
      {{"readme"}, ".mp4", "_1.mp4"},
      {{}, "noext", ""},  // the base of a name without a dot is empty: the folder
      {{"readme"}, "noext", "(none)"},  // every candidate is blocked by readme
  };
  for (const auto& c : cases) {
    TempDir dir;
    for (const auto& name : c.present) WriteFile(dir.File(name), "");
    TFileFunc f;
    const std::string expected = std::string(c.result) == "(none)" ? "" : dir.Folder() + c.result;
    EXPECT_EQ(f.GetUniqueFileName(dir.Folder() + c.request), expected) << c.request;
    EXPECT_EQ(f.RequestedBaseName, f.GetFileNameNoExt(c.request));
  }
}

TEST(Utility, GetUniqueFileNameWalksLongRunsWithoutRecursion) {
  TempDir dir;
  WriteFile(dir.File("clip.mp4"), "");
  for (int i = 1; i < 300; ++i) WriteFile(dir.File("clip_" + std::to_string(i) + ".mp3"), "");
  TFileFunc f;
  EXPECT_EQ(f.GetUniqueFileName(dir.Folder() + "clip.mp4"), dir.Folder() + "clip_300.mp4");
}

TEST(Utility, SplitStrKeepsOnlyNonEmptyPieces) {
  const struct {
    const char* text;
    Names pieces;
  } cases[] = {
      {"2.0.0.0", {"2", "0", "0", "0"}}, {"..2..0.", {"2", "0"}}, {"", {}}, {"abc", {"abc"}}, {".", {}},
  };
  Names list = {"stale"};
  for (const auto& c : cases) {
    SplitStr(c.text, '.', list);
    EXPECT_EQ(list, c.pieces) << c.text;
  }
}

TEST(Utility, WriteLogAppendsOneStampedLinePerCall) {
  TempDir dir;
  TAppFunc app(dir.Folder(), [] { return std::time_t{1700000000}; });
  EXPECT_EQ(app.GetAppPath(), dir.Folder());
  app.WriteLog("parameter: \"/a b/evc.exe\" -y");
  app.WriteLog("");
  const std::string log = ReadFile(dir.File("log.txt"));
  const std::regex line(R"(Brenmoor \S+ \S+\|parameter: "/a b/evc\.exe" -y\r\nBrenmoor \S+ \S+\|\r\n)");
  EXPECT_TRUE(std::regex_match(log, line)) << log;
}

TEST(Utility, WriteLogFailsLoudlyWhenTheLogCannotBeWritten) {
  TempDir dir;
  TAppFunc app(dir.Folder() + "missing/");
  EXPECT_THROW(app.WriteLog("x"), InOutError);
}

}  // namespace
}  // namespace tarquel
