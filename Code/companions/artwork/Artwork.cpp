#include "Artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "SkinLayout.h"

namespace tarquel::artwork {

namespace {

const QColor kInk{235, 241, 248};
const QColor kPanel{31, 47, 66};
const QColor kPanelEdge{62, 92, 122};
const QColor kAccent{42, 130, 205};

QFont UiFont(int pixels, bool bold = false) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(pixels);
  font.setBold(bold);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

void Panel(QPainter& p, const QRect& r) {
  QLinearGradient fill(r.topLeft(), r.bottomLeft());
  fill.setColorAt(0, kPanel.lighter(112));
  fill.setColorAt(1, kPanel);
  p.setPen(QPen(kPanelEdge, 1));
  p.setBrush(fill);
  p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
}

// Paints `shape` over the colour that stands for transparency, so that only
// pixels the shape leaves wholly clear take that colour.
QImage OverTransparentColour(const QImage& shape, const QColor& transparent) {
  QImage out = shape.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < out.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) {
      if (qAlpha(line[x]) == 0) line[x] = transparent.rgb();
    }
  }
  return out;
}

void DrawGlyph(QPainter& p, Glyph glyph, const QRectF& box, const QString& caption) {
  const QPointF c = box.center();
  const qreal s = std::min(box.width(), box.height());
  p.setPen(QPen(kInk, std::max<qreal>(1.6, s / 14), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  const auto square = [&](qreal f) { return QRectF(c.x() - s * f, c.y() - s * f, 2 * s * f, 2 * s * f); };
  switch (glyph) {
    case Glyph::Minimize:
      p.drawLine(QPointF(c.x() - s * 0.22, c.y() + s * 0.18), QPointF(c.x() + s * 0.22, c.y() + s * 0.18));
      break;
    case Glyph::Close:
      p.drawLine(square(0.2).topLeft(), square(0.2).bottomRight());
      p.drawLine(square(0.2).topRight(), square(0.2).bottomLeft());
      break;
    case Glyph::HomePage: {
      QPainterPath house;
      house.moveTo(c.x() - s * 0.24, c.y() - s * 0.02);
      house.lineTo(c.x(), c.y() - s * 0.24);
      house.lineTo(c.x() + s * 0.24, c.y() - s * 0.02);
      p.drawPath(house);
      p.drawRect(QRectF(c.x() - s * 0.17, c.y() - s * 0.04, s * 0.34, s * 0.26));
      break;
    }
    case Glyph::EMail: {
      const QRectF env(c.x() - s * 0.25, c.y() - s * 0.16, s * 0.5, s * 0.32);
      p.drawRect(env);
      p.drawPolyline(QPolygonF({env.topLeft(), QPointF(c.x(), c.y() + s * 0.04), env.topRight()}));
      break;
    }
    case Glyph::Help:
    case Glyph::About:
    case Glyph::Update:
      p.drawEllipse(square(0.26));
      p.setFont(UiFont(static_cast<int>(s * 0.34), true));
      p.drawText(square(0.26), Qt::AlignCenter,
                 glyph == Glyph::Help ? QStringLiteral("?") : glyph == Glyph::About ? QStringLiteral("i") : QStringLiteral("↻"));
      break;
    case Glyph::Play:
      p.setBrush(kInk);
      p.drawPolygon(QPolygonF({QPointF(c.x() - s * 0.14, c.y() - s * 0.2), QPointF(c.x() + s * 0.2, c.y()),
                               QPointF(c.x() - s * 0.14, c.y() + s * 0.2)}));
      break;
    case Glyph::Pause:
      p.setBrush(kInk);
      p.drawRect(QRectF(c.x() - s * 0.16, c.y() - s * 0.18, s * 0.1, s * 0.36));
      p.drawRect(QRectF(c.x() + s * 0.06, c.y() - s * 0.18, s * 0.1, s * 0.36));
      break;
    case Glyph::Stop:
      p.setBrush(kInk);
      p.drawRect(square(0.15));
      break;
    case Glyph::Text:
      p.setFont(UiFont(box.height() >= 36 ? 15 : box.height() >= 26 ? 12 : 11, box.height() >= 26));
      p.drawText(box, Qt::AlignCenter, caption);
      break;
  }
}

}  // namespace

QImage DrawSkin() { return DrawSkin(QSize(layout::kSkinWidth, layout::kSkinHeight)); }

QImage DrawSkin(QSize size) {
  using namespace layout;
  size = size.expandedTo(QSize(kSkinWidth, kSkinHeight));
  const QSize extra = size - QSize(kSkinWidth, kSkinHeight);
  QImage skin(size, QImage::Format_RGB32);
  skin.fill(kSkinTransparent);
  QPainter p(&skin);
  // The outline: a rounded window, drawn without smoothing so that every
  // pixel is either the skin or the transparent colour.
  QPainterPath outline;
  outline.addRoundedRect(QRectF(0, 0, size.width(), size.height()), 14, 14);
  QLinearGradient body(0, 0, 0, size.height());
  body.setColorAt(0, QColor(24, 38, 56));
  body.setColorAt(1, QColor(12, 20, 31));
  p.fillPath(outline, body);

  p.setRenderHint(QPainter::Antialiasing);
  const QRect titleBar = GrownTitleBar(extra);
  QLinearGradient title(0, 0, titleBar.right() + 3, 0);
  title.setColorAt(0, kAccent);
  title.setColorAt(1, QColor(24, 66, 110));
  QPainterPath bar;
  bar.addRoundedRect(QRectF(titleBar), 11, 11);
  p.fillPath(bar, title);
  for (const QRect& r : {kPreviewPanel, GrownSettingsPanel(extra), GrownListPanel(extra)}) Panel(p, r);
  p.setPen(QColor(120, 150, 180));
  p.setFont(UiFont(11));
  p.drawText(GrownFooter(extra), Qt::AlignVCenter | Qt::AlignLeft,
             QStringLiteral("Drop media files on the list to add them. Tick the files to convert, then press Convert."));
  // The size grip: three short diagonals in the corner.
  const QRect grip = Grown(kSizeGrip, extra, Follow::Move, Follow::Move);
  p.setPen(QPen(QColor(120, 150, 180), 1.4));
  for (int i = 1; i <= 3; ++i) {
    const int d = i * grip.width() / 3;
    p.drawLine(QPointF(grip.right() - d + 1, grip.bottom()), QPointF(grip.right(), grip.bottom() - d + 1));
  }
  p.end();
  // The corners stay exactly transparent (smoothing above never reaches them).
  skin.setPixelColor(0, size.height() - 1, kSkinTransparent);
  return skin;
}

void DrawFocusMark(QPainter& p, const QRect& around) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(255, 200, 61), 2));
  p.drawRoundedRect(QRectF(around).adjusted(1, 1, -1, -1), 4, 4);
  p.restore();
}

