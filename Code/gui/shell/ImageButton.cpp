#include "ImageButton.h"

#include <QPainter>

namespace tarquel::gui {

namespace {

QPixmap Picture(artwork::Glyph glyph, artwork::ButtonState state, QSize size, const QString& caption) {
  return QPixmap::fromImage(
      artwork::WithTransparency(artwork::DrawButton(glyph, state, size, caption), artwork::kButtonTransparent));
}

}  // namespace

TImageButton::TImageButton(QWidget* parent, artwork::Glyph glyph, QSize size, const QString& caption,
                           const QString& hint)
    : QAbstractButton(parent),
      Normal_(Picture(glyph, artwork::ButtonState::Normal, size, caption)),
      Hot_(Picture(glyph, artwork::ButtonState::Hot, size, caption)),
      Pressed_(Picture(glyph, artwork::ButtonState::Pressed, size, caption)) {
  setFixedSize(size);
  setText(caption);
  if (!hint.isEmpty()) setToolTip(hint);
  setFocusPolicy(Qt::NoFocus);
}

void TImageButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawPixmap(0, 0, isDown() ? Pressed_ : underMouse() ? Hot_ : Normal_);
}

}  // namespace tarquel::gui
