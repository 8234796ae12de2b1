// The conversion batch as an event-driven state machine: the window (or a
// test) feeds it events — the runner finished, a chunk arrived, a poll
// tick, Stop, the close box — and it never waits inside an event itself.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "BatchProgress.h"
#include "ConvertJob.h"
#include "ConvertingDialog.h"
#include "SourceList.h"

namespace tarquel {

class TAppFunc;
class IProcessTable;
class ISystemServices;

// A started encoder; dropping it releases the runner (waits for its thread).
class IEncoderRun {
 public:
  virtual ~IEncoderRun() = default;
  // How the encoder ended, once it has: 0 for success; anything else is a
  // failure (-1: it could not be started).
  virtual int ExitStatus() const { return 0; }
  // The signal that ended the encoder, once it has; 0 when it exited by
  // itself.
  virtual int EndSignal() const { return 0; }
};

// What the driver converts: the source list, the command of one of its
// rows, and the user's choices for the end of a batch. The program's
// application-wide object implements it.
class IBatchWork {
 public:
  virtual ~IBatchWork() = default;
  virtual const TSourceList& Sources() const = 0;
  // Builds the command of a row (filling the parameters and the job's
  // StartTime and CutLength).
  virtual std::string BuildEncoderCommand(const TSourceRow& row) = 0;
  // Open the output folder when a batch ends; power the computer off then.
  virtual bool ShowOutputDirectory() const = 0;
  virtual bool Shutdown() const = 0;
};

// Everything else the driver reaches outside the core: the runner and the
// event loop, the windows and message boxes, the probe of written files,
// the journal of outputs and the desktop's view of the batch.
class IJobDriverHost {
 public:
  virtual ~IJobDriverHost() = default;
  // Starts the runner for a command that begins with the program `encoder`
  // (the builder's Encoder, which the runner starts as it is, blanks and
  // all). `onChunk` is called on the runner's thread; `onFinished` once, on
  // the runner's thread, when it is done. Null when it cannot be started.
  virtual std::unique_ptr<IEncoderRun> StartEncoder(const std::string& encoder, const std::string& command,
                                                    std::function<void(const std::string&)> onChunk,
                                                    std::function<void()> onFinished) = 0;
  // Runs `work` on the GUI thread soon; callable from any thread, never waits.
  virtual void PostToGui(std::function<void()> work) = 0;
  // Runs `work` on the GUI thread after `delay`.
  virtual void After(std::chrono::milliseconds delay, std::function<void()> work) = 0;
  // Pauses while the windows stay alive (between kill attempts).
  virtual void PauseHandlingEvents(std::chrono::milliseconds delay) = 0;
  // Message boxes: a warning, an error, and a Yes/No question (true for Yes).
  virtual void Warn(const std::string& message) = 0;
  virtual void ReportError(const std::string& message) = 0;
  virtual bool Confirm(const std::string& question) = 0;
  // The windows.
  virtual void ShowConvertingDialog(bool visible) = 0;
  virtual void EnableMainWindow(bool enabled) = 0;
  virtual void DialogChanged() = 0;  // the dialog's model changed
  // Ends the program after power-off.
  virtual void EndProgram() = 0;
  // The length in seconds of a media file the encoder wrote, negative when
  // it cannot be read. A file whose encoder reports success is checked:
  // its output must exist and be about as long as the cut.
  virtual double OutputSeconds(const std::string& path) = 0;
  // Whether a source's length is only an estimate, so that an output
  // shorter than its cut is no sure sign of a source that ended early.
  virtual bool SourceLengthIsEstimate(const std::string& source) = 0;
  // Told of an output that did not exist before its encoder starts, and
  // again once that file is settled (finished or removed), so that a crash
  // in between can be mended at the next start.
  virtual void OutputStarted(const std::string& output) = 0;
  virtual void OutputSettled(const std::string& output) = 0;
  // Told how far the batch has got whenever that changes while a file
  // runs, and once more, not running, when the batch is over or stopped.
  virtual void BatchProgress(const TBatchProgressReport& progress) = 0;
  // Told at the end of a batch that was not stopped (by Stop or the close
  // box) and did any file, with the files converted and failed; before the
  // dialog is hidden.
  virtual void BatchFinished(int converted, int failed) = 0;
  // The progress's clock.
  virtual std::chrono::steady_clock::time_point Now() const { return std::chrono::steady_clock::now(); }
};

class TJobDriver {
 public:
  TJobDriver(IJobDriverHost& host, IBatchWork& work, const TAppFunc& log, IProcessTable& processes,
             ISystemServices& services, TConvertParameterStruct& params, TJobState& job, TConvertingModel& dialog);
  ~TJobDriver();

