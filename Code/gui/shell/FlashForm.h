// TFrmFlashForm: the splash window shown while the program starts.
#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>

class QLabel;

namespace tarquel::gui {

class TFrmFlashForm : public QDialog {
  Q_OBJECT
 public:
  // Shows `picture` at its own size; `initApplication` runs in the first
  // tick of Timer1, and the window stays at least two seconds.
  TFrmFlashForm(QWidget* owner, const QImage& picture, std::function<void()> initApplication);

  int TickCount = 0;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Timer1Timer();

  QLabel* ImgFlash;
  QTimer Timer1, Timer2;
  std::function<void()> InitApplication_;
};

// Shows the splash modally with the picture (none: runs the start-up
// routine without a splash).
void ShowSplash(QWidget* owner, const QImage& picture, const std::function<void()>& initApplication);

}  // namespace tarquel::gui
