// A button drawn from three pictures: normal, hot (under the mouse) and
// pressed. It takes the keyboard focus by Tab (a click leaves the focus
// where it is), shows it with the skin's focus mark, and Space or Enter
// clicks it.
#pragma once

#include <QAbstractButton>
#include <QPixmap>

#include "Artwork.h"

namespace tarquel::gui {

class TImageButton : public QAbstractButton {
  Q_OBJECT
 public:
  // Draws the three pictures of `glyph` at `size`; `hint` becomes the tooltip.
  // `name` is what screen readers call it; the caption when empty.
  TImageButton(QWidget* parent, artwork::Glyph glyph, QSize size, const QString& caption = QString(),
               const QString& hint = QString(), const QString& name = QString());

  QSize sizeHint() const override { return Normal_.size(); }

 protected:
  void paintEvent(QPaintEvent*) override;
  void enterEvent(QEnterEvent*) override { update(); }
  void leaveEvent(QEvent*) override { update(); }
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QPixmap Normal_, Hot_, Pressed_;
};

}  // namespace tarquel::gui
