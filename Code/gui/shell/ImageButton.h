// A button drawn from three pictures: normal, hot (under the mouse) and
// pressed.
#pragma once

#include <QAbstractButton>
#include <QPixmap>

#include "Artwork.h"

namespace tarquel::gui {

class TImageButton : public QAbstractButton {
  Q_OBJECT
 public:
  // Draws the three pictures of `glyph` at `size`; `hint` becomes the tooltip.
  TImageButton(QWidget* parent, artwork::Glyph glyph, QSize size, const QString& caption = QString(),
               const QString& hint = QString());

  QSize sizeHint() const override { return Normal_.size(); }

 protected:
  void paintEvent(QPaintEvent*) override;
  void enterEvent(QEnterEvent*) override { update(); }
  void leaveEvent(QEvent*) override { update(); }

 private:
  QPixmap Normal_, Hot_, Pressed_;
};

}  // namespace tarquel::gui
