// The batch's percentage and time left: finished files count whole, the
// current file as far as its bar stands, and the pace is that of the
// files' own wall time (the gaps between files do not count).
#include "BatchProgress.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarquel {
namespace {

using Clock = TBatchProgress::Clock;

struct TStep {
  enum { File, Done, Ended } kind;
  double value;  // the file's cut, or its seconds done
  int at;        // seconds since the batch began
};

TEST(BatchProgress, PercentAndTimeLeftFollowTheFilesSoFar) {
  const struct {
    const char* what;
    double total;
    std::vector<TStep> steps;
    int now;
    int percent;
    std::optional<std::int64_t> left;
  } rows[] = {
      {"nothing done yet: no pace", 300, {{TStep::File, 100, 0}}, 5, 0, std::nullopt},
      {"half the first file in 10 s", 300, {{TStep::File, 100, 0}, {TStep::Done, 50, 10}}, 10, 16, 50},
      {"the pace counts the wall time since", 300, {{TStep::File, 100, 0}, {TStep::Done, 50, 10}}, 20, 16, 100},
      {"a finished file counts whole; the gap does not",
       300,
       {{TStep::File, 100, 0}, {TStep::Done, 90, 18}, {TStep::Ended, 0, 20}, {TStep::File, 200, 25}},
       25, 33, 40},
      {"seconds beyond the cut count as the cut", 100, {{TStep::File, 100, 0}, {TStep::Done, 400, 10}}, 10, 100, 0},
      {"a failed file counts as over", 200, {{TStep::File, 100, 0}, {TStep::Ended, 0, 4}, {TStep::File, 100, 4}}, 4, 50, 4},
      {"no cut at all", 0, {{TStep::File, 0, 0}, {TStep::Done, 5, 3}}, 3, 0, std::nullopt},
  };
  const Clock::time_point t0{};
  for (const auto& row : rows) {
    TBatchProgress progress;
    progress.Start(row.total);
    for (const TStep& step : row.steps) {
      const auto at = t0 + std::chrono::seconds(step.at);
      if (step.kind == TStep::File) progress.StartFile(step.value, at);
      if (step.kind == TStep::Done) progress.FileSecondsDone(step.value);
      if (step.kind == TStep::Ended) progress.FileEnded(at);
    }
    const TBatchProgressReport report = progress.Report(t0 + std::chrono::seconds(row.now));
    EXPECT_TRUE(report.Running) << row.what;
    EXPECT_EQ(report.Percent, row.percent) << row.what;
    EXPECT_EQ(report.SecondsLeft, row.left) << row.what;
    progress.End();
    EXPECT_EQ(progress.Report(t0), TBatchProgressReport{}) << row.what;
  }
}

TEST(BatchProgress, TitlesAndTheSummary) {
  const TBatchProgressReport idle{}, early{true, 0, std::nullopt}, later{true, 42, 83};
  EXPECT_EQ(ConvertingCaption(idle), "Converting");
  EXPECT_EQ(ConvertingCaption(early), "Converting - 0%");
  EXPECT_EQ(ConvertingCaption(later), "Converting - 42% - 00:01:23 left");
  EXPECT_EQ(MainWindowCaption(idle, "Tarquel 2.0"), "Tarquel 2.0");
  EXPECT_EQ(MainWindowCaption(later, "Tarquel 2.0"), "42% - Tarquel 2.0");
  EXPECT_EQ(BatchSummary(5, 1), "Tarquel: 5 files converted, 1 failed");
  EXPECT_EQ(BatchSummary(1, 0), "Tarquel: 1 file converted");
  EXPECT_EQ(BatchSummary(0, 2), "Tarquel: 0 files converted, 2 failed");
}

}  // namespace
}  // namespace tarquel
