#include "PlayerGraph.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QEventLoop>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QUrl>
#include <algorithm>
#include <limits>
#include <utility>

#include "Errors.h"

namespace tarquel::media {

namespace {

// How long a file may take to open before it counts as unplayable.
constexpr int kLoadTimeoutMs = 10'000;

std::uint32_t Milliseconds(qint64 value) {
  return static_cast<std::uint32_t>(std::clamp<qint64>(value, 0, std::numeric_limits<std::uint32_t>::max()));
}

}  // namespace

TPlayerGraph::TPlayerGraph(QObject* videoOutput, QObject* parent)
    : QObject(parent), Player_(new QMediaPlayer(this)) {
  Player_->setVideoOutput(videoOutput);
  // Qt 6.4's FFmpeg backend crashes with an audio output but no device.
  if (!QMediaDevices::audioOutputs().isEmpty()) {
    Audio_ = new QAudioOutput(this);
    Player_->setAudioOutput(Audio_);
  }
  Ticks_.setInterval(1000);
  connect(&Ticks_, &QTimer::timeout, this, [this] { Tick(); });
  connect(Player_, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
    if (status == QMediaPlayer::EndOfMedia) EndOfMedia();
  });
}

TPlayerGraph::~TPlayerGraph() {
  Ticks_.stop();
  Player_->stop();
}

void TPlayerGraph::RequireActive() const {
  if (!Active_) throw MediaGraphError("The player graph is not active.");
}

void TPlayerGraph::Unload() {
  Ticks_.stop();
  Loaded_ = false;
  if (!Player_->source().isEmpty()) {
    Player_->stop();
    Player_->setSource(QUrl());
  }
}

void TPlayerGraph::SetActive(bool active) {
  if (!active) Unload();
  Active_ = active;
}

void TPlayerGraph::ClearGraph() {
  if (Active_) Unload();
}

int TPlayerGraph::RenderFile(const std::string& path) {
  RequireActive();
  Unload();
  // The probe reads the header alone: it tells which streams can be decoded
  // and keeps a file from reaching anything but local files before the
  // player opens it.
  const int undecodable = ProbeStreams(Probe_, path);

  // A file that cannot be opened raises errorOccurred while the status may
  // still become LoadedMedia: the error signal decides.
  bool failed = false;
  QEventLoop wait;
  const auto onError = connect(Player_, &QMediaPlayer::errorOccurred, &wait, [&] {
    failed = true;
    wait.quit();
  });
  const auto onStatus = connect(Player_, &QMediaPlayer::mediaStatusChanged, &wait, [&](QMediaPlayer::MediaStatus s) {
    if (s != QMediaPlayer::LoadingMedia && s != QMediaPlayer::NoMedia) wait.quit();
  });
  Player_->setSource(QUrl::fromLocalFile(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()))));
  failed = failed || Player_->error() != QMediaPlayer::NoError;
  const QMediaPlayer::MediaStatus status = Player_->mediaStatus();
  if (!failed && (status == QMediaPlayer::LoadingMedia || status == QMediaPlayer::NoMedia)) {
    QTimer::singleShot(kLoadTimeoutMs, &wait, &QEventLoop::quit);
    wait.exec(QEventLoop::ExcludeUserInputEvents);
  }
  disconnect(onError);
  disconnect(onStatus);
  if (failed || Player_->mediaStatus() == QMediaPlayer::InvalidMedia || Player_->mediaStatus() == QMediaPlayer::LoadingMedia) {
    const QString reason = Player_->errorString();
    Unload();
    throw MediaGraphError("Cannot play \"" + path + "\": " + reason.toStdString());
  }
  Loaded_ = true;
  return undecodable;
}

std::int32_t TPlayerGraph::Duration() {
  RequireActive();
  return static_cast<std::int32_t>(std::clamp<qint64>(Player_->duration(), 0, std::numeric_limits<std::int32_t>::max()));
}

void TPlayerGraph::Run() {
  RequireActive();
  if (!Loaded_) return;  // an empty graph runs with nothing to show
  SeekWhilePlayingMs_ = -1;
  Player_->play();
  Ticks_.start();
}

void TPlayerGraph::Pause() {
  RequireActive();
  Ticks_.stop();
  if (!Loaded_) return;
  Player_->pause();
  // The backend drops a seek that a pause overtakes: asked again while
  // paused, it shows the frame there.
  if (SeekWhilePlayingMs_ >= 0) Player_->setPosition(std::exchange(SeekWhilePlayingMs_, -1));
}

void TPlayerGraph::Stop() {
  RequireActive();
  Ticks_.stop();
  if (Loaded_) Player_->stop();
}

std::int64_t TPlayerGraph::CurrentPosition() {
  RequireActive();
  return Player_->position() * 10'000;
}

void TPlayerGraph::SetPositions(std::int64_t current) {
  RequireActive();
  if (!Loaded_) return;
  Player_->setPosition(current / 10'000);
  if (Player_->playbackState() == QMediaPlayer::PlayingState) SeekWhilePlayingMs_ = current / 10'000;
}

void TPlayerGraph::Tick() {
  if (OnTimer_) OnTimer_(Milliseconds(Player_->position()), Milliseconds(Player_->duration()));
}

void TPlayerGraph::EndOfMedia() {
  // The backend stops by itself at the end; the position report that a
  // running graph would give there still has to reach the player.
  if (!Ticks_.isActive()) return;
  Ticks_.stop();
  const std::uint32_t duration = Milliseconds(Player_->duration());
  if (OnTimer_) OnTimer_(duration, duration);
}

}  // namespace tarquel::media
