#include "VideoWindow.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "Artwork.h"

namespace tarquel::gui {

namespace {

// Paints one picture letterboxed on black.
class TFrameView : public QWidget {
 public:
  explicit TFrameView(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }
  void Show(const QImage& picture) {
    Picture_ = picture;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    if (Picture_.isNull()) {
      painter.fillRect(rect(), Qt::black);
      return;
    }
    const qreal ratio = devicePixelRatioF();
    const QSize fit = Picture_.size().scaled((QSizeF(size()) * ratio).toSize(), Qt::KeepAspectRatio);
    const QSizeF shown = QSizeF(fit) / ratio;
    const QRectF target(QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
    // The black bars around the picture, then the picture.
    QRegion bars(rect());
    bars -= target.toAlignedRect();
    for (const QRect& bar : bars) painter.fillRect(bar, Qt::black);
    if (fit != Picture_.size()) painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, Picture_);
  }

 private:
  QImage Picture_;
};

}  // namespace

TVideoWindow::TVideoWindow(QWidget* parent) : QWidget(parent), Video_(new TFrameView(this)) {
  setAutoFillBackground(true);
  QPalette black = palette();
  black.setColor(QPalette::Window, Qt::black);
  setPalette(black);

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
  // Moves are watched on the whole application, so that they count over
  // every part of the window, whatever lies on top.
  qApp->installEventFilter(this);
}

TVideoWindow::~TVideoWindow() {
  if (qApp) qApp->removeEventFilter(this);
}

void TVideoWindow::ShowFrame(const QImage& picture) { static_cast<TFrameView*>(Video_)->Show(picture); }

QSize TVideoWindow::FrameBox() const { return (QSizeF(size()) * devicePixelRatioF()).toSize(); }

void TVideoWindow::resizeEvent(QResizeEvent*) {
  Video_->setGeometry(rect());
  emit FrameBoxChanged(FrameBox());
  panLogo->setGeometry(rect());
  if (panLogo->pixmap().size() != size()) panLogo->setPixmap(QPixmap::fromImage(artwork::DrawLogo(size())));
}

void TVideoWindow::ShowLogo(bool shown) {
  // The video is hidden while the logo shows; the next file starts on black,
  // not on the last picture of the one before.
  Video_->setVisible(!shown);
  if (shown) ShowFrame(QImage());
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
