#include "JobDriver.h"

#include "ProcessControl.h"
#include "SystemServices.h"
#include "UtilityFuncs.h"

namespace tarquel {

TJobDriver::TJobDriver(TJobDriverHost host, const TAppFunc& log, IProcessTable& processes, ISystemServices& services,
                       TConvertParameterStruct& params, TJobState& job, TConvertingModel& dialog)
    : Host_(std::move(host)),
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
  const int rows = Host_.RowCount();
  for (int row = 0; row < rows; ++row) {
    if (Host_.RowCheck(row) == "True") ++Job_.TotalCount;
  }
  if (rows == 0) {
    Host_.Warn("Please add media files you want to convert into the list.");
    Host_.ShowConvertingDialog(false);
    Host_.EnableMainWindow(true);
    return;
  }
  Job_.DoneCount = 0;
  Job_.RowIndex = 0;
  State_ = State::Encoding;
  NextRow();
}

void TJobDriver::NextRow() {
  while (Job_.RowIndex < Host_.RowCount() && Host_.RowCheck(Job_.RowIndex) != "True") ++Job_.RowIndex;
  if (Job_.RowIndex >= Host_.RowCount()) {
    EndOfBatch();
    return;
  }
  State_ = State::Encoding;
  try {
    Job_.Command = Host_.BuildEncoderCommand(Host_.RowFileName(Job_.RowIndex));
    Log_.WriteLog("parameter: " + Job_.Command);
  } catch (...) {
    // The batch cannot go on (the script or the log cannot be written, a
    // time cannot be read): the windows become usable again, and the error
    // goes on to the general error report.
    AbortBatch();
    throw;
  }
  Job_.RefreshCount = 0;
  Dialog_.ProgressBar1.SetPosition(0);
  if (!Dialog_.Visible) Dialog_.FormShow(Params_, Job_);
  Host_.ShowConvertingDialog(true);
  Host_.EnableMainWindow(false);
  if (Host_.DialogChanged) Host_.DialogChanged();

  const unsigned long long file = ++File_;
  const std::weak_ptr<bool> alive = Alive_;
  auto post = [this, alive](std::function<void()> work) {
    Host_.PostToGui([alive, work = std::move(work)] {
      if (const auto a = alive.lock(); a && *a) work();
    });
  };
  // Both callbacks run on the runner's thread and only hand over.
  Runner_ = Host_.StartEncoder(
      Params_.Encoder, Job_.Command, [this, post, file](const std::string& chunk) { post([this, file, chunk] { Deliver(file, chunk); }); },
      [this, post, file] { post([this, file] { RunnerFinished(file); }); });
  if (!Runner_) RunnerFinished(file);
}

void TJobDriver::Deliver(unsigned long long file, const std::string& chunk) {
  if (file != File_ || State_ == State::Idle) return;
  Dialog_.OnEncoderOutput(chunk, Params_, Job_);
  if (Host_.DialogChanged) Host_.DialogChanged();
}

void TJobDriver::RunnerFinished(unsigned long long file) {
  if (file != File_ || State_ != State::Encoding) return;
  Runner_.reset();  // its thread has returned; this only joins it
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
  ++Job_.DoneCount;
  ++Job_.RowIndex;
  NextRow();
}

void TJobDriver::EndOfBatch() {
  State_ = State::Ending;
  if (!Job_.Stopped) {
    if (Host_.ShowOutputDirectory()) Services_.ExploreFolder(Params_.OutputDir);
    if (Host_.Shutdown()) {
      Services_.EnableShutdownPrivilege();
      Services_.PowerOffComputer();
      State_ = State::Idle;
      Host_.EndProgram();
      return;
    }
  }
  AbortBatch();
}

void TJobDriver::AbortBatch() {
  Runner_.reset();
  Job_.Stopped = false;
  Dialog_.Visible = false;
  Host_.ShowConvertingDialog(false);
  Host_.EnableMainWindow(true);
  State_ = State::Idle;
  if (Host_.DialogChanged) Host_.DialogChanged();
}

void TJobDriver::btnStop1Click() {
  if (!Host_.Confirm("Are you sure you want to stop the work ? ")) return;
  Job_.Stopped = true;
  Dialog_.Visible = false;
  Host_.ShowConvertingDialog(false);
  Host_.EnableMainWindow(true);
  Job_.RowIndex = Host_.RowCount() + 10;
  StopEncoderProcesses(Processes_, Log_, Params_.Encoder, Host_.PauseHandlingEvents);
  StopEncoderProcesses(Processes_, Log_, "evc.exe", Host_.PauseHandlingEvents);
  Dialog_.ResetAfterStop();
  if (Host_.DialogChanged) Host_.DialogChanged();
}

void TJobDriver::FormClose() {
  if (!Host_.Confirm("Are you sure to stop processing ?")) return;
  Dialog_.Visible = false;
  Host_.ShowConvertingDialog(false);
  Host_.EnableMainWindow(true);
  Job_.RowIndex = Host_.RowCount() + 10;
  StopEncoderProcesses(Processes_, Log_, Params_.Encoder, Host_.PauseHandlingEvents);
  if (Host_.DialogChanged) Host_.DialogChanged();
}

void TJobDriver::tmrChangingTimer() {
  Dialog_.tmrChangingTimer();
  if (Host_.DialogChanged) Host_.DialogChanged();
}

}  // namespace tarquel
