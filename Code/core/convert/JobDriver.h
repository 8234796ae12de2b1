// The conversion batch as an event-driven state machine: the window (or a
// test) feeds it events — the runner finished, a chunk arrived, a poll
// tick, Stop, the close box — and it never waits inside an event itself.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BatchProgress.h"
#include "ConvertJob.h"
#include "ConvertingDialog.h"

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

// Everything the driver reaches outside itself.
struct TJobDriverHost {
  // The source list: rows, the check column ("True" means checked) and File Name.
  std::function<int()> RowCount;
  std::function<std::string(int row)> RowCheck;
  std::function<std::string(int row)> RowFileName;
  // Builds the command of a source (filling the parameters and the job's
  // StartTime and CutLength).
  std::function<std::string(const std::string& source)> BuildEncoderCommand;
  // Starts the runner for a command that begins with the program `encoder`
  // (the builder's Encoder, which the runner starts as it is, blanks and
  // all). `onChunk` is called on the runner's thread; `onFinished` once, on
  // the runner's thread, when it is done.
  std::function<std::unique_ptr<IEncoderRun>(const std::string& encoder, const std::string& command,
                                              std::function<void(const std::string&)> onChunk,
                                              std::function<void()> onFinished)>
      StartEncoder;
  // Runs `work` on the GUI thread soon; callable from any thread, never waits.
  std::function<void(std::function<void()> work)> PostToGui;
  // Runs `work` on the GUI thread after `delay`.
  std::function<void(std::chrono::milliseconds delay, std::function<void()> work)> After;
  // Pauses while the windows stay alive (between kill attempts).
  std::function<void(std::chrono::milliseconds)> PauseHandlingEvents;
  // Message boxes: a warning, an error, and a Yes/No question (true for Yes).
  std::function<void(const std::string& msg)> Warn;
  std::function<void(const std::string& msg)> ReportError;
  std::function<bool(const std::string& question)> Confirm;
  // The windows.
  std::function<void(bool visible)> ShowConvertingDialog;
  std::function<void(bool enabled)> EnableMainWindow;
  std::function<void()> DialogChanged;  // the dialog's model changed
  // The end-of-batch choices and the program's end after power-off.
  std::function<bool()> ShowOutputDirectory;
  std::function<bool()> Shutdown;
  std::function<void()> EndProgram;
  // The length in seconds of a media file the encoder wrote, negative when
  // it cannot be read. When set, a file whose encoder reports success is
  // checked: its output must exist and be about as long as the cut.
  std::function<double(const std::string& path)> OutputSeconds{};
  // Whether a source's length is only an estimate, so that an output
  // shorter than its cut is no sure sign of a source that ended early.
  std::function<bool(const std::string& source)> SourceLengthIsEstimate{};
  // When set: told of an output that did not exist before its encoder
  // starts, and again once that file is settled (finished or removed), so
  // that a crash in between can be mended at the next start.
  std::function<void(const std::string& output)> OutputStarted{};
  std::function<void(const std::string& output)> OutputSettled{};
  // When set: the cut of a row in seconds, which the batch's progress
  // counts; without it the progress stays at 0 %.
  std::function<double(int row)> RowCutSeconds{};
  // When set: told how far the batch has got whenever that changes while a
  // file runs, and once more, not running, when the batch is over or stopped.
  std::function<void(const TBatchProgressReport& progress)> BatchProgress{};
  // When set: told at the end of a batch that was not stopped (by Stop or
  // the close box) and did any file, with the files converted and failed;
  // before the dialog is hidden.
  std::function<void(int converted, int failed)> BatchFinished{};
  // The progress's clock; the steady clock when empty.
  std::function<std::chrono::steady_clock::time_point()> Now{};
};

class TJobDriver {
 public:
  TJobDriver(TJobDriverHost host, const TAppFunc& log, IProcessTable& processes, ISystemServices& services,
             TConvertParameterStruct& params, TJobState& job, TConvertingModel& dialog);
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

  TJobDriverHost Host_;
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

  // The current file: its source, the newest encoder output, whether the
  // user stopped it, and what stood at its output path before it started.
  std::string CurrentSource_;
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
