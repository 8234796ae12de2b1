// tarquel-preview: the preview player's decoding and drawing, in a process
// of its own so that a file that makes a decoder crash or hang ends only
// this process, never the window. Its player graph (ChildGraph.h) fits each
// picture into the box the window gives; the child puts it into the shared
// memory and the window draws it. Requests and answers go over the channel
// (see PreviewProtocol.h).
//
// Started by the window as: tarquel-preview --parent <window's process id>
// with the channel and the shared memory handed down, in this order.
#include <QByteArray>
#include <QCoreApplication>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "ChannelWatch.h"
#include "ChildGraph.h"
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

class TPreviewServer : public QObject, public IPictureSink {
 public:
  TPreviewServer(platform::TChannel channel, platform::TSharedMemory frames)
      : Channel_(std::move(channel)),
        Frames_(std::move(frames)),
        Graph_(MakeChildGraph(*this)),
        Requests_(Channel_, [this] { Readable(); }) {
    // Tests make the child misbehave on a given request: "run:hang" stops
    // answering there, "open:abort" ends it.
    if (const char* fault = std::getenv("TARQUEL_PREVIEW_FAULT")) Fault_ = fault;
    Graph_->SetOnTimer([this](std::uint32_t position, std::uint32_t duration) {
      Send("pos " + std::to_string(position) + " " + std::to_string(duration));
    });
    Send("ready");
  }
  // The graph goes first: its decoding thread may still be showing a picture.
  ~TPreviewServer() override { Graph_.reset(); }

  TBox Box() const override {
    const std::lock_guard lock(BoxLock_);
    return Box_;
  }

  // The picture into the slot the window does not show, then published; the
  // notice goes out from the event loop.
  void Show(const TRgbPicture& picture) override {
    const int width = std::clamp(picture.width, 1, kMaxWidth);
    const int height = std::clamp(picture.height, 1, kMaxHeight);
    TFrameHeader* header = Header(Frames_.Data());
    const std::uint32_t slot = header->slot ^ 1u;
    header->sequence.fetch_add(1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    unsigned char* into = Slot(Frames_.Data(), slot);
    const auto rowBytes = static_cast<std::size_t>(width) * 4;
    for (int row = 0; row < height; ++row) {
      std::memcpy(into + rowBytes * static_cast<std::size_t>(row),
                  picture.rows + static_cast<std::size_t>(picture.stride) * static_cast<std::size_t>(row), rowBytes);
    }
    header->slot = slot;
    header->width = static_cast<std::uint32_t>(width);
    header->height = static_cast<std::uint32_t>(height);
    header->stride = static_cast<std::uint32_t>(rowBytes);
    header->startUs = picture.startUs;
    header->sequence.fetch_add(1, std::memory_order_release);
    QMetaObject::invokeMethod(this, [this] { Send("frame"); }, Qt::QueuedConnection);
  }

 private:
  void Send(const std::string& line) {
    if (!Channel_.Send(line + "\n")) QCoreApplication::exit(0);
  }

  void Readable() {
    if (Channel_.Receive(In_) == 0) {
      // The window has gone or closed the channel: nothing more to do.
      Requests_.SetEnabled(false);
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
        Requests_.SetEnabled(false);
        const QByteArray path = QByteArray::fromPercentEncoding(QByteArray::fromStdString(rest));
        int undecodable = 0;
        try {
          undecodable = Graph_->RenderFile(path.toStdString());
        } catch (...) {
          Requests_.SetEnabled(true);
          throw;
        }
        Requests_.SetEnabled(true);
        Send("opened " + std::to_string(Graph_->Duration()) + " " + std::to_string(undecodable));
        return;
      }
      if (verb == "activate") {
        Graph_->SetActive(true);
      } else if (verb == "deactivate") {
        Graph_->SetActive(false);
      } else if (verb == "clear") {
        Graph_->ClearGraph();
      } else if (verb == "run") {
        Graph_->Run();
      } else if (verb == "pause") {
        Graph_->Pause();
      } else if (verb == "stop") {
        Graph_->Stop();
      } else if (verb == "seek") {
        Graph_->SetPositions(std::stoll(rest) * 10'000);
      } else if (verb == "box") {
        const std::size_t gap = rest.find(' ');
        const TBox box{std::clamp(std::stoi(rest.substr(0, gap)), 1, kMaxWidth),
                       std::clamp(std::stoi(rest.substr(gap + 1)), 1, kMaxHeight)};
        const std::lock_guard lock(BoxLock_);
        Box_ = box;
      } else if (verb == "quit") {
        Graph_->SetActive(false);
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

  platform::TChannel Channel_;
  platform::TSharedMemory Frames_;
  std::unique_ptr<IPlayerGraph> Graph_;
  platform::TChannelWatch Requests_;
  std::string In_;
  std::string Fault_;
  mutable std::mutex BoxLock_;
  TBox Box_{640, 480};
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
  const std::unique_ptr<QCoreApplication> app = media::preview::MakeChildApplication(argc, argv);
  try {
    media::preview::TPreviewServer server(
        platform::TChannel(platform::NativeHandle(platform::HandedDownHandle(media::preview::kChannelHandDown))),
        platform::TSharedMemory::Map(platform::HandedDownHandle(media::preview::kFramesHandDown),
                                     media::preview::kFramesBytes));
    return QCoreApplication::exec();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tarquel-preview: %s\n", error.what());
    return 1;
  }
}
