// The preview player's graph over libavformat, libavcodec and libswscale
// (TDecoderPlayback), with the sound through the platform's audio output
// where there is one: opens a file, plays, pauses, stops, seeks and reports
// the position once a second while it runs. The pictures go to the sink
// handed in, fitted into its box.
#pragma once

#include <QObject>
#include <QTimer>
#include <memory>

#include "MediaGraph.h"
#include "PictureSink.h"
#include "ProbeGraph.h"

namespace tarquel::media {

class TDecoderPlayback;

class TDecoderGraph final : public QObject, public IPlayerGraph {
 public:
  // `sink` must outlive the graph.
  explicit TDecoderGraph(preview::IPictureSink& sink, QObject* parent = nullptr);
  ~TDecoderGraph() override;

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
  // Pauses and goes back to the beginning.
  void Stop() override;
  std::int64_t CurrentPosition() override;
  void SetPositions(std::int64_t current) override;
  void SetOnTimer(TimerHandler handler) override { OnTimer_ = std::move(handler); }

 private:
  void RequireActive() const;
  void Unload();
  void Tick();
  void EndOfMedia(unsigned generation);

  preview::IPictureSink& Sink_;
  std::unique_ptr<TDecoderPlayback> Playback_;
  QTimer Ticks_;
  TProbeGraph Probe_;
  TimerHandler OnTimer_;
  bool Active_ = false;
  unsigned Generation_ = 0;  // counts the files opened
};

}  // namespace tarquel::media
