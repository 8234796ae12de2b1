#include "Unit_Convert.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QSignalBlocker>
#include <QSizeGrip>

#include <utility>

#include "Artwork.h"
#include "ImageButton.h"
#include "SkinLayout.h"
#include "SourceListView.h"
#include "TrimBarPanel.h"
#include "VideoWindow.h"
#include "WindowPlacement.h"

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

// A selector's rows and its selected row, set without reporting a pick.
void ShowRows(QComboBox* combo, const QStringList& rows, int selected) {
  const QSignalBlocker quiet(combo);
  combo->clear();
  combo->addItems(rows);
  combo->setCurrentIndex(selected);
}

}  // namespace

TFrmMainForm::~TFrmMainForm() { disconnect(FocusFollower_); }

TFrmMainForm::TFrmMainForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      Skin_(QPixmap::fromImage(artwork::DrawSkin())) {
  setObjectName(QStringLiteral("FrmMainForm"));
  setMinimumSize(686, 519);
  resize(686, 519);
  setStyleSheet(QStringLiteral(
      "QComboBox, QLineEdit { background: #0e1a27; color: #e8eef5; border: 1px solid #3e5c7a; border-radius: 3px; "
      "padding: 1px 6px; font: 11px 'Arial'; }"
      "QComboBox:focus, QLineEdit:focus, QTableView:focus { border: 1px solid #ffc83d; }"
      "QSizeGrip { background: transparent; }"
      "QComboBox QAbstractItemView { background: #0e1a27; color: #e8eef5; selection-background-color: #2a82cd; }"
      "QTableView { background: #0b141e; alternate-background-color: #101c29; color: #dfe7ef; gridline-color: #24374b; "
      "border: 1px solid #3e5c7a; font: 11px 'Arial'; selection-background-color: #2a82cd; selection-color: white; }"
      "QHeaderView::section { background: #1f2f42; color: #e8eef5; border: 0; border-right: 1px solid #3e5c7a; "
      "padding: 2px 4px; font: 11px 'Arial'; }"
      "QToolTip { color: #0b141e; background: #f4f7fa; border: 1px solid #3e5c7a; }"));

  lblTitle = Place(SkinLabel(this, QStringLiteral("Application name "), 0, 0, 19, true), L::kTitle, "lblTitle");
  lblTitle->installEventFilter(this);
  btnWindowMinimize = Place(new TImageButton(this, Glyph::Minimize, L::kMinimize.size(), {}, {}, QStringLiteral("Minimize")),
                            L::kMinimize, "btnWindowMinimize");
  btnWindowClose = Place(new TImageButton(this, Glyph::Close, L::kClose.size(), {}, {}, QStringLiteral("Close")), L::kClose,
                         "btnWindowClose");

  const auto bigButton = [this](Glyph glyph, const QRect& where, const char* name, const QString& spoken) {
    auto* button = Place(new TImageButton(this, glyph, where.size(), {}, {}, spoken), where, name);
    button->setCursor(Qt::PointingHandCursor);
    return button;
  };
  btnHomePage = bigButton(Glyph::HomePage, L::kHomePage, "btnHomePage", QStringLiteral("Home page"));
  btnEMail = bigButton(Glyph::EMail, L::kEMail, "btnEMail", QStringLiteral("E-mail"));
  btnHelp = bigButton(Glyph::Help, L::kHelp, "btnHelp", QStringLiteral("Help"));
  btnAbout = bigButton(Glyph::About, L::kAbout, "btnAbout", QStringLiteral("About"));
  btnUpdate = bigButton(Glyph::Update, L::kUpdate, "btnUpdate", QStringLiteral("Update"));
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
                                                 QStringLiteral("Ctrl + B"), QStringLiteral("Select output folder")),
                                L::kSelectOutputFolder, "btnSelectOutputFolder");
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
  Label3->setFocusPolicy(Qt::TabFocus);
  Label3->installEventFilter(this);

  // The preview: the video window with its logo, and the trim bar under it.
  DSVideoWindowEx1 = Place(new TVideoWindow(this), L::kVideo, "DSVideoWindowEx1");
  Panel1 = Place(new TTrimBarPanel(this), L::kTrimBar, "Panel1");
  btnPlay = Place(new TImageButton(this, Glyph::Play, L::kPlay.size(), {}, QStringLiteral("Ctrl + P"), QStringLiteral("Play")),
                  L::kPlay, "btnPlay");
  btnPause = Place(new TImageButton(this, Glyph::Pause, L::kPause.size(), {}, QStringLiteral("Ctrl + U"), QStringLiteral("Pause")),
                   L::kPause, "btnPause");
  btnStop = Place(new TImageButton(this, Glyph::Stop, L::kStop.size(), {}, QStringLiteral("Ctrl + T"), QStringLiteral("Stop")),
                  L::kStop, "btnStop");
  pnlCurTime = Place(new QLabel(QStringLiteral("00:00:00"), this), L::kCurTime, "pnlCurTime");
  pnlCurTime->setAlignment(Qt::AlignCenter);
  pnlCurTime->setStyleSheet(QStringLiteral("background: black; color: #7fd1ff; font: 19px 'Arial';"));

  dxTreeSourceFileInfo = Place(new TSourceListView(this), L::kSourceList, "dxTreeSourceFileInfo");
  // Tab leaves the list for the next control; the arrow keys move in it.
  dxTreeSourceFileInfo->setTabKeyNavigation(false);

  btnOpenFile = Place(new TImageButton(this, Glyph::Text, L::kOpenFile.size(), QStringLiteral("Add Files"),
                                       QStringLiteral("Ctrl + O")), L::kOpenFile, "btnOpenFile");
  btnRemoveFile = Place(new TImageButton(this, Glyph::Text, L::kRemoveFile.size(), QStringLiteral("Remove"),
                                         QStringLiteral("Ctrl + R")), L::kRemoveFile, "btnRemoveFile");
  btnClearFile = Place(new TImageButton(this, Glyph::Text, L::kClearFile.size(), QStringLiteral("Clear"),
                                        QStringLiteral("Ctrl + L")), L::kClearFile, "btnClearFile");
  btnConvert = Place(new TImageButton(this, Glyph::Text, L::kConvert.size(), QStringLiteral("Convert"),
                                      QStringLiteral("Ctrl + S")), L::kConvert, "btnConvert");

  SizeGrip = new QSizeGrip(this);
  SizeGrip->setObjectName(QStringLiteral("SizeGrip"));
  SizeGrip->setGeometry(L::kSizeGrip);

  // What screen readers call the controls that show no caption of their own.
  chkShutdown->setAccessibleName(Label1->text());
  chkShowOutputDirectory->setAccessibleName(Label2->text());
  cbbOutputFiletype->setAccessibleName(QStringLiteral("Output FileType"));
  cbbProfile->setAccessibleName(QStringLiteral("Profile Settings"));
  edtOutputFolder->setAccessibleName(QStringLiteral("Output Folder"));
  dxTreeSourceFileInfo->setAccessibleName(QStringLiteral("Source files"));
  Panel1->setAccessibleName(QStringLiteral("Trim bar"));
  pnlCurTime->setAccessibleName(QStringLiteral("Preview time"));

  // Tab goes through the list and its buttons, the settings, Convert, the
  // player, the links and the window buttons; the power-off box comes last,
  // so that nobody ticks it on the way to anything else.
  const QWidget* const order[] = {dxTreeSourceFileInfo, btnOpenFile, btnRemoveFile, btnClearFile, cbbOutputFiletype,
                                  cbbProfile, btnOptions, edtOutputFolder, RzBmpButton1, chkShowOutputDirectory,
                                  btnConvert, btnPlay, btnPause, btnStop, Label3, btnHomePage, btnEMail, btnHelp,
                                  btnAbout, btnWindowMinimize, btnWindowClose, chkShutdown};
  for (std::size_t i = 1; i < std::size(order); ++i) {
    QWidget::setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
  }
  // The window opens with the list focused, not the first button made.
  dxTreeSourceFileInfo->setFocus();
  // The check boxes and the link show their focus on the skin.
  FocusFollower_ = connect(qApp, &QApplication::focusChanged, this, [this](QWidget* from, QWidget* to) {
    if (SkinMarksFocusOf(from) || SkinMarksFocusOf(to)) update();
  });

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
  ForwardSignals();

  // Keys are seen before the focused control sees them.
  qApp->installEventFilter(this);
  ApplySkin();
  // Centred on the desktop, but never with its title off the screen.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect available = screen->availableGeometry();
    setGeometry(PlaceOnScreen(QRect(available.center() - rect().center(), size()), available));
  }
}