QImage DrawConvertingSkin(QSize size) {
  QImage skin(size, QImage::Format_RGB32);
  QPainter p(&skin);
  QLinearGradient body(0, 0, 0, size.height());
  body.setColorAt(0, QColor(24, 38, 56));
  body.setColorAt(1, QColor(12, 20, 31));
  p.fillRect(skin.rect(), body);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient band(0, 0, size.width(), 0);
  band.setColorAt(0, kAccent);
  band.setColorAt(1, QColor(24, 66, 110));
  QPainterPath top;
  top.addRoundedRect(QRectF(4, 4, size.width() - 8, 30), 8, 8);
  p.fillPath(top, band);
  Panel(p, QRect(4, 40, size.width() - 8, size.height() - 66));
  return skin;
}

QImage DrawButton(Glyph glyph, ButtonState state, QSize size, const QString& caption) {
  QImage shape(size, QImage::Format_ARGB32_Premultiplied);
  shape.fill(Qt::transparent);
  QPainter p(&shape);
  p.setRenderHint(QPainter::Antialiasing);
  const bool pressed = state == ButtonState::Pressed;
  const QColor base = state == ButtonState::Hot ? kAccent.lighter(125) : pressed ? kAccent.darker(140) : kAccent;
  QRectF face = QRectF(shape.rect()).adjusted(1, 1, -1, -1);
  if (pressed) face.translate(0.5, 1);
  QLinearGradient fill(face.topLeft(), face.bottomLeft());
  fill.setColorAt(0, pressed ? base : base.lighter(130));
  fill.setColorAt(1, pressed ? base.lighter(115) : base.darker(120));
  const bool round = glyph != Glyph::Text && size.width() == size.height();
  p.setPen(QPen(base.darker(170), 1));
  p.setBrush(fill);
  const qreal radius = round ? face.width() / 2 : 5;
  p.drawRoundedRect(face, radius, radius);
  DrawGlyph(p, glyph, face, caption);
  p.end();
  return OverTransparentColour(shape, kButtonTransparent);
}

QImage DrawLogo(QSize size) {
  QImage logo(size, QImage::Format_RGB32);
  logo.fill(Qt::black);
  QPainter p(&logo);
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF c(size.width() / 2.0, size.height() / 2.0 - 10);
  QPainterPath ring;
  ring.addEllipse(c, 30, 30);
  p.fillPath(ring, QColor(30, 70, 110));
  p.setBrush(kInk);
  p.setPen(Qt::NoPen);
  p.drawPolygon(QPolygonF({c + QPointF(-10, -15), c + QPointF(16, 0), c + QPointF(-10, 15)}));
  p.setPen(QColor(150, 175, 200));
  p.setFont(UiFont(16, true));
  p.drawText(QRectF(0, c.y() + 34, size.width(), 22), Qt::AlignCenter, QStringLiteral("Tarquel"));
  return logo;
}

