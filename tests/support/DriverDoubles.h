// Doubles of what the job driver reaches outside the core: a host that
// records the windows and boxes and runs posted work on a test event loop,
// and the batch's work over a list and a builder of the test's own.
#pragma once

#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "CommandBuilder.h"
#include "EventLoop.h"
#include "JobDriver.h"

namespace tarquel::test {

// Starts no encoder; a test that runs one overrides StartEncoder. Every
// written file passes the length check unless OutputSeconds is overridden.
class RecordingDriverHost : public IJobDriverHost {
 public:
  explicit RecordingDriverHost(EventLoop& loop) : Loop_(loop) {}

  std::unique_ptr<IEncoderRun> StartEncoder(const std::string&, const std::string&,
                                            std::function<void(const std::string&)>, std::function<void()>) override {
    return nullptr;
  }
  void PostToGui(std::function<void()> work) override { Loop_.Post(std::move(work)); }
  void After(std::chrono::milliseconds delay, std::function<void()> work) override {
    Loop_.After(delay, std::move(work));
  }
  void PauseHandlingEvents(std::chrono::milliseconds delay) override { std::this_thread::sleep_for(delay); }
  void Warn(const std::string& message) override { warnings.push_back(message); }
  void ReportError(const std::string& message) override { errors.push_back(message); }
  bool Confirm(const std::string& question) override {
    questions.push_back(question);
    return answer;
  }
  void ShowConvertingDialog(bool visible) override { dialogShown = visible; }
  void EnableMainWindow(bool enabled) override { mainEnabled = enabled; }
  void DialogChanged() override {}
  void EndProgram() override { ++programEnds; }
  double OutputSeconds(const std::string&) override { return std::numeric_limits<double>::infinity(); }
  bool SourceLengthIsEstimate(const std::string&) override { return false; }
  void OutputStarted(const std::string&) override {}
  void OutputSettled(const std::string&) override {}
  void BatchProgress(const TBatchProgressReport&) override {}
  void BatchFinished(int, int) override {}

  std::vector<std::string> warnings, errors, questions;
  bool answer = true, dialogShown = false, mainEnabled = true;
  int programEnds = 0;

 private:
  EventLoop& Loop_;
};

// The test's list, built into commands by the test's builder.
class ListWork : public IBatchWork {
 public:
  ListWork(TCommandBuilder& builder, TConvertParameterStruct& params, TJobState& job)
      : Builder_(builder), Params_(params), Job_(job) {}

  const TSourceList& Sources() const override { return List; }
  std::string BuildEncoderCommand(const TSourceRow& row) override {
    return Builder_.BuildEncoderCommand(row, Params_, Job_);
  }
  bool ShowOutputDirectory() const override { return showOutputDirectory; }
  bool Shutdown() const override { return shutdown; }

  TSourceList List;
  bool showOutputDirectory = true, shutdown = false;

 private:
  TCommandBuilder& Builder_;
  TConvertParameterStruct& Params_;
  TJobState& Job_;
};

}  // namespace tarquel::test
