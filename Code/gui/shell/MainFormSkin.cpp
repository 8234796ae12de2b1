// TFrmMainForm's skin: the picture and outline at the window's size, the
// controls that follow the grown skin, the focus marks drawn on it, and the
// move by the title that a frameless window does itself.
#include "Unit_Convert.h"

#include <algorithm>

#include <QApplication>
#include <QBitmap>
#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QSizeGrip>
#include <QWindow>

#include "Artwork.h"
#include "ImageButton.h"
#include "SkinLayout.h"
#include "SourceListView.h"

namespace tarquel::gui {

namespace L = artwork::layout;
using L::Follow;

namespace {

// The window is this much taller than its skin; the strip below the skin
// is outside the window's outline.
constexpr int kBelowSkin = 519 - L::kSkinHeight;

}  // namespace

void TFrmMainForm::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawPixmap(0, 0, Skin_);
  // The focus of a check box (with its caption) or of the link.
  QWidget* focus = QApplication::focusWidget();
  if (!SkinMarksFocusOf(focus)) return;
  QRect around = focus->geometry();
  if (focus == chkShutdown) around = around.united(Label1->geometry());
  if (focus == chkShowOutputDirectory) around = around.united(Label2->geometry());
  artwork::DrawFocusMark(p, around.adjusted(-3, -2, 3, 2));
}

bool TFrmMainForm::SkinMarksFocusOf(const QWidget* widget) const {
  return widget != nullptr && (widget == chkShutdown || widget == chkShowOutputDirectory || widget == Label3);
}

void TFrmMainForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ApplySkin();
}

void TFrmMainForm::ApplySkin() {
  const QSize skin(std::max(width(), L::kSkinWidth), std::max(height() - kBelowSkin, L::kSkinHeight));
  if (skin == SkinSize_) return;
  SkinSize_ = skin;
  const QImage picture = artwork::DrawSkin(skin);
  Skin_ = QPixmap::fromImage(picture);
  // The outline is the skin without its transparent colour.
  setMask(QBitmap::fromImage(picture.createMaskFromColor(artwork::kSkinTransparent.rgb(), Qt::MaskInColor)));
  const QSize extra = skin - QSize(L::kSkinWidth, L::kSkinHeight);
  const struct {
    QWidget* widget;
    QRect place;
    Follow horizontal, vertical;
  } following[] = {
      {btnWindowMinimize, L::kMinimize, Follow::Move, Follow::Stay},
      {btnWindowClose, L::kClose, Follow::Move, Follow::Stay},
      {btnHomePage, L::kHomePage, Follow::Move, Follow::Stay},
      {btnEMail, L::kEMail, Follow::Move, Follow::Stay},
      {btnHelp, L::kHelp, Follow::Move, Follow::Stay},
      {btnAbout, L::kAbout, Follow::Move, Follow::Stay},
      {btnUpdate, L::kUpdate, Follow::Move, Follow::Stay},
      {dxTreeSourceFileInfo, L::kSourceList, Follow::Stretch, Follow::Stretch},
      {btnOpenFile, L::kOpenFile, Follow::Move, Follow::Stay},
      {btnRemoveFile, L::kRemoveFile, Follow::Move, Follow::Stay},
      {btnClearFile, L::kClearFile, Follow::Move, Follow::Stay},
      {btnConvert, L::kConvert, Follow::Move, Follow::Move},
      {SizeGrip, L::kSizeGrip, Follow::Move, Follow::Move},
  };
  for (const auto& f : following) f.widget->setGeometry(L::Grown(f.place, extra, f.horizontal, f.vertical));
  update();
}

void TFrmMainForm::StartMove(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  // The window manager moves the window where it can; otherwise follow the mouse.
  if (windowHandle() && windowHandle()->startSystemMove()) return;
  Dragging_ = true;
  DragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
  grabMouse();
}

void TFrmMainForm::mousePressEvent(QMouseEvent* event) { StartMove(event); }

void TFrmMainForm::mouseMoveEvent(QMouseEvent* event) {
  if (!Dragging_) return;
  if (!(event->buttons() & Qt::LeftButton)) {
    EndMove();
    return;
  }
  move(event->globalPosition().toPoint() - DragOffset_);
}

// The grab lasts only while the button is down: otherwise every later click
// would go to the window and move it instead of reaching a control.
void TFrmMainForm::mouseReleaseEvent(QMouseEvent* event) {
  if (Dragging_ && event->button() == Qt::LeftButton) EndMove();
  QWidget::mouseReleaseEvent(event);
}

void TFrmMainForm::EndMove() {
  Dragging_ = false;
  releaseMouse();
}

}  // namespace tarquel::gui
