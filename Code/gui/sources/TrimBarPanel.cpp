#include "TrimBarPanel.h"

#include <QAbstractEventDispatcher>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

#include "Artwork.h"

namespace tarquel::gui {

namespace {

const QColor kBarColor(61, 65, 77);

QWidget* Part(QWidget* parent, const char* name) {
  auto* part = new QWidget(parent);
  part->setObjectName(QString::fromLatin1(name));
  part->setAttribute(Qt::WA_OpaquePaintEvent);
  return part;
}

}  // namespace

TTrimBarPanel::TTrimBarPanel(QWidget* parent)
    : QWidget(parent),
      Panel2(Part(this, "Panel2")),
      Splitter1(Part(this, "Splitter1")),
      Panel4(Part(this, "Panel4")),
      Splitter2(Part(this, "Splitter2")),
      Panel3(Part(this, "Panel3")),
      // Black pixels of the handle images show the handle's background.
      ImgL_(artwork::WithTransparency(artwork::DrawTrimHandle(true), Qt::black)),
      ImgR_(artwork::WithTransparency(artwork::DrawTrimHandle(false), Qt::black)),
      Outer_(artwork::DrawTrimStrip(false)),
      Middle_(artwork::DrawTrimStrip(true)) {
  setFixedSize(TTrimBar::W, 19);
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, kBarColor);
  setPalette(palette);
  for (QWidget* part : {Panel2, Splitter1, Panel4, Splitter2, Panel3}) part->installEventFilter(this);
  Splitter1->setCursor(Qt::PointingHandCursor);
  Splitter2->setCursor(Qt::PointingHandCursor);
  LayOut();
  if (auto* events = QAbstractEventDispatcher::instance(thread())) {
    connect(events, &QAbstractEventDispatcher::aboutToBlock, this, &TTrimBarPanel::PaintHandles);
  }
}

void TTrimBarPanel::SetBar(TTrimBar* bar) {
  Bar_ = bar;
  Dragged_ = nullptr;
  LayOut();
}

void TTrimBarPanel::LayOut() {
  ShownLeft_ = Bar_ ? Bar_->LeftWidth() : 1;
  ShownRight_ = Bar_ ? Bar_->RightWidth() : 1;
  const int h = height();
  const int x1 = ShownLeft_;
  const int x2 = TTrimBar::W - ShownRight_ - TTrimBar::H2;
  Panel2->setGeometry(0, 0, ShownLeft_, h);
  Splitter1->setGeometry(x1, 0, TTrimBar::H1, h);
  Panel4->setGeometry(x1 + TTrimBar::H1, 0, std::max(0, x2 - x1 - TTrimBar::H1), h);
  Splitter2->setGeometry(x2, 0, TTrimBar::H2, h);
  Panel3->setGeometry(x2 + TTrimBar::H2, 0, ShownRight_, h);
}

bool TTrimBarPanel::PaintHandles() {
  if (!Bar_ || Dragged_) return false;
  if (Bar_->LeftWidth() == ShownLeft_ && Bar_->RightWidth() == ShownRight_) return false;
  LayOut();
  return true;
}

TShiftState TTrimBarPanel::ShiftStateOf(const QMouseEvent& event) {
  TShiftState shift = 0;
  const Qt::KeyboardModifiers mods = event.modifiers();
  if (mods & Qt::ShiftModifier) shift |= ssShift;
  if (mods & Qt::AltModifier) shift |= ssAlt;
  if (mods & Qt::ControlModifier) shift |= ssCtrl;
  const Qt::MouseButtons buttons = event.buttons() | event.button();
  if (buttons & Qt::LeftButton) shift |= ssLeft;
  if (buttons & Qt::RightButton) shift |= ssRight;
  if (buttons & Qt::MiddleButton) shift |= ssMiddle;
  if (event.type() == QEvent::MouseButtonDblClick) shift |= ssDouble;
  return shift;
}

void TTrimBarPanel::PaintPart(QWidget* part, QPaintEvent* event) {
  QPainter p(part);
  const QRect all = part->rect();
  if (part == Splitter1 || part == Splitter2) {
    p.fillRect(event->rect(), kBarColor);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(all, part == Splitter1 ? ImgL_ : ImgR_);
  } else {
    p.drawImage(all, part == Panel4 ? Middle_ : Outer_);
  }
}

bool TTrimBarPanel::eventFilter(QObject* watched, QEvent* event) {
  auto* part = qobject_cast<QWidget*>(watched);
  if (!part || part->parentWidget() != this) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::Paint:
      PaintPart(part, static_cast<QPaintEvent*>(event));
      return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      if (!Bar_) return true;
      const auto* mouse = static_cast<QMouseEvent*>(event);
      const TMouseButton button = mouse->button() == Qt::LeftButton    ? TMouseButton::mbLeft
                                  : mouse->button() == Qt::RightButton ? TMouseButton::mbRight
                                                                       : TMouseButton::mbMiddle;
      if (part == Panel2 || part == Panel3) {
        const std::int64_t before = Bar_->LeftWidth() * 1000 + Bar_->RightWidth();
        if (part == Panel2) Bar_->Panel2MouseDown(button, ShiftStateOf(*mouse));
        else Bar_->Panel3MouseDown(button, ShiftStateOf(*mouse));
        if (Bar_->LeftWidth() * 1000 + Bar_->RightWidth() != before) {
          LayOut();
          emit TimesChanged();
        }
      } else if ((part == Splitter1 || part == Splitter2) && mouse->button() == Qt::LeftButton) {
        Dragged_ = part;
        DragStartX_ = qRound(mouse->globalPosition().x());
        DragStartWidth_ = part == Splitter1 ? Bar_->LeftWidth() : Bar_->RightWidth();
      }
      return true;
    }
    case QEvent::MouseMove: {
      if (!Bar_ || part != Dragged_) return true;
      const int dx = qRound(static_cast<QMouseEvent*>(event)->globalPosition().x()) - DragStartX_;
      // Every part keeps at least a pixel: the outer part, and the middle.
      const int others = TTrimBar::H1 + TTrimBar::H2 + 1;
      if (part == Splitter1) {
        Bar_->SetLeftWidth(std::clamp(DragStartWidth_ + dx, 1, TTrimBar::W - Bar_->RightWidth() - others));
      } else {
        Bar_->SetRightWidth(std::clamp(DragStartWidth_ - dx, 1, TTrimBar::W - Bar_->LeftWidth() - others));
      }
      LayOut();
      return true;
    }
    case QEvent::MouseButtonRelease: {
      if (!Bar_ || part != Dragged_ || static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) return true;
      Dragged_ = nullptr;
      if (part == Splitter1) Bar_->SetStartTimeAndPlay();
      else Bar_->Splitter2Moved();
      LayOut();
      emit TimesChanged();
      return true;
    }
    default:
      return QWidget::eventFilter(watched, event);
  }
}

}  // namespace tarquel::gui
