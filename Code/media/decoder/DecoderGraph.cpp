#include "DecoderGraph.h"

#include <algorithm>
#include <limits>

#include "DecoderPlayback.h"
#include "Errors.h"

namespace tarquel::media {

namespace {

std::uint32_t Milliseconds(std::int64_t us) {
  return static_cast<std::uint32_t>(std::clamp<std::int64_t>(us / 1000, 0, std::numeric_limits<std::uint32_t>::max()));
}

}  // namespace

TDecoderGraph::TDecoderGraph(preview::IPictureSink& sink, QObject* parent) : QObject(parent), Sink_(sink) {
  Ticks_.setInterval(1000);
  connect(&Ticks_, &QTimer::timeout, this, [this] { Tick(); });
}

TDecoderGraph::~TDecoderGraph() { Unload(); }

void TDecoderGraph::RequireActive() const {
  if (!Active_) throw MediaGraphError("The player graph is not active.");
}

void TDecoderGraph::Unload() {
  Ticks_.stop();
  Playback_.reset();
  ++Generation_;
}

void TDecoderGraph::SetActive(bool active) {
  if (!active) Unload();
  Active_ = active;
}

void TDecoderGraph::ClearGraph() {
  if (Active_) Unload();
}

int TDecoderGraph::RenderFile(const std::string& path) {
  RequireActive();
  Unload();
  // The probe tells which streams can be decoded, from the header alone.
  const int undecodable = ProbeStreams(Probe_, path);
  const unsigned generation = Generation_;
  // The end is told from the decoding thread; the event loop takes it.
  Playback_ = std::make_unique<TDecoderPlayback>(path, Sink_, [this, generation] {
    QMetaObject::invokeMethod(this, [this, generation] { EndOfMedia(generation); }, Qt::QueuedConnection);
  });
  return undecodable;
}

std::int32_t TDecoderGraph::Duration() {
  RequireActive();
  if (!Playback_) return 0;
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(Playback_->DurationUs() / 1000, 0, std::numeric_limits<std::int32_t>::max()));
}

void TDecoderGraph::Run() {
  RequireActive();
  if (!Playback_) return;  // an empty graph runs with nothing to show
  Playback_->Play();
  Ticks_.start();
}

void TDecoderGraph::Pause() {
  RequireActive();
  Ticks_.stop();
  if (Playback_) Playback_->Pause();
}

void TDecoderGraph::Stop() {
  RequireActive();
  Ticks_.stop();
  if (!Playback_) return;
  Playback_->Pause();
  Playback_->Seek(0, false);
}

std::int64_t TDecoderGraph::CurrentPosition() {
  RequireActive();
  return Playback_ ? Playback_->PositionUs() * 10 : 0;
}

void TDecoderGraph::SetPositions(std::int64_t current) {
  RequireActive();
  if (Playback_) Playback_->Seek(current / 10, true);
}

void TDecoderGraph::Tick() {
  if (OnTimer_ && Playback_) OnTimer_(Milliseconds(Playback_->PositionUs()), Milliseconds(Playback_->DurationUs()));
}

void TDecoderGraph::EndOfMedia(unsigned generation) {
  // The report a running graph would give at the end still has to reach
  // the player; a file replaced meanwhile has nothing more to say.
  if (generation != Generation_ || !Ticks_.isActive()) return;
  Ticks_.stop();
  const std::uint32_t duration = Milliseconds(Playback_->DurationUs());
  if (OnTimer_) OnTimer_(duration, duration);
}

}  // namespace tarquel::media
