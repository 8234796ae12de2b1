#include "InitFileForm.h"

#include <QApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>

namespace tarquel::gui {

TFrmInitFileForm::TFrmInitFileForm(QWidget* owner) : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("FrmInitFileForm"));
  setModal(true);
  setFixedSize(273, 45);
  lblInfo = new QLabel(QStringLiteral("Installing File..."), this);
  lblInfo->setObjectName(QStringLiteral("lblInfo"));
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(11);
  font.setBold(true);
  lblInfo->setFont(font);
  lblInfo->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
  lblInfo->setAlignment(Qt::AlignCenter);
  lblInfo->setGeometry(rect());
  Timer1.setInterval(1000);
  Timer2.setInterval(300);
  Timer2.setSingleShot(true);
  connect(&Timer1, &QTimer::timeout, this, &TFrmInitFileForm::Timer1Timer);
  connect(&Timer2, &QTimer::timeout, this, &TFrmInitFileForm::Timer2Timer);
}

QString TFrmInitFileForm::SpinnerText(int step) {
  static const char* const kSymbols[] = {"|", "/", "-", "\\"};
  return QStringLiteral("Installing File...  ") + QString::fromLatin1(kSymbols[(step - 1) & 3]);
}

void TFrmInitFileForm::SetFileList(std::vector<std::string> files, AddingOperation adding) {
  FileList_ = std::move(files);
  Adding_ = std::move(adding);
}

void TFrmInitFileForm::Execute() {
  Failure_ = nullptr;
  if (const QWidget* owner = parentWidget()) {
    move(owner->geometry().center() - QPoint(width() / 2, height() / 2));
  }
  exec();
  if (Failure_) std::rethrow_exception(std::exchange(Failure_, nullptr));
}

void TFrmInitFileForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  SpinStep = 1;
  Timer1.start();
  Timer2.start();
}

void TFrmInitFileForm::closeEvent(QCloseEvent* event) {
  Timer1.stop();
  QDialog::closeEvent(event);
}

void TFrmInitFileForm::Timer1Timer() {
  SpinStep = SpinStep >= 4 ? 1 : SpinStep + 1;
  lblInfo->setText(SpinnerText(SpinStep));
}

void TFrmInitFileForm::Timer2Timer() {
  QApplication::processEvents();  // the window paints before the work starts
  try {
    if (Adding_) Adding_(FileList_);
  } catch (...) {
    // Reported by the caller once the window is gone.
    Failure_ = std::current_exception();
  }
  Timer1.stop();
  done(QDialog::Accepted);
}

void TFrmInitFileForm::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QLinearGradient fill(0, 0, 0, height());
  fill.setColorAt(0, QColor(0x2b, 0x44, 0x60));
  fill.setColorAt(1, QColor(0x0e, 0x1a, 0x27));
  p.fillRect(rect(), fill);
  p.setPen(QColor(0x3e, 0x5c, 0x7a));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  p.setPen(QColor(0x5f, 0x8d, 0xba));
  p.drawLine(1, 1, width() - 2, 1);
}

}  // namespace tarquel::gui
