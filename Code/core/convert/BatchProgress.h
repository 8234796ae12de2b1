// How far a batch has got as a whole, and how long it may still take: the
// seconds of cut done (finished files whole, the current file as far as its
// bar stands) over the cut seconds of all checked rows, and the time left
// at the pace of the files so far. The job driver feeds it; the window
// titles and the desktop show what it reports.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace tarquel {

struct TBatchProgressReport {
  bool Running = false;
  int Percent = 0;                          // 0 to 100, rounded down
  std::optional<std::int64_t> SecondsLeft;  // once some seconds are done
  bool operator==(const TBatchProgressReport&) const = default;
};

class TBatchProgress {
 public:
  using Clock = std::chrono::steady_clock;

  // A batch over `totalSeconds` of cut begins.
  void Start(double totalSeconds);
  // A file of `cutSeconds` begins at `now`.
  void StartFile(double cutSeconds, Clock::time_point now);
  // The current file's seconds of output done so far.
  void FileSecondsDone(double seconds);
  // The current file is over (finished or failed): its cut counts whole.
  void FileEnded(Clock::time_point now);
  void End();

  TBatchProgressReport Report(Clock::time_point now) const;

 private:
  bool Running_ = false;
  bool InFile_ = false;
  double Total_ = 0;
  double Finished_ = 0;  // cut seconds of the files that are over
  double Current_ = 0;   // seconds done of the current file
  double CurrentCut_ = 0;
  Clock::duration WallBefore_{};  // time spent on the files that are over
  Clock::time_point FileStart_{};
};

// The titles while a batch runs: "Converting - 42% - 00:01:23 left" (the
// time left once it is known) and "42% - Tarquel 2.0"; the plain titles
// when it does not run.
std::string ConvertingCaption(const TBatchProgressReport& report);
std::string MainWindowCaption(const TBatchProgressReport& report, const std::string& plainCaption);

// The desktop notification at the end of a batch:
// "Tarquel: 5 files converted, 1 failed".
std::string BatchSummary(int converted, int failed);

}  // namespace tarquel