void TFrmMainForm::ForwardSignals() {
  connect(btnWindowMinimize, &QAbstractButton::clicked, this, &QWidget::showMinimized);
  connect(btnWindowClose, &QAbstractButton::clicked, this, &QWidget::close);
  const std::pair<QAbstractButton*, void (TFrmMainForm::*)()> clicks[] = {
      {btnHomePage, &TFrmMainForm::HomePageClicked},
      {btnEMail, &TFrmMainForm::EMailClicked},
      {btnHelp, &TFrmMainForm::HelpClicked},
      {btnAbout, &TFrmMainForm::AboutClicked},
      {btnUpdate, &TFrmMainForm::UpdateClicked},
      {btnOptions, &TFrmMainForm::OptionsClicked},
      {RzBmpButton1, &TFrmMainForm::SelectOutputFolderClicked},
      {btnSelectOutputFolder, &TFrmMainForm::SelectOutputFolderClicked},
      {btnConvert, &TFrmMainForm::ConvertClicked},
      {btnPlay, &TFrmMainForm::PlayClicked},
      {btnPause, &TFrmMainForm::PauseClicked},
      {btnStop, &TFrmMainForm::StopClicked},
      {btnOpenFile, &TFrmMainForm::AddFilesClicked},
      {btnRemoveFile, &TFrmMainForm::RemoveFilesClicked},
      {btnClearFile, &TFrmMainForm::ClearFilesClicked},
  };
  for (const auto& [button, signal] : clicks) connect(button, &QAbstractButton::clicked, this, signal);
  connect(cbbOutputFiletype, &QComboBox::activated, this, &TFrmMainForm::OutputFiletypePicked);
  connect(cbbProfile, &QComboBox::activated, this, &TFrmMainForm::ProfilePicked);
  connect(chkShutdown, &QCheckBox::clicked, this, &TFrmMainForm::ShutdownClicked);
  connect(chkShowOutputDirectory, &QCheckBox::clicked, this, &TFrmMainForm::ShowOutputDirectoryClicked);
  connect(&tmrClearMemory, &QTimer::timeout, this, &TFrmMainForm::ClearMemoryTick);
  connect(DSVideoWindowEx1, &TVideoWindow::FrameBoxChanged, this, &TFrmMainForm::FrameBoxChanged);
}

