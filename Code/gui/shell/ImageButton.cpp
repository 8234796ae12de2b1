#include "ImageButton.h"

#include <QKeyEvent>
#include <QPainter>

namespace tarquel::gui {

namespace {

QPixmap Picture(artwork::Glyph glyph, artwork::ButtonState state, QSize size, const QString& caption) {
  return QPixmap::fromImage(
      artwork::WithTransparency(artwork::DrawButton(glyph, state, size, caption), artwork::kButtonTransparent));
}

}  // namespace

TImageButton::TImageButton(QWidget* parent, artwork::Glyph glyph, QSize size, const QString& caption,
                           const QString& hint, const QString& name)
    : QAbstractButton(parent),
      Normal_(Picture(glyph, artwork::ButtonState::Normal, size, caption)),
      Hot_(Picture(glyph, artwork::ButtonState::Hot, size, caption)),
      Pressed_(Picture(glyph, artwork::ButtonState::Pressed, size, caption)) {
  setFixedSize(size);
  setText(caption);
  if (!hint.isEmpty()) setToolTip(hint);
  setAccessibleName(name.isEmpty() ? caption : name);
  setFocusPolicy(Qt::TabFocus);
}

void TImageButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawPixmap(0, 0, isDown() ? Pressed_ : underMouse() ? Hot_ : Normal_);
  if (hasFocus()) artwork::DrawFocusMark(p, rect());
}

void TImageButton::keyPressEvent(QKeyEvent* event) {
  // Space is the button's own (a click on release); Enter clicks at once.
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
    if (!event->isAutoRepeat()) click();
    event->accept();
    return;
  }
  QAbstractButton::keyPressEvent(event);
}

}  // namespace tarquel::gui
