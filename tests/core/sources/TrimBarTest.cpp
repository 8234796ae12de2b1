#include "TrimBar.h"

#include <gtest/gtest.h>

#include "SourceDoubles.h"
#include "TextFormats.h"

namespace tarquel {
namespace {

using test::FakePlayback;

// A list whose rows all span their whole duration, the first one selected.
struct Bar {
  explicit Bar(std::vector<std::int64_t> durations) {
    for (std::size_t i = 0; i < durations.size(); ++i) {
      list.Append(NewSourceRow("/m/" + std::to_string(i) + ".avi", 1024, durations[i]));
    }
    list.SetSelected(0, true);
  }
  // Shows a row with the given times on the bar.
  void Show(int row, std::int64_t start, std::int64_t end) {
    list.SetTime(row, dxtrlSourceFileStartTime, start);
    list.SetTime(row, dxtrlSourceFileEndTime, end);
    bar.RefreshTrimBar();
  }
  std::string Cell(int row, int column) const { return list.Cell(row, column); }

  TSourceList list;
  FakePlayback player;
  TTrimBar bar{list, player};
};

TEST(TrimBar, HandlePositionsGiveTimes) {
  const struct {
    bool startHandle;
    int width;
    const char *for100, *for3600;
  } cases[] = {
      {true, 1, "00:00:00", "00:00:00"},    {true, 5, "00:00:00", "00:00:00"},
      {true, 6, "00:00:01", "00:00:36"},    {true, 111, "00:00:50", "00:30:00"},
      {true, 219, "00:01:40", "01:00:00"},  {false, 1, "00:01:41", "01:00:36"},
      {false, 2, "00:01:40", "01:00:00"},   {false, 110, "00:00:50", "00:30:00"},
      {false, 218, "00:00:00", "00:00:00"},
  };
  for (const auto& c : cases) {
    for (auto [duration, expected] : {std::pair{100, c.for100}, std::pair{3600, c.for3600}}) {
      Bar b({duration});
      b.Show(0, 0, duration);
      if (c.startHandle) {
        b.bar.SetLeftWidth(c.width);
        b.bar.SetStartTimeAndPlay();
      } else {
        b.bar.SetRightWidth(c.width);
        b.bar.Splitter2Moved();
        EXPECT_EQ(b.bar.EndMarkText(), expected);
      }
      const int column = c.startHandle ? dxtrlSourceFileStartTime : dxtrlSourceFileEndTime;
      EXPECT_EQ(b.Cell(0, column), expected) << c.startHandle << " " << c.width;
    }
  }
}

TEST(TrimBar, RefreshPlacesTheHandles) {
  const struct {
    std::int64_t duration, start, end;
    int left, right;
  } cases[] = {
      {100, 50, 100, 111, 1},
      {3600, 1800, 2700, 111, 56},
      {7, 3, 5, 95, 64},
      {8, 1, 8, 29, 1},     // 27.5 goes to the even 28
      {8, 3, 8, 83, 1},     // 82.5 goes to the even 82
      {220, 1, 220, 1, 1},  // L' = 2 is within 1 of L = 1
      {220, 2, 220, 3, 1},
      {220, 0, 218, 1, 1},  // R' = 3 is within 2 of R = 1
      {220, 0, 217, 1, 4},
  };
  for (const auto& c : cases) {
    Bar b({c.duration});
    EXPECT_FALSE(b.bar.BarReady());
    b.Show(0, c.start, c.end);
    EXPECT_EQ(b.bar.LeftWidth(), c.left) << c.duration << " " << c.start;
    EXPECT_EQ(b.bar.RightWidth(), c.right) << c.duration << " " << c.end;
    EXPECT_EQ(b.bar.BarDuration(), c.duration);
    EXPECT_TRUE(b.bar.BarReady());
  }
}

TEST(TrimBar, RefreshLeavesTheLoadedRowAndThePlayerAlone) {
  Bar b({100, 7});
  b.player.Loaded = "/m/0.avi";
  b.Show(0, 50, 100);
  EXPECT_EQ(b.player.Stops, 0);
  EXPECT_EQ(b.bar.LeftWidth(), 1);
  EXPECT_FALSE(b.bar.BarReady());

  // With two rows selected the last one that is not loaded decides.
  b.list.SetSelected(1, true);
  b.list.SetCell(1, dxtrlSourceFileStartTime, "00:00:03");
  b.list.SetCell(1, dxtrlSourceFileEndTime, "00:00:05");
  b.bar.RefreshTrimBar();
  EXPECT_EQ(b.player.Stops, 1);
  EXPECT_EQ(b.bar.BarDuration(), 7);
  EXPECT_EQ(b.bar.LeftWidth(), 95);
}

TEST(TrimBar, StartHandleSetsCutTimeAndSeeks) {
  Bar b({100, 100});
  b.list.SetSelected(1, true);
  b.list.SetCell(1, dxtrlSourceFileEndTime, "00:00:30");
  b.player.Graph.IsActive = true;
  b.bar.SetLeftWidth(111);
  b.bar.SetStartTimeAndPlay();  // BarReady is still false: no seek
  EXPECT_TRUE(b.player.Graph.Seeks.empty());
  EXPECT_EQ(b.Cell(0, dxtrlSourceFileStartTime), "00:00:00");  // BarDuration 0

  b.bar.RefreshTrimBar();
  b.bar.SetLeftWidth(111);
  b.bar.SetRightWidth(1);
  b.bar.SetStartTimeAndPlay();
  EXPECT_EQ(b.Cell(0, dxtrlstclConvertDuration), "00:00:50");
  EXPECT_EQ(b.Cell(1, dxtrlSourceFileStartTime), "00:00:50");
  EXPECT_EQ(b.Cell(1, dxtrlstclConvertDuration), "00:00:00");  // Start beyond End
  EXPECT_EQ(b.player.Graph.Seeks, (std::vector<std::int64_t>{500'000'000, 500'000'000}));

  b.player.Graph.FailSeeks = true;
  b.bar.SetLeftWidth(6);
  EXPECT_NO_THROW(b.bar.SetStartTimeAndPlay());
  EXPECT_EQ(b.Cell(1, dxtrlstclConvertDuration), "00:00:29");  // 30 - 1
}

TEST(TrimBar, NudgesWidenTheSegmentWithinLimits) {
  const struct {
    bool leftPart;
    TMouseButton button;
    TShiftState shift;
    int width, other, after;
  } cases[] = {
      {true, TMouseButton::mbLeft, ssLeft, 5, 1, 5},  // 5 is not more than 5
      {true, TMouseButton::mbLeft, ssCtrl | ssLeft, 5, 1, 4},
      {true, TMouseButton::mbLeft, ssCtrl | ssLeft | ssDouble, 50, 1, 49},
      {true, TMouseButton::mbLeft, ssShift | ssLeft | ssDouble, 50, 1, 40},
      {true, TMouseButton::mbLeft, ssCtrl | ssShift | ssLeft, 50, 1, 45},
      {true, TMouseButton::mbLeft, ssShift | ssLeft, 50, 1, 40},
      {true, TMouseButton::mbRight, ssRight, 50, 1, 50},
      {true, TMouseButton::mbLeft, ssLeft, 100, 115, 95},   // 100 + 115 + 45 = 260
      {true, TMouseButton::mbLeft, ssLeft, 100, 116, 100},  // beyond 260: no nudge
      {false, TMouseButton::mbLeft, ssLeft, 100, 115, 95},
      {false, TMouseButton::mbLeft, ssShift | ssLeft, 10, 1, 10},
  };
  for (const auto& c : cases) {
    Bar b({100});
    b.bar.RefreshTrimBar();
    b.bar.SetLeftWidth(c.leftPart ? c.width : c.other);
    b.bar.SetRightWidth(c.leftPart ? c.other : c.width);
    if (c.leftPart) {
      b.bar.Panel2MouseDown(c.button, c.shift);
    } else {
      b.bar.Panel3MouseDown(c.button, c.shift);
    }
    const int after = c.leftPart ? b.bar.LeftWidth() : b.bar.RightWidth();
    EXPECT_EQ(after, c.after) << c.leftPart << " " << c.shift << " " << c.width << "/" << c.other;
  }
}

TEST(TrimBar, ValidationOfEditedTimes) {
  const struct {
    const char *duration, *start, *end;
    const char *startAfter, *endAfter, *cutAfter;
  } cases[] = {
      {"00:01:40", "00:00:10", "00:00:50", "00:00:10", "00:00:50", "00:00:40"},
      {"00:01:40", "00:02:00", "00:01:40", "00:01:40", "00:01:40", "00:00:00"},  // Start beyond Duration
      {"00:01:40", "00:00:30", "00:00:20", "00:00:30", "00:00:30", "00:00:00"},  // End before Start
      {"00:01:40", "00:00:30", "00:00:30", "00:00:30", "00:00:30", "00:00:00"},
      {"00:01:40", "00:00:30", "00:05:00", "00:00:30", "00:01:40", "00:01:10"},  // End beyond Duration
      {"00:01:40", "00:02:30", "00:03:20", "00:01:40", "00:01:40", "00:00:00"},
      {"00:01:40", "", "00:00:50", "00:00:00", "00:00:50", "00:00:50"},          // zero Start
      {"00:01:40", "00:00:10", "", "00:00:10", "00:01:40", "00:01:30"},          // zero End
      {"99:59:59", "50:00:00", "", "50:00:00", "99:59:59", "49:59:59"},
      {"120:00:00", "100:00:00", "", "100:00:00", "120:00:00", "20:00:00"},    // a file of over 100 hours
  };
  for (const auto& c : cases) {
    TSourceList list;
    TSourceRow row = NewSourceRow("/m/a.avi", 1024, TimeTextToSeconds(c.duration));
    row.Start = TSourceTime::FromText(c.start);
    row.End = TSourceTime::FromText(c.end);
    list.Append(row);
    list.SetSelected(0, true);
    FakePlayback player;
    TTrimBar bar(list, player);
    bar.dxTreeSourceFileInfoEdited();
    EXPECT_EQ(list.Cell(0, dxtrlSourceFileStartTime), c.startAfter) << c.start << "-" << c.end;
    EXPECT_EQ(list.Cell(0, dxtrlSourceFileEndTime), c.endAfter) << c.start << "-" << c.end;
    EXPECT_EQ(list.Cell(0, dxtrlstclConvertDuration), c.cutAfter) << c.start << "-" << c.end;
  }
}

}  // namespace
}  // namespace tarquel