// --- what the program shows --------------------------------------------------

void TFrmMainForm::ShowCaption(const QString& caption) {
  setWindowTitle(caption);
  lblTitle->setText(caption);
}

void TFrmMainForm::ShowOutputFiletypes(const QStringList& rows, int selected) {
  ShowRows(cbbOutputFiletype, rows, selected);
}

void TFrmMainForm::ShowProfiles(const QStringList& rows, int selected) { ShowRows(cbbProfile, rows, selected); }

void TFrmMainForm::ShowOutputFolder(const QString& folder) { edtOutputFolder->setText(folder); }

void TFrmMainForm::ShowShutdown(bool on) { chkShutdown->setChecked(on); }

void TFrmMainForm::ShowOutputDirectoryWhenDone(bool on) { chkShowOutputDirectory->setChecked(on); }

void TFrmMainForm::ShowLogo(bool shown) { DSVideoWindowEx1->ShowLogo(shown); }

void TFrmMainForm::ShowFrame(const QImage& picture) { DSVideoWindowEx1->ShowFrame(picture); }

QSize TFrmMainForm::FrameBox() const { return DSVideoWindowEx1->FrameBox(); }

void TFrmMainForm::ShowPosition(const QString& text) { pnlCurTime->setText(text); }

void TFrmMainForm::ShowTrimBar(TTrimBar* bar) { Panel1->SetBar(bar); }

TSourceListView& TFrmMainForm::SourceListView() { return *dxTreeSourceFileInfo; }

// --- showing and closing -----------------------------------------------------

void TFrmMainForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (Shown_) return;
  Shown_ = true;
  // The screen the window opens on may not be the one it was placed for.
  if (const QScreen* on = screen()) setGeometry(PlaceOnScreen(geometry(), on->availableGeometry()));
  if (OnFirstShow) QTimer::singleShot(0, this, [this] { OnFirstShow(); });
}

void TFrmMainForm::closeEvent(QCloseEvent* event) {
  event->accept();
  if (OnFormClose) OnFormClose();
}

}  // namespace tarquel::gui
