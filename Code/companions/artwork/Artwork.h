// Every picture of the program, drawn in code: the main window's skin, the
// image buttons in their three states, the logo and the splash.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>

class QPainter;
class QRect;

namespace tarquel::artwork {

// The skin's transparent colour stands in its bottom-left pixel; buttons
// use olive for theirs.
inline const QColor kSkinTransparent{255, 0, 255};
inline const QColor kButtonTransparent{128, 128, 0};

QImage DrawSkin();
// The skin grown to `size` (at least the skin's own 686 x 486): the panels
// follow the places of SkinLayout.h, and a size grip shows in the corner.
QImage DrawSkin(QSize size);

// The mark around a control that has the keyboard focus, on the skin's
// dark panels: a bright rounded frame just inside `around`.
void DrawFocusMark(QPainter& p, const QRect& around);

enum class ButtonState { Normal, Hot, Pressed };

enum class Glyph {
  Minimize, Close, HomePage, EMail, Help, About, Update, Play, Pause, Stop, Text,
};

// A button picture of the given size; text buttons show `caption`.
QImage DrawButton(Glyph glyph, ButtonState state, QSize size, const QString& caption = QString());

// The Converting dialog's background at `size`, in the main window's style.
QImage DrawConvertingSkin(QSize size);

// The picture the idle video window shows.
QImage DrawLogo(QSize size);

// The trim bar's pictures: the handles imgL and imgR (17 x 19, black where
// the handle's own background shows), and the strip behind the outer parts
// or the selected middle part, to be stretched over the part.
QImage DrawTrimHandle(bool startHandle);
QImage DrawTrimStrip(bool selected);

// The splash picture, with the product's name on it.
QImage DrawSplash();

// The program's icon, square with side `size`, drawn on a 256-unit grid
// (the scalable icon in the desktop data draws the same shapes).
QImage DrawAppIcon(int size);

// Replaces every pixel of `transparent` by a clear one.
QImage WithTransparency(const QImage& image, const QColor& transparent);

}  // namespace tarquel::artwork
