// The preview's widgets, the player graph (with its real child program) and
// the core objects behind them, put together as the main window does,
// around a list of real files.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "PreviewChildGraph.h"
#include "PreviewPlayer.h"
#include "TextFormats.h"
#include "TrimBarPanel.h"
#include "VideoWindow.h"

namespace tarquel::test {

struct PreviewRig : IPreviewView {
  // With `showVideo` the pictures are painted in the video window too;
  // either way the rig counts them and keeps the time of the last.
  explicit PreviewRig(bool showVideo, const std::string& program = TARQUEL_PROGRAM_DIR "/tarquel-preview") {
    window.resize(300, 200);
    video = new gui::TVideoWindow(&window);
    video->setGeometry(20, 10, 253, 152);
    panel = new gui::TTrimBarPanel(&window);
    panel->move(17, 170);
    graph = std::make_unique<media::TPreviewChildGraph>(program);
    graph->SetFrameBox(video->FrameBox().width(), video->FrameBox().height());
    graph->SetOnFrame([this, showVideo](const QImage& picture, std::int64_t startUs) {
      if (showVideo) video->ShowFrame(picture);
      LastFrameUs = startUs;
      ++FrameCount;
    });
    // As the main window does: the log line, and the player stopped.
    graph->SetOnFailure([this](const std::string& line) {
      log.push_back(line);
      player->StopPlayback();
    });
    player = std::make_unique<TPreviewPlayer>(
        *graph, *this, loaded, [this](const std::string& line) { log.push_back(line); },
        [] { QCoreApplication::processEvents(); });
    bar = std::make_unique<TTrimBar>(list, *player, [] { QCoreApplication::processEvents(); });
    player->Attach(*bar, list);
    panel->SetBar(bar.get());
  }
  ~PreviewRig() override {
    graph->SetActive(false);
    panel->SetBar(nullptr);
  }

  // A row for `path` lasting `seconds`, selected alone and shown on the bar.
  void SelectFile(const std::string& path, std::int64_t seconds) {
    list.Clear();
    list.Append(NewSourceRow(path, 1024, seconds));
    list.SetSelected(0, true);
    bar->RefreshTrimBar();
    panel->PaintHandles();
  }

  // Runs events until `done` holds (checked every 2 ms) or `limitMs` ran
  // out; false on the timeout. Without `done` it just runs events.
  static bool WaitFor(const std::function<bool()>& done, int limitMs) {
    if (done && done()) return true;
    QEventLoop loop;
    bool met = false;
    QTimer poll;
    if (done) {
      QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) {
          met = true;
          loop.quit();
        }
      });
      poll.start(2);
    }
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    loop.exec();
    return met;
  }

  // A left-button press, drag by `dx` and release on a part of the bar.
  static void Drag(QWidget* part, int dx, const std::function<void()>& beforeRelease = nullptr) {
    const Qt::KeyboardModifiers mods = Qt::NoModifier;
    // The part follows the mouse while it is dragged: positions are taken
    // on the screen, from where the press was.
    const QPointF at(part->width() / 2.0, part->height() / 2.0);
    const QPointF origin = part->mapToGlobal(at);
    auto send = [&](QEvent::Type type, qreal offset, Qt::MouseButtons buttons) {
      const QPointF global = origin + QPointF(offset, 0);
      QMouseEvent event(type, part->mapFromGlobal(global), global, Qt::LeftButton, buttons, mods);
      QApplication::sendEvent(part, &event);
    };
    send(QEvent::MouseButtonPress, 0, Qt::LeftButton);
    if (dx != 0) send(QEvent::MouseMove, dx / 2, Qt::LeftButton);
    if (dx != 0) send(QEvent::MouseMove, dx, Qt::LeftButton);
    if (beforeRelease) beforeRelease();
    send(QEvent::MouseButtonRelease, dx, Qt::NoButton);
  }

  std::string Cell(int column) const { return list.Cell(0, column); }

  // IPreviewView
  void ShowLogo(bool shown) override { video->ShowLogo(shown); }
  void ShowPosition(const std::string& text) override { Position = text; }
  void HoldScreenSaver(bool hold) override { ScreenSaverHeld = hold; }

  QWidget window;
  gui::TVideoWindow* video;
  gui::TTrimBarPanel* panel;
  std::unique_ptr<media::TPreviewChildGraph> graph;
  TSourceList list;
  std::string loaded;
  std::vector<std::string> log;
  std::unique_ptr<TPreviewPlayer> player;
  std::unique_ptr<TTrimBar> bar;

  std::string Position = "00:00:00";
  bool ScreenSaverHeld = false;
  qint64 LastFrameUs = -1;
  int FrameCount = 0;
};

}  // namespace tarquel::test
