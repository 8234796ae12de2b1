#include "Unit_Converting.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QRegularExpression>
#include <QStatusBar>

#include "Artwork.h"
#include "ConvertingDialog.h"
#include "ImageButton.h"
#include "SystemText.h"

namespace tarquel::gui {

namespace {


QLabel* Label(QWidget* parent, const char* name, const QString& text, const QRect& where, bool bold = false) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(bold ? 12 : 11);
  font.setBold(bold);
  label->setFont(font);
  label->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
  label->setGeometry(where);
  return label;
}

void SetText(QLabel* label, const QString& text) {
  if (label->text() != text) label->setText(text);
}

void ShowBar(QProgressBar* bar, const TProgressBarModel& model) {
  // An empty range would make Qt animate a busy bar; show it empty instead.
  const int max = model.Max > model.Min ? model.Max : model.Min + 1;
  const int position = model.Max > model.Min ? model.Position : model.Min;
  if (bar->minimum() != model.Min || bar->maximum() != max) bar->setRange(model.Min, max);
  if (bar->value() != position) bar->setValue(position);
}

// The newest status line of a chunk: encoders end status lines with a
// carriage return and messages with a line feed.
QString NewestLine(const std::string& chunk) {
  const QStringList lines = FromSystemText(chunk).split(QRegularExpression(QStringLiteral("[\\r\\n]")), Qt::SkipEmptyParts);
  for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
    if (!it->trimmed().isEmpty()) return it->trimmed();
  }
  return {};
}

}  // namespace

TfrmConverting::TfrmConverting(const TConvertingModel& model)
    : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      Model_(model),
      Skin_(QPixmap::fromImage(artwork::DrawConvertingSkin(QSize(435, 222)))) {
  setObjectName(QStringLiteral("frmConverting"));
  setWindowTitle(QStringLiteral("Converting"));
  setFixedSize(435, 222);
  setModal(false);

  lblInfo = Label(this, "lblInfo", FromSystemText(model.lblInfo), QRect(16, 9, 400, 20), true);
  lblCurConvertFileL = Label(this, "lblCurConvertFileL", QStringLiteral("Current Convert File:"), QRect(18, 50, 120, 18));
  lblCurFileName = Label(this, "lblCurFileName", QString(), QRect(140, 50, 280, 18));
  lblTotalFilr = Label(this, "lblTotalFilr", QStringLiteral("Total File:"), QRect(18, 78, 120, 18));
  lblCurprog = Label(this, "lblCurprog", QStringLiteral("Current File:"), QRect(18, 104, 120, 18));
  lblPersent = Label(this, "lblPersent", FromSystemText(model.lblPersent), QRect(18, 132, 300, 18));

  const QString barStyle = QStringLiteral(
      "QProgressBar { background: #0b141e; border: 1px solid #3e5c7a; border-radius: 3px; }"
      "QProgressBar::chunk { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #4aa3ea, stop:1 #1f6fb5); }");
  pbTotal = new QProgressBar(this);
  pbTotal->setObjectName(QStringLiteral("pbTotal"));
  pbTotal->setGeometry(140, 79, 278, 14);
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setGeometry(140, 105, 278, 14);
  for (QProgressBar* bar : {pbTotal, ProgressBar1}) {
    bar->setTextVisible(false);
    bar->setStyleSheet(barStyle);
  }

  btnStop = new TImageButton(this, artwork::Glyph::Text, QSize(90, 28), QStringLiteral("Stop"));
  btnStop->setObjectName(QStringLiteral("btnStop"));
  btnStop->setGeometry(326, 150, 90, 28);
  connect(btnStop, &QAbstractButton::clicked, this, [this] {
    if (OnStop) OnStop();
  });

  statState = new QStatusBar(this);
  statState->setObjectName(QStringLiteral("statState"));
  statState->setSizeGripEnabled(false);
  statState->setGeometry(0, 200, 435, 22);
  statState->setStyleSheet(QStringLiteral("QStatusBar { background: #0b141e; border-top: 1px solid #3e5c7a; }"));
  statStatePanel = Label(statState, "statStatePanel", QString(), QRect(0, 0, 435, 22));
  statStatePanel->setStyleSheet(QStringLiteral("color: #cfe3f5; background: transparent; padding-left: 6px;"));
  statState->addWidget(statStatePanel, 1);

  tmrChanging.setInterval(500);
  Refresh();
}

void TfrmConverting::Refresh() {
  // A chunk without a line of text (a lone line break) leaves the last line shown.
  const QString status = NewestLine(Model_.statState);
  if (statStatePanel->toolTip() != status && (!status.isEmpty() || Model_.statState.empty())) {
    statStatePanel->setToolTip(status);
    statStatePanel->setText(statStatePanel->fontMetrics().elidedText(status, Qt::ElideRight, width() - 16));
  }
  SetText(lblInfo, FromSystemText(Model_.lblInfo));
  const QString file = FromSystemText(Model_.lblCurFileName);
  if (lblCurFileName->toolTip() != file) {
    lblCurFileName->setToolTip(file);
    lblCurFileName->setText(lblCurFileName->fontMetrics().elidedText(file, Qt::ElideMiddle, lblCurFileName->width()));
  }
  SetText(lblPersent, FromSystemText(Model_.lblPersent));
  ShowBar(pbTotal, Model_.pbTotal);
  ShowBar(ProgressBar1, Model_.ProgressBar1);
}

void TfrmConverting::ShowOver(const QWidget* owner) {
  if (isVisible()) return;
  if (owner) move(owner->frameGeometry().center() - QPoint(width() / 2, height() / 2));
  show();
  raise();
}

void TfrmConverting::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawPixmap(0, 0, Skin_);
}

void TfrmConverting::closeEvent(QCloseEvent* event) {
  // The batch decides whether the dialog goes.
  event->ignore();
  if (OnClose) OnClose();
}

void TfrmConverting::reject() {
  if (OnClose) OnClose();
}

}  // namespace tarquel::gui