  // Starts the batch over the checked rows; returns at once.
  void ConvertCheckedFiles();
  bool Running() const { return State_ != State::Idle; }

  // The dialog's Stop button and close box (they ask first).
  void btnStop1Click();
  void FormClose();
  // The spinner timer of the dialog, every 500 ms.
  void tmrChangingTimer();

  // How often the driver looks again for encoder processes left running.
  static constexpr std::chrono::milliseconds kPollInterval{100};

 private:
  enum class State { Idle, Encoding, WaitingForProcesses, Ending };

  void NextRow();
  void RunnerFinished(unsigned long long file);
  void PollProcesses(unsigned long long file);
  void FileDone();
  void EndOfBatch();
  // Stop and the close box alike: the windows come back, the current file
  // becomes the last and its encoder is ended.
  void StopCurrentFile();
  // Back to idle with the windows usable, the end-of-batch actions skipped.
  void AbortBatch();
  bool EncodersRunning();
  // Ends the processes of `encoder`, the windows alive between attempts.
  void StopEncoders(std::string_view encoder);
  void Deliver(unsigned long long file, const std::string& chunk);
  // Removes the current file's output when this batch wrote it and it is
  // not a finished file (the encoder failed or was stopped).
  void RemovePartialOutput() const;
  // Why an output the encoder called finished is not (missing, unreadable,
  // or shorter than the cut by more than a second); empty when it is fine.
  std::string OutputShortfall() const;
  // Why the encoder failed, in words: the signal that ended it, its last
  // line of text, or its exit status.
  std::string FailureReason(int status, int signal) const;
  // The failed files of the batch as one message; empty when none failed.
  std::string FailureReport() const;
  std::chrono::steady_clock::time_point Now() const;
  // Tells the host of the batch's progress when it changed.
  void ReportProgress();

  IJobDriverHost& Host_;
  IBatchWork& Work_;
  const TAppFunc& Log_;
  IProcessTable& Processes_;
  ISystemServices& Services_;
  TConvertParameterStruct& Params_;
  TJobState& Job_;
  TConvertingModel& Dialog_;
  State State_ = State::Idle;
  std::unique_ptr<IEncoderRun> Runner_;
  // Numbers each file, so that late events of an earlier one are ignored.
  unsigned long long File_ = 0;

  // The current file: its row as it was built, the newest encoder output,
  // whether the user stopped it, and what stood at its output path before
  // it started.
  TSourceRow Current_;
  std::string LastChunk_;
  bool CurrentStopped_ = false;
  bool OutputExisted_ = false;
  bool OutputNoted_ = false;  // told to OutputStarted, not yet settled
  std::filesystem::file_time_type BuiltAt_;
  struct TFailedFile {
    std::string Source;
    std::string LastLine;
  };
  std::vector<TFailedFile> Failures_;
  // The batch as a whole; whether the user stopped it (Stop or close box).
  TBatchProgress Progress_;
  TBatchProgressReport Reported_;
  bool BatchStopped_ = false;
  // Whether the driver object still exists, for events posted to it.
  std::shared_ptr<bool> Alive_ = std::make_shared<bool>(true);
};

}  // namespace tarquel
