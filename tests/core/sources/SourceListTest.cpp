#include "SourceList.h"

#include <gtest/gtest.h>

#include "IniFiles32.h"
#include "SourceDoubles.h"
#include "SourceFiles.h"
#include "TempDir.h"
#include "TextFormats.h"
#include "Utf8Paths.h"

namespace tarquel {
namespace {

using Paths = std::vector<std::string>;

TSourceRow RowFor(const std::string& path) { return NewSourceRow(path, 1024, 10); }

TSourceList ListOf(int rows) {
  TSourceList list;
  for (int i = 0; i < rows; ++i) list.Append(RowFor(std::string(1, static_cast<char>('a' + i))));
  return list;
}

Paths PathsOf(const TSourceList& list) {
  Paths paths;
  for (int i = 0; i < list.Count(); ++i) paths.push_back(list.Cell(i, dxtrlSourceFileName));
  return paths;
}

TEST(SourceList, PathsAreUniqueByExactText) {
  TSourceList list;
  EXPECT_TRUE(list.Append(RowFor("/m/clip.avi")));
  EXPECT_FALSE(list.Append(RowFor("/m/clip.avi")));
  EXPECT_TRUE(list.Append(RowFor("/m/Clip.avi")));
  list.DeleteRows({0});
  EXPECT_FALSE(list.Contains("/m/clip.avi"));
  EXPECT_TRUE(list.Append(RowFor("/m/clip.avi")));
  EXPECT_EQ(PathsOf(list), (Paths{"/m/Clip.avi", "/m/clip.avi"}));
  EXPECT_THROW(list.SetCell(0, dxtrlSourceFileName, "/other"), std::logic_error);
}

TEST(SourceList, TextsReadIntoTheCellsShowAsTheyCame) {
  const struct {
    const char* typed;
    std::int64_t seconds;
    bool blank;
  } cases[] = {
      {"00:01:40", 100, false}, {"123:00:05", 442'805, false},
      {"", 0, true},            // the editor's zero
      {"1:2:3", 3723, false},   // a time, though not as the list writes one
      {"00:00:xx", 0, false},   {"bad", 0, false},
  };
  for (const auto& c : cases) {
    TSourceList list = ListOf(1);
    list.SetCell(0, dxtrlSourceFileStartTime, c.typed);
    EXPECT_EQ(list.Cell(0, dxtrlSourceFileStartTime), c.typed);
    EXPECT_EQ(list.Row(0).Start.Seconds(), c.seconds) << c.typed;
    EXPECT_EQ(list.Row(0).Start.Blank(), c.blank) << c.typed;
  }
  TSourceList list = ListOf(1);
  list.SetTime(0, dxtrlstclConvertDuration, -5);
  list.SetCell(0, dxtrlchkCheckStatus, "False");
  EXPECT_EQ(list.Texts(0), (TSourceCells{"False", "a", "1 KB", "00:00:10", "00:00:00", "00:00:10", "00:00:00"}));
  list.SetCell(0, dxtrlchkCheckStatus, "True");
  EXPECT_TRUE(list.Row(0).Checked);
  EXPECT_THROW(list.SetCell(0, dxtrlSourceFileSize, "2 KB"), std::logic_error);
}

TEST(SourceList, DeleteSelectedRowsMovesTheFocusUp) {
  const struct {
    std::vector<int> selected;
    int focused;
    const char* remaining;
    int focusedAfter;  // -1: none
    std::vector<int> selectedAfter;
  } cases[] = {
      {{2}, 2, "abde", 1, {1}},         // a single focused row in the middle
      {{0}, 0, "bcde", -1, {}},         // no row above the first
      {{1, 2}, 2, "ade", -1, {}},       // the row above goes too
      {{0, 3}, 2, "bce", 0, {0}},       // focus on an unselected row: row b takes it
      {{4}, -1, "abcd", -1, {}},        // no focused row
      {{}, 2, "abcde", 2, {}},          // nothing selected: nothing happens
  };
  for (const auto& c : cases) {
    TSourceList list = ListOf(5);
    for (int row : c.selected) list.SetSelected(row, true);
    list.SetFocusedRow(c.focused);
    DeleteSelectedRows(list);
    std::string remaining;
    for (const auto& path : PathsOf(list)) remaining += path;
    EXPECT_EQ(remaining, c.remaining) << c.remaining;
    EXPECT_EQ(list.FocusedRow(), c.focusedAfter) << c.remaining;
    EXPECT_EQ(list.SelectedRows(), c.selectedAfter) << c.remaining;
  }
}

TEST(SourceFiles, PickSourceFiles) {
  test::FakeOpenDialog dialog;
  dialog.Chosen = {"/m/b.avi", "/m/a.avi", "/m/b.avi", "/m/B.avi"};
  EXPECT_EQ(PickSourceFiles(dialog, true, "/home/u/"), (Paths{"/m/b.avi", "/m/a.avi", "/m/B.avi"}));
  EXPECT_EQ(dialog.InitialDir, "/home/u/");
  EXPECT_EQ(PickSourceFiles(dialog, false, "/"), dialog.Chosen);
  dialog.Cancel = true;
  EXPECT_TRUE(PickSourceFiles(dialog, true, "/").empty());
}

TEST(SourceFiles, ExtensionTest) {
  for (const char* path : {"/m/a.avi", "/m/a.MPG", "/m/a.mp4", "/m/a.3g2", "/m/a.vob", "/m/x.y.RmVb", "a.swf",
                           "/m/a.MKV", "/m/a.webm", "/m/a.m2ts", "/m/a.flac", "/m/a.opus"}) {
    EXPECT_TRUE(IsSourceFileExtension(path)) << path;
    EXPECT_EQ(SkipReason(path), "") << path;
  }
  for (const char* path : {"/m/a", "/m.avi/a", "/m/a.avi.txt", "/m/.", "/m/a.avi "}) {
    EXPECT_FALSE(IsSourceFileExtension(path)) << path;
    EXPECT_NE(SkipReason(path), "") << path;
  }
  // The dialog's "All media files" offers exactly what is accepted.
  const auto& filters = SourceFileFilters();
  ASSERT_EQ(filters.size(), 12u);
  EXPECT_EQ(filters[0].Description, "Supported Files");
  EXPECT_EQ(filters[10].Description, "All media files");
  for (const auto& pattern : SplitText(filters[10].Patterns, ';')) {
    EXPECT_TRUE(IsSourceFileExtension("/m/a" + pattern.substr(1))) << pattern;
  }
  for (const auto& filter : filters) {
    for (const auto& pattern : SplitText(filter.Patterns, ';')) {
      if (pattern != "*") {
        EXPECT_NE(filters[10].Patterns.find(pattern + ";"), std::string::npos) << pattern;
      }
    }
  }
  EXPECT_EQ(filters[11].Patterns, "*");
}

TEST(SourceFiles, StartFilePathsAreLocalPathsByteForByte) {
  if (!test::kPosixFiles) GTEST_SKIP() << "POSIX paths and names of any bytes; Windows paths have drives";
  const struct {
    std::string argument, path;  // empty path: left out
  } cases[] = {
      {"/m/a.avi", "/m/a.avi"},
      {"b c.mkv", "/home/u/b c.mkv"},
      {"../x/./d.mp4", "/home/x/d.mp4"},
      {"caf\xe9.avi", "/home/u/caf\xe9.avi"},  // Latin-1, not UTF-8
      {"http://example.com/a.avi", "/home/u/http:/example.com/a.avi"},
      {"file:///m/b%20c%25.avi", "/m/b c%.avi"},
      {"file://localhost/m/e.avi", "/m/e.avi"},
      {"file://server/m/e.avi", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    const auto paths = StartFilePaths({c.argument}, "/home/u");
    EXPECT_EQ(paths, c.path.empty() ? Paths{} : Paths{c.path}) << c.argument;
  }
}

struct Adding {
  explicit Adding(std::map<std::string, std::int32_t> durations) {
    services.MakeProbeGraph = [durations] { return std::make_unique<test::FakeProbeGraph>(durations); };
    services.ShowCodeErrorForm = [this](const std::string&) { ++codecErrors; };
    services.RefreshTrimBar = [this] { ++refreshes; };
  }
  TSourceList list;
  TSourceFileServices services;
  int codecErrors = 0, refreshes = 0;
};

// Names beyond ASCII reach their files through the core's file access (on
// Windows the standard library's paths are UTF-8 only when made so).
TEST(SourceFiles, NamesBeyondAsciiReachTheirFiles) {
  test::TempDir dir;
  for (const std::string name : {"Ferienfilm ÄÖÜ", "ビデオ", "naïve café"}) {
    SCOPED_TRACE(name);
    const std::string folder = PathText(dir.Path() / PathOf(name));
    ASSERT_TRUE(std::filesystem::create_directory(PathOf(folder)));
    const std::string settings = PathText(PathOf(folder) / PathOf(name + ".ini"));
    TIniFile32(settings).WriteString("Sektion", "Ordner", folder);
    EXPECT_EQ(TIniFile32(settings).ReadString("Sektion", "Ordner", ""), folder);

    const std::string clip = PathText(PathOf(folder) / PathOf(name + ".avi"));
    std::ofstream(PathOf(clip), std::ios::binary) << std::string(2048, 'x');
    const Paths started = StartFilePaths({name + ".avi"}, folder);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_TRUE(std::filesystem::equivalent(PathOf(started[0]), PathOf(clip)));
    Adding add({{started[0], 5000}});
    AddSourceFiles(add.list, started, add.services);
    ASSERT_EQ(add.list.Count(), 1);
    EXPECT_EQ(add.list.Texts(0)[2], "2 KB");
  }
}

TEST(SourceFiles, AddStopsAtAFileWhoseSizeCannotBeRead) {
  test::TempDir dir;
  const std::string present = dir.File("a.avi"), missing = dir.File("gone.avi");
  test::WriteFile(present, std::string(1536, 'x'));
  Adding add({{present, 5000}, {missing, 5000}});
  try {
    AddSourceFiles(add.list, {present, missing, present}, add.services);
    FAIL() << "no error";
  } catch (const FileOpenError& e) {
    EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
  }
  ASSERT_EQ(add.list.Count(), 1);
  EXPECT_EQ(add.list.Texts(0), (TSourceCells{"True", present, "1.5 KB", "00:00:05", "00:00:00", "00:00:05",
                                           "00:00:05"}));
}

TEST(SourceFiles, AddSelectsTheFirstRowAndRefreshesTheBar) {
  test::TempDir dir;
  const std::string a = dir.File("a.avi"), b = dir.File("b.avi");
  test::WriteFile(a, "x");
  test::WriteFile(b, "x");
  Adding add({{a, 1000}, {b, 999}});
  AddSourceFiles(add.list, {b}, add.services);  // 999 ms: too short
  EXPECT_EQ(add.codecErrors, 1);
  EXPECT_EQ(add.refreshes, 0);

  AddSourceFiles(add.list, {a}, add.services);
  add.list.Append(RowFor("/m/z.avi"));
  add.list.SetSelected(0, false);
  add.list.SetSelected(1, true);
  AddSourceFiles(add.list, {a}, add.services);  // adds nothing, still selects
  EXPECT_EQ(add.list.SelectedRows(), (std::vector<int>{0, 1}));
  EXPECT_EQ(add.refreshes, 2);
}

}  // namespace
}  // namespace tarquel
