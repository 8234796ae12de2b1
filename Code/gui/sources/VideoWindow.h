// The video window DSVideoWindowEx1: the player's video, letterboxed on
// black, covered by the logo panel panLogo while nothing plays. Over the
// video the mouse cursor hides after 3 s without movement. The pictures are
// handed in (the preview child draws them); the window paints the latest.
#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>

class QLabel;

namespace tarquel::gui {

class TVideoWindow : public QWidget {
  Q_OBJECT
 public:
  explicit TVideoWindow(QWidget* parent = nullptr);
  ~TVideoWindow() override;

  static constexpr int kHideCursorMs = 3000;

  // Where the pictures show.
  QWidget* VideoOutput() const { return Video_; }
  QLabel* panLogo;

  // The latest picture, drawn fitted into the window with its aspect kept.
  void ShowFrame(const QImage& picture);
  // The box, in device pixels, that pictures are best made to fit.
  QSize FrameBox() const;

  void ShowLogo(bool shown);
  bool CursorHidden() const { return CursorHidden_; }

 signals:
  void FrameBoxChanged(QSize box);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void MouseMoved();
  void HideCursor(bool hide);

  QWidget* Video_;
  QTimer HideCursor_;
  bool CursorHidden_ = false;
};

}  // namespace tarquel::gui
