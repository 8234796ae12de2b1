#include "BatchHost.h"

#include <limits>

#include <QEventLoop>
#include <QTimer>
#include <QWidget>

#include "AdvanceSystem.h"
#include "MainController.h"
#include "OutputJournal.h"
#include "ProbeGraph.h"
#include "QtDialogs.h"
#include "Unit_Converting.h"

namespace tarquel::app {

namespace {

// What the probe tells of a file the batch reads or wrote: its length in
// seconds (-1 when it cannot be read) and whether that is only a guess.
struct TProbed {
  double Seconds = -1;
  bool Estimate = false;
};

TProbed Probe(const std::string& path) {
  media::TProbeGraph probe;
  try {
    probe.SetActive(true);
    probe.RenderFile(path);
    return {probe.Duration() / 1000.0, probe.DurationIsEstimate()};
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace

TBatchHost::TBatchHost(const TMainEnvironment& env, QObject& context, QWidget& mainWindow, TOutputJournal& journal)
    : Env_(env),
      Context_(context),
      MainWindow_(mainWindow),
      Journal_(journal),
      Desktop_(mainWindow, {env.HoldSleep, env.Notify}) {}

void TBatchHost::SetConvertingDialog(gui::TfrmConverting* dialog) {
  Converting_ = dialog;
  Desktop_.SetConvertingDialog(dialog);
}

std::unique_ptr<IEncoderRun> TBatchHost::StartEncoder(const std::string& encoder, const std::string& command,
                                                      std::function<void(const std::string&)> onChunk,
                                                      std::function<void()> onFinished) {
  if (Env_.StartEncoder) return Env_.StartEncoder(encoder, command, std::move(onChunk), std::move(onFinished));
  return platform::StartEncoderRun(encoder, command, std::move(onChunk), std::move(onFinished));
}

// Called from the runner's thread: a queued call never waits for the GUI.
void TBatchHost::PostToGui(std::function<void()> work) {
  QMetaObject::invokeMethod(&Context_, std::move(work), Qt::QueuedConnection);
}

void TBatchHost::After(std::chrono::milliseconds delay, std::function<void()> work) {
  QTimer::singleShot(delay, &Context_, std::move(work));
}

void TBatchHost::PauseHandlingEvents(std::chrono::milliseconds delay) {
  QEventLoop wait;
  QTimer::singleShot(delay, &wait, &QEventLoop::quit);
  wait.exec();
}

void TBatchHost::Warn(const std::string& message) { ShowMsgBox(Env_.Dialogs, message, kMsgWarning); }

void TBatchHost::ReportError(const std::string& message) { ShowMsgBox(Env_.Dialogs, message, kMsgError); }

bool TBatchHost::Confirm(const std::string& question) { return Env_.Dialogs.Confirm(question); }

void TBatchHost::ShowConvertingDialog(bool visible) {
  if (!Converting_) return;
  if (visible) {
    Converting_->ShowOver(&MainWindow_);
  } else {
    Converting_->hide();
  }
}

void TBatchHost::EnableMainWindow(bool enabled) { MainWindow_.setEnabled(enabled); }

void TBatchHost::DialogChanged() {
  if (Converting_) Converting_->Refresh();
}

void TBatchHost::EndProgram() { Env_.EndProgram(); }

double TBatchHost::OutputSeconds(const std::string& path) {
  if (Env_.OutputSeconds) return Env_.OutputSeconds(path);
  const TProbed probed = Probe(path);
  // A raw AAC or MP3 stream tells its length only by a guess from its
  // size: no measure for a missing second.
  if (probed.Estimate) return std::numeric_limits<double>::infinity();
  return probed.Seconds;
}

bool TBatchHost::SourceLengthIsEstimate(const std::string& source) { return Probe(source).Estimate; }

void TBatchHost::OutputStarted(const std::string& output) { Journal_.Started(output); }

void TBatchHost::OutputSettled(const std::string& output) { Journal_.Settled(output); }

void TBatchHost::BatchProgress(const TBatchProgressReport& progress) { Desktop_.Progress(progress); }

void TBatchHost::BatchFinished(int converted, int failed) { Desktop_.Finished(converted, failed); }

}  // namespace tarquel::app
