#include "FlashForm.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

namespace tarquel::gui {

TFrmFlashForm::TFrmFlashForm(QWidget* owner, const QImage& picture, std::function<void()> initApplication)
    : QDialog(owner, Qt::SplashScreen | Qt::FramelessWindowHint),
      ImgFlash(new QLabel(this)),
      InitApplication_(std::move(initApplication)) {
  setObjectName(QStringLiteral("FrmFlashForm"));
  ImgFlash->setObjectName(QStringLiteral("ImgFlash"));
  ImgFlash->setPixmap(QPixmap::fromImage(picture));
  ImgFlash->setGeometry(0, 0, picture.width(), picture.height());
  setFixedSize(picture.size());
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->geometry().center() - rect().center());
  }
  Timer1.setInterval(250);
  Timer2.setInterval(1000);
  connect(&Timer1, &QTimer::timeout, this, &TFrmFlashForm::Timer1Timer);
  connect(&Timer2, &QTimer::timeout, this, [this] { ++TickCount; });
}

void TFrmFlashForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  TickCount = 0;
  Timer1.start();
  Timer2.start();
}

void TFrmFlashForm::Timer1Timer() {
  Timer1.stop();
  if (InitApplication_) InitApplication_();
  // The splash stays until two seconds have passed, or the routine ended.
  while (TickCount < 2) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  Timer2.stop();
  accept();
}

void ShowSplash(QWidget* owner, const QImage& picture, const std::function<void()>& initApplication) {
  if (picture.isNull()) {
    if (initApplication) initApplication();
    return;
  }
  TFrmFlashForm splash(owner, picture, initApplication);
  splash.exec();
}

}  // namespace tarquel::gui
