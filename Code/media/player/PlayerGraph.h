// The preview player's graph over Qt Multimedia (its FFmpeg backend): opens
// a file, plays, pauses, stops, seeks and reports the position once a second
// while it runs. The video goes to the output handed in (a QVideoWidget in
// the window, a QVideoSink in tests).
#pragma once

#include <QObject>
#include <QTimer>
#include <memory>

#include "MediaGraph.h"
#include "ProbeGraph.h"

class QAudioOutput;
class QMediaPlayer;

namespace tarquel::media {

class TPlayerGraph final : public QObject, public IPlayerGraph {
 public:
  // `videoOutput` is what QMediaPlayer::setVideoOutput takes; it must
  // outlive the graph.
  explicit TPlayerGraph(QObject* videoOutput, QObject* parent = nullptr);
  ~TPlayerGraph() override;

  bool Active() const override { return Active_; }
  void SetActive(bool active) override;
  void ClearGraph() override;
  // kRenderedAll when every audio and video stream can be decoded, else the
  // number of those that cannot; raises MediaGraphError when the file cannot
  // be played at all.
  int RenderFile(const std::string& path) override;
  std::int32_t Duration() override;

  void Run() override;
  void Pause() override;
  void Stop() override;
  std::int64_t CurrentPosition() override;
  void SetPositions(std::int64_t current) override;
  void SetOnTimer(TimerHandler handler) override { OnTimer_ = std::move(handler); }

  QMediaPlayer& Player() { return *Player_; }

 private:
  void RequireActive() const;
  void Unload();
  void Tick();
  void EndOfMedia();

  QMediaPlayer* Player_;
  QAudioOutput* Audio_ = nullptr;
  QTimer Ticks_;
  TProbeGraph Probe_;
  TimerHandler OnTimer_;
  bool Active_ = false;
  bool Loaded_ = false;
  // A position asked for while playing; a pause that follows at once would
  // otherwise keep showing the frame from before it.
  qint64 SeekWhilePlayingMs_ = -1;
};

}  // namespace tarquel::media
