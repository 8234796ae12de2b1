// The video window DSVideoWindowEx1: the player's video, letterboxed on
// black, covered by the logo panel panLogo while nothing plays. Over the
// video the mouse cursor hides after 3 s without movement.
#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;
class QVideoWidget;

namespace tarquel::gui {

class TVideoWindow : public QWidget {
  Q_OBJECT
 public:
  explicit TVideoWindow(QWidget* parent = nullptr);
  ~TVideoWindow() override;

  static constexpr int kHideCursorMs = 3000;

  // What the player graph draws into.
  QVideoWidget* VideoOutput() const { return Video_; }
  QLabel* panLogo;

  void ShowLogo(bool shown);
  bool CursorHidden() const { return CursorHidden_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void MouseMoved();
  void HideCursor(bool hide);

  QVideoWidget* Video_;
  QTimer HideCursor_;
  bool CursorHidden_ = false;
};

}  // namespace tarquel::gui
