#include "VideoWindow.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QMouseEvent>
#include <QVideoWidget>
#include <QWindow>

#include "Artwork.h"

namespace tarquel::gui {

TVideoWindow::TVideoWindow(QWidget* parent) : QWidget(parent), Video_(new QVideoWidget(this)) {
  setAutoFillBackground(true);
  QPalette black = palette();
  black.setColor(QPalette::Window, Qt::black);
  setPalette(black);
  Video_->setAspectRatioMode(Qt::KeepAspectRatio);
  Video_->setPalette(black);
  Video_->setAutoFillBackground(true);

  panLogo = new QLabel(this);
  panLogo->setObjectName(QStringLiteral("panLogo"));
  panLogo->setScaledContents(true);
  panLogo->setAutoFillBackground(true);
  panLogo->setPalette(black);
  Video_->hide();

  HideCursor_.setSingleShot(true);
  HideCursor_.setInterval(kHideCursorMs);
  connect(&HideCursor_, &QTimer::timeout, this, [this] {
    if (!panLogo->isVisible() && rect().contains(mapFromGlobal(QCursor::pos()))) HideCursor(true);
  });
  // The video may be drawn by a native child window that the widget tree
  // does not see moves over; the application sees every move.
  qApp->installEventFilter(this);
}

TVideoWindow::~TVideoWindow() {
  if (qApp) qApp->removeEventFilter(this);
}

void TVideoWindow::resizeEvent(QResizeEvent*) {
  Video_->setGeometry(rect());
  panLogo->setGeometry(rect());
  if (panLogo->pixmap().size() != size()) panLogo->setPixmap(QPixmap::fromImage(artwork::DrawLogo(size())));
}

void TVideoWindow::ShowLogo(bool shown) {
  // The video may be drawn by a native window, which covers every plain
  // widget: it is hidden while the logo shows.
  Video_->setVisible(!shown);
  panLogo->setVisible(shown);
  if (shown) {
    panLogo->raise();
    HideCursor_.stop();
    HideCursor(false);
  } else {
    HideCursor_.start();
  }
}

void TVideoWindow::HideCursor(bool hide) {
  if (CursorHidden_ == hide) return;
  CursorHidden_ = hide;
  if (hide) {
    setCursor(Qt::BlankCursor);
    Video_->setCursor(Qt::BlankCursor);
  } else {
    unsetCursor();
    Video_->unsetCursor();
  }
}

void TVideoWindow::MouseMoved() {
  HideCursor(false);
  if (!panLogo->isVisible()) HideCursor_.start();
}

bool TVideoWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove && watched->isWindowType() && isVisible()) {
    const auto* move = static_cast<QMouseEvent*>(event);
    if (rect().contains(mapFromGlobal(move->globalPosition().toPoint()))) MouseMoved();
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tarquel::gui
