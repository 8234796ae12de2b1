// tarquel-preview: the preview player's decoding and drawing, in a process
// of its own so that a file that makes a decoder crash or hang ends only
// this process, never the window. It plays through Qt Multimedia's FFmpeg
// backend (the player graph), fits each picture into the box the window
// gives and puts it into the shared memory; the window draws it. Requests
// and answers go over the channel (see PreviewProtocol.h).
//
// Started by the window as: tarquel-preview --parent <window's process id>
// with the channel and the shared memory handed down, in this order.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSocketNotifier>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "PlayerGraph.h"
#include "PreviewProcess.h"
#include "PreviewProtocol.h"

namespace tarquel::media::preview {
namespace {

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

class TPreviewServer : public QObject {
 public:
  TPreviewServer(platform::TChannel channel, platform::TSharedMemory frames)
      : Channel_(std::move(channel)),
        Frames_(std::move(frames)),
        Graph_(&Sink_),
        Requests_(Channel_.Fd(), QSocketNotifier::Read) {
    // Tests make the child misbehave on a given request: "run:hang" stops
    // answering there, "open:abort" ends it.
    if (const char* fault = std::getenv("TARQUEL_PREVIEW_FAULT")) Fault_ = fault;
    connect(&Requests_, &QSocketNotifier::activated, this, [this] { Readable(); });
    connect(&Sink_, &QVideoSink::videoFrameChanged, this, [this](const QVideoFrame& frame) { Draw(frame); });
    Graph_.SetOnTimer([this](std::uint32_t position, std::uint32_t duration) {
      Send("pos " + std::to_string(position) + " " + std::to_string(duration));
    });
    Send("ready");
  }

 private:
  void Send(const std::string& line) {
    if (!Channel_.Send(line + "\n")) QCoreApplication::exit(0);
  }

  void Readable() {
    if (Channel_.Receive(In_) == 0) {
      // The window has gone or closed the channel: nothing more to do.
      Requests_.setEnabled(false);
      QCoreApplication::exit(0);
      return;
    }
    std::size_t end;
    while ((end = In_.find('\n')) != std::string::npos) {
      const std::string line = In_.substr(0, end);
      In_.erase(0, end + 1);
      Handle(line);
    }
    if (In_.size() > kMaxLine) QCoreApplication::exit(1);
  }

  void Handle(const std::string& line) {
    const std::size_t space = line.find(' ');
    const std::string verb = line.substr(0, space);
    const std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
    if (!Fault_.empty() && Fault_.rfind(verb + ":", 0) == 0) {
      if (Fault_.ends_with(":abort")) std::abort();
      for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
    }
    try {
      if (verb == "open") {
        // The open waits in an event loop of its own; no other request may
        // come in between.
        Requests_.setEnabled(false);
        const QByteArray path = QByteArray::fromPercentEncoding(QByteArray::fromStdString(rest));
        int undecodable = 0;
        try {
          undecodable = Graph_.RenderFile(path.toStdString());
        } catch (...) {
          Requests_.setEnabled(true);
          throw;
        }
        Requests_.setEnabled(true);
        Send("opened " + std::to_string(Graph_.Duration()) + " " + std::to_string(undecodable));
        return;
      }
      if (verb == "activate") {
        Graph_.SetActive(true);
      } else if (verb == "deactivate") {
        Graph_.SetActive(false);
      } else if (verb == "clear") {
        Graph_.ClearGraph();
      } else if (verb == "run") {
        Graph_.Run();
      } else if (verb == "pause") {
        Graph_.Pause();
      } else if (verb == "stop") {
        Graph_.Stop();
      } else if (verb == "seek") {
        Graph_.SetPositions(std::stoll(rest) * 10'000);
      } else if (verb == "box") {
        const std::size_t gap = rest.find(' ');
        Box_ = QSize(std::stoi(rest.substr(0, gap)), std::stoi(rest.substr(gap + 1)))
                   .boundedTo(QSize(kMaxWidth, kMaxHeight))
                   .expandedTo(QSize(1, 1));
      } else if (verb == "quit") {
        Graph_.SetActive(false);
        QCoreApplication::exit(0);
        return;
      } else {
        throw std::runtime_error("unknown request \"" + verb + "\"");
      }
      Send("ok");
    } catch (const std::exception& error) {
      Send("error " + OneLine(error.what()));
    }
  }

  // The picture, fitted into the box with its aspect kept, into the slot
  // the window does not show.
  void Draw(const QVideoFrame& frame) {
    if (!frame.isValid()) return;
    const QImage image = frame.toImage();
    if (image.isNull()) return;
    const QSize fit = image.size().scaled(Box_, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    TFrameHeader* header = Header(Frames_.Data());
    const std::uint32_t slot = header->slot ^ 1u;
    header->sequence.fetch_add(1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    QImage target(Slot(Frames_.Data(), slot), fit.width(), fit.height(), fit.width() * 4, QImage::Format_RGB32);
    {
      QPainter painter(&target);
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.drawImage(target.rect(), image);
    }
    header->slot = slot;
    header->width = static_cast<std::uint32_t>(fit.width());
    header->height = static_cast<std::uint32_t>(fit.height());
    header->stride = static_cast<std::uint32_t>(fit.width() * 4);
    header->startUs = frame.startTime();
    header->sequence.fetch_add(1, std::memory_order_release);
    Send("frame");
  }

  platform::TChannel Channel_;
  platform::TSharedMemory Frames_;
  QVideoSink Sink_;
  TPlayerGraph Graph_;
  QSocketNotifier Requests_;
  std::string In_;
  std::string Fault_;
  QSize Box_{640, 480};
};

}  // namespace
}  // namespace tarquel::media::preview

int main(int argc, char** argv) {
  using namespace tarquel;
  int parent = 0;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--parent") == 0) parent = std::atoi(argv[i + 1]);
  }
  if (parent <= 0 || !platform::TieToParent(parent)) return 2;
  // Nothing of this process is ever shown; Qt 6.4 picks its GStreamer
  // backend unless told, and that one cannot open a plain MP4 here.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("QT_MEDIA_BACKEND", "ffmpeg");
  QGuiApplication app(argc, argv);
  try {
    media::preview::TPreviewServer server(
        platform::TChannel(platform::NativeHandle(platform::HandedDownHandle(media::preview::kChannelHandDown))),
        platform::TSharedMemory::Map(platform::HandedDownHandle(media::preview::kFramesHandDown),
                                     media::preview::kFramesBytes));
    return QGuiApplication::exec();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tarquel-preview: %s\n", error.what());
    return 1;
  }
}