QImage DrawTrimHandle(bool startHandle) {
  QImage handle(17, 19, QImage::Format_RGB32);
  handle.fill(Qt::black);
  QPainter p(&handle);
  p.setRenderHint(QPainter::Antialiasing);
  // A bracket with a pointer towards the selected segment; the start handle
  // opens to the right, the end handle to the left.
  if (!startHandle) p.setTransform(QTransform(-1, 0, 0, 1, 17, 0));
  QLinearGradient metal(0, 0, 0, 19);
  metal.setColorAt(0, QColor(250, 214, 120));
  metal.setColorAt(1, QColor(214, 140, 30));
  p.setPen(Qt::NoPen);
  p.setBrush(metal);
  p.drawRoundedRect(QRectF(3, 1, 4, 17), 1.5, 1.5);
  p.drawPolygon(QPolygonF({QPointF(7, 4.5), QPointF(14, 9.5), QPointF(7, 14.5)}));
  p.setBrush(QColor(40, 30, 10));
  p.drawRect(QRectF(4.5, 4, 1, 11));
  return handle;
}

QImage DrawTrimStrip(bool selected) {
  QImage strip(4, 19, QImage::Format_RGB32);
  QPainter p(&strip);
  QLinearGradient shade(0, 0, 0, 19);
  if (selected) {
    shade.setColorAt(0, QColor(92, 170, 236));
    shade.setColorAt(0.5, QColor(42, 130, 205));
    shade.setColorAt(1, QColor(24, 78, 132));
  } else {
    shade.setColorAt(0, QColor(38, 42, 52));
    shade.setColorAt(0.5, QColor(52, 57, 69));
    shade.setColorAt(1, QColor(30, 33, 41));
  }
  p.fillRect(strip.rect(), shade);
  // A thin groove across the strip.
  p.fillRect(QRect(0, 9, 4, 1), selected ? QColor(170, 215, 250) : QColor(22, 24, 30));
  return strip;
}

QImage DrawSplash() {
  QImage splash(480, 280, QImage::Format_RGB32);
  QPainter p(&splash);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient back(0, 0, 480, 280);
  back.setColorAt(0, QColor(24, 66, 110));
  back.setColorAt(1, QColor(10, 18, 28));
  p.fillRect(splash.rect(), back);
  // A strip of film across the picture.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 28));
  p.drawRect(QRectF(0, 150, 480, 46));
  p.setBrush(QColor(10, 18, 28, 160));
  for (int x = 8; x < 480; x += 24) {
    p.drawRect(QRectF(x, 154, 12, 7));
    p.drawRect(QRectF(x, 185, 12, 7));
  }
  p.setPen(kInk);
  p.setFont(UiFont(52, true));
  p.drawText(QRectF(32, 40, 420, 70), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tarquel"));
  p.setFont(UiFont(15));
  p.drawText(QRectF(36, 106, 420, 24), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Video for your handheld console, music for your player"));
  p.setPen(QColor(160, 185, 210));
  p.setFont(UiFont(12));
  p.drawText(QRectF(36, 228, 420, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Starting…"));
  p.drawText(QRectF(36, 228, 408, 20), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Version 2.0"));
  return splash;
}

QImage DrawAppIcon(int size) {
  QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
  icon.fill(Qt::transparent);
  QPainter p(&icon);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 256.0, size / 256.0);
  p.setPen(Qt::NoPen);
  // A rounded tile in the window's blue.
  QLinearGradient back(0, 16, 0, 240);
  back.setColorAt(0, QColor(52, 140, 215));
  back.setColorAt(1, QColor(20, 48, 80));
  p.setBrush(back);
  p.drawRoundedRect(QRectF(16, 16, 224, 224), 40, 40);
  // A strip of film with its sprocket holes.
  p.setBrush(QColor(10, 18, 28));
  p.drawRect(QRectF(16, 64, 224, 128));
  p.setBrush(QColor(235, 241, 248, 150));
  for (int i = 0; i < 7; ++i) {
    p.drawRect(QRectF(28 + i * 30, 72, 16, 12));
    p.drawRect(QRectF(28 + i * 30, 172, 16, 12));
  }
  // The play mark, with an arrow on to the output.
  p.setBrush(kInk);
  p.drawPolygon(QPolygonF({QPointF(84, 96), QPointF(84, 160), QPointF(136, 128)}));
  p.setBrush(QColor(255, 170, 40));
  p.drawPolygon(QPolygonF({QPointF(148, 116), QPointF(180, 116), QPointF(180, 100), QPointF(212, 128),
                           QPointF(180, 156), QPointF(180, 140), QPointF(148, 140)}));
  return icon;
}

QImage WithTransparency(const QImage& image, const QColor& transparent) {
  QImage out = image.convertToFormat(QImage::Format_ARGB32);
  const QRgb key = transparent.rgb();
  for (int y = 0; y < out.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) {
      if ((line[x] | 0xFF000000u) == key && qAlpha(line[x]) == 255) line[x] = 0;
    }
  }
  return out;
}

}  // namespace tarquel::artwork
