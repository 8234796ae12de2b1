#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QVideoFrame>
#include <QVideoSink>

#include "ChildGraph.h"
#include "PlayerGraph.h"

namespace tarquel::media::preview {

namespace {

// Qt Multimedia's graph with the video sink it plays into; each picture is
// fitted into the box with QPainter and handed on as RGB rows.
class TMultimediaChildGraph final : public IPlayerGraph {
 public:
  explicit TMultimediaChildGraph(IPictureSink& sink) : Sink_(sink), Graph_(&VideoSink_) {
    QObject::connect(&VideoSink_, &QVideoSink::videoFrameChanged, &VideoSink_,
                     [this](const QVideoFrame& frame) { Draw(frame); });
  }

  bool Active() const override { return Graph_.Active(); }
  void SetActive(bool active) override { Graph_.SetActive(active); }
  void ClearGraph() override { Graph_.ClearGraph(); }
  int RenderFile(const std::string& path) override { return Graph_.RenderFile(path); }
  std::int32_t Duration() override { return Graph_.Duration(); }
  void Run() override { Graph_.Run(); }
  void Pause() override { Graph_.Pause(); }
  void Stop() override { Graph_.Stop(); }
  std::int64_t CurrentPosition() override { return Graph_.CurrentPosition(); }
  void SetPositions(std::int64_t current) override { Graph_.SetPositions(current); }
  void SetOnTimer(TimerHandler handler) override { Graph_.SetOnTimer(std::move(handler)); }

 private:
  void Draw(const QVideoFrame& frame) {
    if (!frame.isValid()) return;
    const QImage image = frame.toImage();
    if (image.isNull()) return;
    const TBox fit = FitInside(image.width(), image.height(), 1, 1, Sink_.Box());
    if (Fitted_.width() != fit.width || Fitted_.height() != fit.height) {
      Fitted_ = QImage(fit.width, fit.height, QImage::Format_RGB32);
    }
    {
      QPainter painter(&Fitted_);
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.drawImage(Fitted_.rect(), image);
    }
    Sink_.Show({Fitted_.constBits(), fit.width, fit.height, static_cast<int>(Fitted_.bytesPerLine()),
                frame.startTime()});
  }

  IPictureSink& Sink_;
  QVideoSink VideoSink_;
  TPlayerGraph Graph_;
  QImage Fitted_;
};

}  // namespace

std::unique_ptr<QCoreApplication> MakeChildApplication(int& argc, char** argv) {
  // Nothing of this process is ever shown; Qt 6.4 picks its GStreamer
  // backend unless told, and that one cannot open a plain MP4 here.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("QT_MEDIA_BACKEND", "ffmpeg");
  return std::make_unique<QGuiApplication>(argc, argv);
}

std::unique_ptr<IPlayerGraph> MakeChildGraph(IPictureSink& sink) {
  return std::make_unique<TMultimediaChildGraph>(sink);
}

}  // namespace tarquel::media::preview
