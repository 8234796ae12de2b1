// The job driver's host in the program: the encoder runner, Qt's event
// loop, the main window and the Converting dialog, the message boxes, the
// probe of written files, the journal of outputs and the desktop.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "BatchDesktop.h"
#include "JobDriver.h"

class QObject;
class QWidget;

namespace tarquel {
class TOutputJournal;
}  // namespace tarquel

namespace tarquel::gui {
class TfrmConverting;
}  // namespace tarquel::gui

namespace tarquel::app {

struct TMainEnvironment;

// Stand-ins for tests of the runner and of the probe of written files.
using TStartEncoder = std::function<std::unique_ptr<IEncoderRun>(
    const std::string& encoder, const std::string& command, std::function<void(const std::string&)> onChunk,
    std::function<void()> onFinished)>;
using TOutputSeconds = std::function<double(const std::string& path)>;

class TBatchHost final : public IJobDriverHost {
 public:
  // `context` runs the posted work and the timers, and drops them when it
  // goes. The environment's stand-ins replace the runner and the probe,
  // its desktop services the real ones, where they are set.
  TBatchHost(const TMainEnvironment& env, QObject& context, QWidget& mainWindow, TOutputJournal& journal);

  // The Converting dialog, once it exists.
  void SetConvertingDialog(gui::TfrmConverting* dialog);

  std::unique_ptr<IEncoderRun> StartEncoder(const std::string& encoder, const std::string& command,
                                            std::function<void(const std::string&)> onChunk,
                                            std::function<void()> onFinished) override;
  void PostToGui(std::function<void()> work) override;
  void After(std::chrono::milliseconds delay, std::function<void()> work) override;
  void PauseHandlingEvents(std::chrono::milliseconds delay) override;
  void Warn(const std::string& message) override;
  void ReportError(const std::string& message) override;
  bool Confirm(const std::string& question) override;
  void ShowConvertingDialog(bool visible) override;
  void EnableMainWindow(bool enabled) override;
  void DialogChanged() override;
  void EndProgram() override;
  double OutputSeconds(const std::string& path) override;
  bool SourceLengthIsEstimate(const std::string& source) override;
  void OutputStarted(const std::string& output) override;
  void OutputSettled(const std::string& output) override;
  void BatchProgress(const TBatchProgressReport& progress) override;
  void BatchFinished(int converted, int failed) override;

 private:
  const TMainEnvironment& Env_;
  QObject& Context_;
  QWidget& MainWindow_;
  TOutputJournal& Journal_;
  gui::TfrmConverting* Converting_ = nullptr;
  TBatchDesktop Desktop_;
};

}  // namespace tarquel::app
