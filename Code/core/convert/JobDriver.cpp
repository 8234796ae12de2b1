#include "JobDriver.h"

#include <algorithm>
#include <system_error>

#include "ProcessControl.h"
#include "SystemServices.h"
#include "TextFormats.h"
#include "UtilityFuncs.h"
#include "Utf8Paths.h"

namespace tarquel {

namespace {

namespace fs = std::filesystem;

// The last line of encoder output that holds anything but blanks; status
// lines end in a carriage return, messages in a line feed.
std::string LastLineOf(const std::string& text) {
  std::size_t end = text.size();
  while (end > 0) {
    const std::size_t start = text.find_last_of("\r\n", end - 1);
    const std::size_t from = start == std::string::npos ? 0 : start + 1;
    std::string line = text.substr(from, end - from);
    const auto first = line.find_first_not_of(" \t");
    if (first != std::string::npos) return line.substr(first, line.find_last_not_of(" \t") - first + 1);
    if (start == std::string::npos) break;
    end = start;
  }
  return {};
}

// A progress line of the encoder ("frame= ... time=12.00 bitrate= ..."),
// which says how far it got, not why it ended.
bool IsStatusLine(const std::string& line) {
  return line.find("time=") != std::string::npos && line.find("bitrate=") != std::string::npos;
}

std::string FileNameOf(const std::string& path) {
  const auto separator = path.find_last_of(kPathSeparators);
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

}  // namespace

TJobDriver::TJobDriver(IJobDriverHost& host, IBatchWork& work, const TAppFunc& log, IProcessTable& processes,
                       ISystemServices& services, TConvertParameterStruct& params, TJobState& job,
                       TConvertingModel& dialog)
    : Host_(host),
      Work_(work),
      Log_(log),
      Processes_(processes),
      Services_(services),
      Params_(params),
      Job_(job),
      Dialog_(dialog) {}

TJobDriver::~TJobDriver() {
  *Alive_ = false;
  Runner_.reset();
}

void TJobDriver::ConvertCheckedFiles() {
  if (Running()) return;
  Job_.DoneCount = 0;
  Job_.TotalCount = 0;
  Failures_.clear();
  BatchStopped_ = false;
  const TSourceList& list = Work_.Sources();
  const int rows = list.Count();
  double totalSeconds = 0;
  for (int row = 0; row < rows; ++row) {
    if (!list.Row(row).Checked) continue;
    ++Job_.TotalCount;
    totalSeconds += std::max(0.0, static_cast<double>(list.Row(row).CutSeconds()));
  }
  if (rows == 0) {
    Host_.Warn("Please add media files you want to convert into the list.");
    Host_.ShowConvertingDialog(false);
    Host_.EnableMainWindow(true);
    return;
  }
  Job_.DoneCount = 0;
  Job_.RowIndex = 0;
  Progress_.Start(totalSeconds);
  State_ = State::Encoding;
  NextRow();
}

void TJobDriver::NextRow() {
  const TSourceList& list = Work_.Sources();
  while (Job_.RowIndex < list.Count() && !list.Row(Job_.RowIndex).Checked) ++Job_.RowIndex;
  if (Job_.RowIndex >= list.Count()) {
    EndOfBatch();
    return;
  }
  State_ = State::Encoding;
  try {
    Current_ = list.Row(Job_.RowIndex);
    Params_.OutputFile.clear();
    Job_.Command = Work_.BuildEncoderCommand(Current_);
    Log_.WriteLog("parameter: " + Job_.Command);
  } catch (...) {
    // The batch cannot go on (the script or the log cannot be written):
    // the windows become usable again, and the error goes on to the
    // general error report.
    AbortBatch();
    throw;
  }
  LastChunk_.clear();
  CurrentStopped_ = false;
  std::error_code error;
  OutputExisted_ = !Params_.OutputFile.empty() && fs::exists(fs::symlink_status(PathOf(Params_.OutputFile), error));
  BuiltAt_ = fs::file_time_type::clock::now();
  OutputNoted_ = !OutputExisted_ && !Params_.OutputFile.empty();
  if (OutputNoted_) Host_.OutputStarted(Params_.OutputFile);
  Job_.RefreshCount = 0;
  Dialog_.ProgressBar1.SetPosition(0);
  if (!Dialog_.Visible) Dialog_.FormShow(Params_, Job_);
  Host_.ShowConvertingDialog(true);
  Host_.EnableMainWindow(false);
  Host_.DialogChanged();
  Progress_.StartFile(static_cast<double>(Current_.CutSeconds()), Now());
  ReportProgress();

  const unsigned long long file = ++File_;
  const std::weak_ptr<bool> alive = Alive_;
  auto post = [this, alive](std::function<void()> work) {
    Host_.PostToGui([alive, work = std::move(work)] {
      if (const auto a = alive.lock(); a && *a) work();
    });
  };
  // Both callbacks run on the runner's thread and only hand over.
  Runner_ = Host_.StartEncoder(
      Params_.Encoder, Job_.Command,
      [this, post, file](const std::string& chunk) { post([this, file, chunk] { Deliver(file, chunk); }); },
      [this, post, file] { post([this, file] { RunnerFinished(file); }); });
  if (!Runner_) RunnerFinished(file);
}

void TJobDriver::Deliver(unsigned long long file, const std::string& chunk) {
  if (file != File_ || State_ == State::Idle) return;
  // Output still on its way from a file the user stopped changes nothing:
  // the dialog keeps what the stop left there.
  if (CurrentStopped_) return;
  if (!chunk.empty()) LastChunk_ = chunk;
  Dialog_.OnEncoderOutput(chunk, Params_, Job_);
  Host_.DialogChanged();
  Progress_.FileSecondsDone(Dialog_.ProgressBar1.Position);
  ReportProgress();
}

void TJobDriver::RunnerFinished(unsigned long long file) {
  if (file != File_ || State_ != State::Encoding) return;
  const int status = Runner_ ? Runner_->ExitStatus() : -1;
  const int signal = Runner_ ? Runner_->EndSignal() : 0;
  Runner_.reset();  // its thread has returned; this only joins it
  // An encoder that says it finished is taken at its word only when its
  // output is there and as long as the cut.
  const std::string shortfall = status == 0 && !CurrentStopped_ ? OutputShortfall() : std::string();
  if (status != 0 || CurrentStopped_ || !shortfall.empty()) RemovePartialOutput();
  if (OutputNoted_) Host_.OutputSettled(Params_.OutputFile);
  OutputNoted_ = false;
  if (!shortfall.empty()) {
    Failures_.push_back({Current_.Path, shortfall});
  } else if (status != 0 && !CurrentStopped_) {
    Failures_.push_back({Current_.Path, FailureReason(status, signal)});
  }
  State_ = State::WaitingForProcesses;
  PollProcesses(file);
}

bool TJobDriver::EncodersRunning() {
  const TSysFunc sys(Processes_);
  return sys.FindProcessId("evc.exe") != 0 || sys.FindProcessId("revc.exe") != 0;
}

void TJobDriver::PollProcesses(unsigned long long file) {
  if (file != File_ || State_ != State::WaitingForProcesses) return;
  // The next file starts only when no encoder process is left anywhere.
  if (EncodersRunning()) {
    const std::weak_ptr<bool> alive = Alive_;
    Host_.After(kPollInterval, [this, alive, file] {
      if (const auto a = alive.lock(); a && *a) PollProcesses(file);
    });
    return;
  }
  FileDone();
}

void TJobDriver::FileDone() {
  Progress_.FileEnded(Now());
  ReportProgress();
  ++Job_.DoneCount;
  ++Job_.RowIndex;
  NextRow();
}

void TJobDriver::RemovePartialOutput() const {
  // Only a regular file at the name chosen for this file, which was free
  // when it was chosen and has been written since.
  if (Params_.OutputFile.empty() || OutputExisted_) return;
  std::error_code error;
  const fs::path output = PathOf(Params_.OutputFile);
  if (!fs::is_regular_file(fs::symlink_status(output, error))) return;
  const auto written = fs::last_write_time(output, error);
  // File times are kept coarser than the clock reads: allow a second.
  if (error || written + std::chrono::seconds(1) < BuiltAt_) return;
  fs::remove(output, error);
}

std::string TJobDriver::FailureReason(int status, int signal) const {
  if (status < 0) return "The encoder could not be started.";
  const std::string encoder = Params_.Encoder.empty() ? std::string("The encoder") : FileNameOf(Params_.Encoder);
  if (signal != 0) return encoder + " was ended (signal " + std::to_string(signal) + ").";
  // The encoder's own last words, unless they are only a status line.
  std::string line = LastLineOf(LastChunk_);
  if (line.empty() || IsStatusLine(line)) return encoder + " failed with exit status " + std::to_string(status) + ".";
  return line;
}

std::string TJobDriver::OutputShortfall() const {
  if (Params_.OutputFile.empty()) return {};
  std::error_code error;
  if (!fs::is_regular_file(PathOf(Params_.OutputFile), error)) {
    return "The encoder reported success, but its output file " + Params_.OutputFile +
           " is missing (it, or its folder, may have been removed while it was written).";
  }
  // The cut ends within the source (its End Time is at most the source's
  // length), so a sound output is the cut's length, less a second at most.
  const double asked = static_cast<double>(Current_.CutSeconds());
  if (asked <= 1) return {};
  const double seconds = Host_.OutputSeconds(Params_.OutputFile);
  if (seconds < 0) return "The output file " + Params_.OutputFile + " cannot be read.";
  if (seconds >= asked - 1) return {};
  if (Host_.SourceLengthIsEstimate(Current_.Path)) return {};
  const std::int64_t start = Current_.Start.Seconds();
  const auto done = static_cast<std::int64_t>(seconds);
  return "The source ended at " + SecondsToTimeText(start + done) + ", before the end of the cut at " +
         SecondsToTimeText(start + static_cast<std::int64_t>(asked)) + ".";
}

std::string TJobDriver::FailureReport() const {
  if (Failures_.empty()) return {};
  std::string report = Failures_.size() == 1 ? "This file could not be converted:\n" : "These files could not be converted:\n";
  for (const TFailedFile& failed : Failures_) report += "\n" + failed.Source + "\n    " + failed.LastLine + "\n";
  return report;
}

void TJobDriver::EndOfBatch() {
  State_ = State::Ending;
  for (const TFailedFile& failed : Failures_) Log_.WriteLog("Convert failed: " + failed.Source + " | " + failed.LastLine);
  const std::string report = FailureReport();
  const int failed = static_cast<int>(Failures_.size());
  Failures_.clear();
  if (!Job_.Stopped) {
    if (Work_.ShowOutputDirectory()) Services_.ExploreFolder(Params_.OutputDir);
    if (Work_.Shutdown()) {
      Progress_.End();
      ReportProgress();
      Services_.EnableShutdownPrivilege();
      Services_.PowerOffComputer();
      State_ = State::Idle;
      Host_.EndProgram();
      return;
    }
  }
  // Told while the dialog still shows, so that the host sees which window
  // the user was looking at.
  if (!BatchStopped_ && Job_.DoneCount > 0) Host_.BatchFinished(Job_.DoneCount - failed, failed);
  AbortBatch();
  // Told once the windows are usable again.
  if (!report.empty()) Host_.ReportError(report);
}

void TJobDriver::AbortBatch() {
  Runner_.reset();
  Job_.Stopped = false;
  Dialog_.Visible = false;
  Host_.ShowConvertingDialog(false);
  Host_.EnableMainWindow(true);
  State_ = State::Idle;
  Host_.DialogChanged();
  Progress_.End();
  ReportProgress();
}

std::chrono::steady_clock::time_point TJobDriver::Now() const { return Host_.Now(); }

void TJobDriver::ReportProgress() {
  const TBatchProgressReport progress = Progress_.Report(Now());
  if (progress == Reported_) return;
  Reported_ = progress;
  Host_.BatchProgress(progress);
}

void TJobDriver::btnStop1Click() {
  if (!Host_.Confirm("Are you sure you want to stop the work ? ")) return;
  Job_.Stopped = true;
  StopCurrentFile();
  StopEncoders("evc.exe");
  Dialog_.ResetAfterStop();
  Host_.DialogChanged();
}

void TJobDriver::FormClose() {
  if (!Host_.Confirm("Are you sure to stop processing ?")) return;
  StopCurrentFile();
  Host_.DialogChanged();
}

void TJobDriver::StopCurrentFile() {
  CurrentStopped_ = true;
  BatchStopped_ = true;
  Progress_.End();
  ReportProgress();
  Dialog_.Visible = false;
  Host_.ShowConvertingDialog(false);
  Host_.EnableMainWindow(true);
  Job_.RowIndex = Work_.Sources().Count() + 10;  // the current file is the last
  StopEncoders(Params_.Encoder);
}

void TJobDriver::StopEncoders(std::string_view encoder) {
  StopEncoderProcesses(Processes_, Log_, encoder,
                       [this](std::chrono::milliseconds delay) { Host_.PauseHandlingEvents(delay); });
}

void TJobDriver::tmrChangingTimer() {
  Dialog_.tmrChangingTimer();
  Host_.DialogChanged();
}

}  // namespace tarquel
