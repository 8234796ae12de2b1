#include "Unit_Convert.h"

#include <QApplication>
#include <QBitmap>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QMimeData>
#include <QWindow>

#include "Artwork.h"
#include "ImageButton.h"
#include "SkinLayout.h"
#include "SourceListView.h"
#include "TrimBarPanel.h"
#include "VideoWindow.h"

namespace tarquel::gui {

namespace L = artwork::layout;
using artwork::Glyph;

namespace {

QLabel* SkinLabel(QWidget* parent, const QString& text, int x, int y, int pixels = 11, bool bold = false) {
  auto* label = new QLabel(text, parent);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(pixels);
  font.setBold(bold);
  label->setFont(font);
  label->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
  label->adjustSize();
  label->move(x, y);
  return label;
}

template <typename W>
W* Place(W* widget, const QRect& where, const char* name) {
  widget->setGeometry(where);
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

}  // namespace

TFrmMainForm::TFrmMainForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      Skin_(QPixmap::fromImage(artwork::DrawSkin())) {
  setObjectName(QStringLiteral("FrmMainForm"));
  setMinimumSize(686, 519);
  resize(686, 519);
  // The outline is the skin without its transparent colour.
  setMask(QBitmap::fromImage(artwork::DrawSkin().createMaskFromColor(artwork::kSkinTransparent.rgb(), Qt::MaskInColor)));
  setStyleSheet(QStringLiteral(
      "QComboBox, QLineEdit { background: #0e1a27; color: #e8eef5; border: 1px solid #3e5c7a; border-radius: 3px; "
      "padding: 1px 6px; font: 11px 'Arial'; }"
      "QComboBox QAbstractItemView { background: #0e1a27; color: #e8eef5; selection-background-color: #2a82cd; }"
      "QTableView { background: #0b141e; alternate-background-color: #101c29; color: #dfe7ef; gridline-color: #24374b; "
      "border: 1px solid #3e5c7a; font: 11px 'Arial'; selection-background-color: #2a82cd; selection-color: white; }"
      "QHeaderView::section { background: #1f2f42; color: #e8eef5; border: 0; border-right: 1px solid #3e5c7a; "
      "padding: 2px 4px; font: 11px 'Arial'; }"
      "QToolTip { color: #0b141e; background: #f4f7fa; border: 1px solid #3e5c7a; }"));

  lblTitle = Place(SkinLabel(this, QStringLiteral("Application name "), 0, 0, 19, true), L::kTitle, "lblTitle");
  lblTitle->installEventFilter(this);
  btnWindowMinimize = Place(new TImageButton(this, Glyph::Minimize, L::kMinimize.size()), L::kMinimize, "btnWindowMinimize");
  btnWindowClose = Place(new TImageButton(this, Glyph::Close, L::kClose.size()), L::kClose, "btnWindowClose");
  connect(btnWindowMinimize, &QAbstractButton::clicked, this, &QWidget::showMinimized);
  connect(btnWindowClose, &QAbstractButton::clicked, this, &QWidget::close);

  const auto bigButton = [this](Glyph glyph, const QRect& where, const char* name) {
    auto* button = Place(new TImageButton(this, glyph, where.size()), where, name);
    button->setCursor(Qt::PointingHandCursor);
    return button;
  };
  btnHomePage = bigButton(Glyph::HomePage, L::kHomePage, "btnHomePage");
  btnEMail = bigButton(Glyph::EMail, L::kEMail, "btnEMail");
  btnHelp = bigButton(Glyph::Help, L::kHelp, "btnHelp");
  btnAbout = bigButton(Glyph::About, L::kAbout, "btnAbout");
  btnUpdate = bigButton(Glyph::Update, L::kUpdate, "btnUpdate");
  btnUpdate->hide();

  lblOutputFileTypeName = SkinLabel(this, QStringLiteral("Output FileType:"), L::kLabelX, L::kOutputFiletype.y() + 4);
  lblOutputFileTypeName->setObjectName(QStringLiteral("lblOutputFileTypeName"));
  cbbOutputFiletype = Place(new QComboBox(this), L::kOutputFiletype, "cbbOutputFiletype");
  lblProfileSettings = SkinLabel(this, QStringLiteral("Profile Settings:"), L::kLabelX, L::kProfile.y() + 4);
  lblProfileSettings->setObjectName(QStringLiteral("lblProfileSettings"));
  cbbProfile = Place(new QComboBox(this), L::kProfile, "cbbProfile");
  btnOptions = Place(new TImageButton(this, Glyph::Text, L::kOptions.size(), QStringLiteral("Options"),
                                      QStringLiteral("Ctrl + N")), L::kOptions, "btnOptions");
  lblOutputFolderInfo = SkinLabel(this, QStringLiteral("Output Folder:"), L::kLabelX, L::kOutputFolder.y() + 4);
  lblOutputFolderInfo->setObjectName(QStringLiteral("lblOutputFolderInfo"));
  edtOutputFolder = Place(new QLineEdit(QStringLiteral("C:\\Tarquel"), this), L::kOutputFolder, "edtOutputFolder");
  edtOutputFolder->setReadOnly(true);
  RzBmpButton1 = Place(new TImageButton(this, Glyph::Text, L::kBrowse.size(), QStringLiteral("Browse"),
                                        QStringLiteral("Ctrl + N")), L::kBrowse, "RzBmpButton1");
  btnSelectOutputFolder = Place(new TImageButton(this, Glyph::Text, L::kSelectOutputFolder.size(), QStringLiteral("..."),
                                                 QStringLiteral("Ctrl + B")), L::kSelectOutputFolder, "btnSelectOutputFolder");
  btnSelectOutputFolder->hide();

  chkShutdown = Place(new QCheckBox(this), L::kShutdownBox, "chkShutdown");
  Label1 = SkinLabel(this, QStringLiteral("Shutdown computer when job is finished."), L::kShutdownBox.right() + 6,
                     L::kShutdownBox.y() + 1);
  Label1->setObjectName(QStringLiteral("Label1"));
  chkShowOutputDirectory = Place(new QCheckBox(this), L::kShowFolderBox, "chkShowOutputDirectory");
  chkShowOutputDirectory->setChecked(true);
  Label2 = SkinLabel(this, QStringLiteral("Show output directory when done"), L::kShowFolderBox.right() + 6,
                     L::kShowFolderBox.y() + 1);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label3 = SkinLabel(this, QStringLiteral("Click here to download the coder"), L::kCodecLink.x(), L::kCodecLink.y());
  Label3->setObjectName(QStringLiteral("Label3"));
  QFont link(QStringLiteral("MS Sans Serif"));
  link.setPixelSize(11);
  link.setUnderline(true);
  Label3->setFont(link);
  Label3->adjustSize();
  Label3->setCursor(Qt::PointingHandCursor);
  Label3->installEventFilter(this);

  // The preview: the video window with its logo, and the trim bar under it.
  DSVideoWindowEx1 = Place(new TVideoWindow(this), L::kVideo, "DSVideoWindowEx1");
  Panel1 = Place(new TTrimBarPanel(this), L::kTrimBar, "Panel1");
  btnPlay = Place(new TImageButton(this, Glyph::Play, L::kPlay.size(), {}, QStringLiteral("Ctrl + P")), L::kPlay, "btnPlay");
  btnPause = Place(new TImageButton(this, Glyph::Pause, L::kPause.size(), {}, QStringLiteral("Ctrl + U")), L::kPause, "btnPause");
  btnStop = Place(new TImageButton(this, Glyph::Stop, L::kStop.size(), {}, QStringLiteral("Ctrl + T")), L::kStop, "btnStop");
  pnlCurTime = Place(new QLabel(QStringLiteral("00:00:00"), this), L::kCurTime, "pnlCurTime");
  pnlCurTime->setAlignment(Qt::AlignCenter);
  pnlCurTime->setStyleSheet(QStringLiteral("background: black; color: #7fd1ff; font: 19px 'Arial';"));

  dxTreeSourceFileInfo = Place(new TSourceListView(this), L::kSourceList, "dxTreeSourceFileInfo");

  btnOpenFile = Place(new TImageButton(this, Glyph::Text, L::kOpenFile.size(), QStringLiteral("Add Files"),
                                       QStringLiteral("Ctrl + O")), L::kOpenFile, "btnOpenFile");
  btnRemoveFile = Place(new TImageButton(this, Glyph::Text, L::kRemoveFile.size(), QStringLiteral("Remove"),
                                         QStringLiteral("Ctrl + R")), L::kRemoveFile, "btnRemoveFile");
  btnClearFile = Place(new TImageButton(this, Glyph::Text, L::kClearFile.size(), QStringLiteral("Clear"),
                                        QStringLiteral("Ctrl + L")), L::kClearFile, "btnClearFile");
  btnConvert = Place(new TImageButton(this, Glyph::Text, L::kConvert.size(), QStringLiteral("Convert"),
                                      QStringLiteral("Ctrl + S")), L::kConvert, "btnConvert");

  tmrClearMemory.setInterval(1000);
  tmrPaintSP.setInterval(10);
  // The handles repaint every 10 ms while the window is in use; after a
  // second without input or change the timer rests, so an idle window
  // wakes nobody (the bar also follows its geometry whenever the event loop
  // goes idle). Input wakes it again.
  connect(&tmrPaintSP, &QTimer::timeout, this, [this] {
    if (Panel1->PaintHandles()) QuietPaintTicks_ = 0;
    else if (++QuietPaintTicks_ >= 100) tmrPaintSP.stop();
  });
  tmrClearMemory.start();
  tmrPaintSP.start();

  // Keys are seen before the focused control sees them.
  qApp->installEventFilter(this);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) move(screen->availableGeometry().center() - rect().center());
}

bool TFrmMainForm::FormKeyDown(int key, Qt::KeyboardModifiers modifiers) {
  const Qt::KeyboardModifiers held = modifiers & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
  if (key == Qt::Key_F1) {
    if (OnHelp) OnHelp();
    return true;
  }
  if (held != Qt::ControlModifier) return false;  // Ctrl alone
  QAbstractButton* target = nullptr;
  switch (key) {
    case Qt::Key_O: target = btnOpenFile; break;
    case Qt::Key_R: target = btnRemoveFile; break;
    case Qt::Key_L: target = btnClearFile; break;
    case Qt::Key_I: target = btnOptions; break;
    case Qt::Key_P: target = btnPlay; break;
    case Qt::Key_U: target = btnPause; break;
    case Qt::Key_T: target = btnStop; break;
    case Qt::Key_S:
    case Qt::Key_N: target = btnConvert; break;
    case Qt::Key_B: target = btnSelectOutputFolder; break;
    default: return false;
  }
  // A click, also on a button that is not visible.
  emit target->clicked(false);
  return true;
}

bool TFrmMainForm::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::KeyPress:
    case QEvent::Wheel:
    case QEvent::Drop:
      if (auto* widget = qobject_cast<QWidget*>(watched); widget && widget->window() == this) {
        QuietPaintTicks_ = 0;
        if (!tmrPaintSP.isActive()) tmrPaintSP.start();
      }
      break;
    default:
      break;
  }
  if (event->type() == QEvent::KeyPress) {
    auto* widget = qobject_cast<QWidget*>(watched);
    // Keys meant for a modal box (or any other window) are not ours.
    const QWidget* modal = QApplication::activeModalWidget();
    if (widget && widget->window() == this && isEnabled() && (modal == nullptr || modal->window() == this)) {
      const auto* key = static_cast<QKeyEvent*>(event);
      // Each press once: where it first arrives, at the focused control or,
      // without one, at the window itself (not again as it travels upwards).
      // A box the press opened takes the focus away meanwhile, so the same
      // press reaching the window afterwards is recognised as already seen.
      const PreviewedKey seen{event, key->key(), key->modifiers(), key->timestamp()};
      QWidget* focus = QApplication::focusWidget();
      if ((widget == focus || (focus == nullptr && widget == this)) && !(seen == Previewed_)) {
        const bool acted = FormKeyDown(key->key(), key->modifiers());
        if (acted) {
          Previewed_ = seen;
          QTimer::singleShot(0, this, [this] { Previewed_ = {}; });
        }
      }
    }
    return false;
  }
  if (watched == Label3 && event->type() == QEvent::MouseButtonRelease) emit Label3Click();
  if (watched == lblTitle && event->type() == QEvent::MouseButtonPress) {
    StartMove(static_cast<QMouseEvent*>(event));
  }
  return QWidget::eventFilter(watched, event);
}

void TFrmMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (!LocalFilesOf(event->mimeData()).empty()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TFrmMainForm::dropEvent(QDropEvent* event) {
  const std::vector<std::string> paths = LocalFilesOf(event->mimeData());
  if (paths.empty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  if (OnFilesDropped) OnFilesDropped(paths);
}

void TFrmMainForm::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawPixmap(0, 0, Skin_);
}

void TFrmMainForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (Shown_) return;
  Shown_ = true;
  if (OnFirstShow) QTimer::singleShot(0, this, [this] { OnFirstShow(); });
}

void TFrmMainForm::closeEvent(QCloseEvent* event) {
  event->accept();
  if (OnFormClose) OnFormClose();
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
