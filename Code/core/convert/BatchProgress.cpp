#include "BatchProgress.h"

#include <algorithm>
#include <cmath>

#include "TextFormats.h"

namespace tarquel {

void TBatchProgress::Start(double totalSeconds) {
  *this = {};
  Running_ = true;
  Total_ = std::max(0.0, totalSeconds);
}

void TBatchProgress::StartFile(double cutSeconds, Clock::time_point now) {
  if (InFile_) FileEnded(now);
  InFile_ = true;
  Current_ = 0;
  CurrentCut_ = std::max(0.0, cutSeconds);
  FileStart_ = now;
}

void TBatchProgress::FileSecondsDone(double seconds) {
  if (InFile_) Current_ = std::clamp(seconds, 0.0, CurrentCut_);
}

void TBatchProgress::FileEnded(Clock::time_point now) {
  if (!InFile_) return;
  InFile_ = false;
  Finished_ += CurrentCut_;
  Current_ = 0;
  if (now > FileStart_) WallBefore_ += now - FileStart_;
}

void TBatchProgress::End() { *this = {}; }

TBatchProgressReport TBatchProgress::Report(Clock::time_point now) const {
  TBatchProgressReport report;
  if (!Running_) return report;
  report.Running = true;
  const double done = std::min(Finished_ + Current_, Total_);
  if (Total_ > 0) report.Percent = std::clamp(static_cast<int>(std::floor(done * 100 / Total_)), 0, 100);
  Clock::duration wall = WallBefore_;
  if (InFile_ && now > FileStart_) wall += now - FileStart_;
  const double wallSeconds = std::chrono::duration<double>(wall).count();
  // The pace so far: seconds of cut done per second of wall time.
  if (done > 0 && wallSeconds > 0) {
    const double left = (Total_ - done) * wallSeconds / done;
    report.SecondsLeft = static_cast<std::int64_t>(std::ceil(std::min(left, 1e9)));
  }
  return report;
}

std::string ConvertingCaption(const TBatchProgressReport& report) {
  if (!report.Running) return "Converting";
  std::string caption = "Converting - " + std::to_string(report.Percent) + "%";
  if (report.SecondsLeft) caption += " - " + SecondsToTimeText(*report.SecondsLeft) + " left";
  return caption;
}

std::string MainWindowCaption(const TBatchProgressReport& report, const std::string& plainCaption) {
  if (!report.Running) return plainCaption;
  return std::to_string(report.Percent) + "% - " + plainCaption;
}

std::string BatchSummary(int converted, int failed) {
  std::string summary = "Tarquel: " + std::to_string(converted) + (converted == 1 ? " file" : " files") + " converted";
  if (failed > 0) summary += ", " + std::to_string(failed) + " failed";
  return summary;
}

}  // namespace tarquel
