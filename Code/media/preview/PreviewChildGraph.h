// The preview player's graph as the window holds it: the decoding and the
// drawing run in the child program tarquel-preview, which this object
// starts, drives over a channel and reads pictures from through shared
// memory. Whatever the child does (crash, abort, hang, use up memory), the
// window lives: the child is ended and reaped, the failure is told once to
// the handler set with SetOnFailure, and the next file opened starts a fresh
// child.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "ChannelWatch.h"
#include "MediaGraph.h"
#include "PreviewProcess.h"

namespace tarquel::media {

class TPreviewChildGraph final : public QObject, public IPlayerGraph {
 public:
  // How long the child may be silent while an answer or, when it runs, a
  // position report is due; and how long it may take to start.
  static constexpr int kAnswerMs = 5000;
  static constexpr int kStartMs = 10000;
  // More resident memory than this counts as a runaway child.
  static constexpr std::size_t kMemoryLimit = std::size_t{2} << 30;

  // `program` is the child's path (tarquel-preview in the program folder).
  explicit TPreviewChildGraph(std::string program, QObject* parent = nullptr);
  ~TPreviewChildGraph() override;

  bool Active() const override { return Active_; }
  void SetActive(bool active) override;
  void ClearGraph() override;
  // Waits for the child's answer; a child that ends or stays silent raises
  // MediaGraphError like a file that cannot be played.
  int RenderFile(const std::string& path) override;
  std::int32_t Duration() override;

  void Run() override;
  void Pause() override;
  void Stop() override;
  std::int64_t CurrentPosition() override;
  void SetPositions(std::int64_t current) override;
  void SetOnTimer(TimerHandler handler) override { OnTimer_ = std::move(handler); }

  // Each new picture, with its time in the file in microseconds.
  using FrameHandler = std::function<void(const QImage& picture, std::int64_t startUs)>;
  void SetOnFrame(FrameHandler handler) { OnFrame_ = std::move(handler); }
  // A child lost while the player may rely on it (it crashed, hung or
  // misbehaved), with one line that says how; called from the event loop,
  // never from inside one of the operations above.
  using FailureHandler = std::function<void(const std::string& line)>;
  void SetOnFailure(FailureHandler handler) { OnFailure_ = std::move(handler); }
  // The box (device pixels) the pictures are fitted into.
  void SetFrameBox(int width, int height);

  // The running child's process id, 0 when there is none (for measurements).
  int ChildPid() const { return Child_.Started() && !Lost_ ? Child_.Pid() : 0; }
  double ChildCpuSeconds() const { return ChildPid() ? Child_.CpuSeconds() : 0; }

 private:
  void RequireActive() const;
  bool EnsureChild();
  void Request(const std::string& line);
  // Waits for the answer to the last request; false when the child was lost.
  bool AwaitAnswers(std::string* last);
  void Readable();
  bool Dispatch(const std::string& line, std::string* answer);
  void TakeFrame();
  void Watch();
  void UpdateWatch();
  // Ends and reaps the child; `report` tells the failure handler (later,
  // from the event loop).
  void Lose(const std::string& why, bool report);

  std::string Program_;
  platform::TChildProcess Child_;
  platform::TChannel Channel_;
  platform::TSharedMemory Frames_;
  std::unique_ptr<platform::TChannelWatch> Notifier_;
  std::string In_;
  int Pending_ = 0;  // requests not answered yet
  bool Lost_ = true;  // no child running
  unsigned Generation_ = 0;  // counts the children started
  QElapsedTimer Heard_;
  int SilenceLimitMs_ = kAnswerMs;
  QTimer Watchdog_;
  std::string LostHow_;  // how the last child was lost

  TimerHandler OnTimer_;
  FrameHandler OnFrame_;
  FailureHandler OnFailure_;
  int BoxWidth_ = 640, BoxHeight_ = 480;
  bool Active_ = false;
  bool Loaded_ = false;
  bool Running_ = false;
  std::int64_t PositionMs_ = 0;
  std::int32_t DurationMs_ = 0;
};

}  // namespace tarquel::media
