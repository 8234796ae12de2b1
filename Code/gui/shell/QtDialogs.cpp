#include "QtDialogs.h"
#include "SystemText.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace tarquel::gui {

namespace {


}  // namespace

void TQtDialogs::ShowMessage(TMsgIcon icon, std::string_view caption, std::string_view text) {
  const QMessageBox::Icon kind = icon == TMsgIcon::Error     ? QMessageBox::Critical
                                 : icon == TMsgIcon::Warning ? QMessageBox::Warning
                                 : icon == TMsgIcon::Question ? QMessageBox::Question
                                                              : QMessageBox::Information;
  QMessageBox box(kind, FromSystemText(caption), FromSystemText(text), QMessageBox::Ok, QApplication::activeWindow());
  box.exec();
}

std::optional<std::string> TQtDialogs::InputQuery(std::string_view caption, std::string_view prompt,
                                                  std::string_view suggested) {
  bool ok = false;
  const QString text = QInputDialog::getText(QApplication::activeWindow(), FromSystemText(caption), FromSystemText(prompt),
                                             QLineEdit::Normal, FromSystemText(suggested), &ok);
  if (!ok) return std::nullopt;
  return ToSystemText(text);
}

std::optional<std::string> TQtDialogs::BrowseForFolder(std::string_view title) {
  // Every other window of the program waits while the picker is open.
  const QString folder = QFileDialog::getExistingDirectory(QApplication::activeWindow(), FromSystemText(title), QString(),
                                                           QFileDialog::ShowDirsOnly);
  if (folder.isEmpty()) return std::nullopt;
  // Qt names folders with "/" everywhere; the program uses the system's separator.
  return ToSystemText(QDir::toNativeSeparators(folder));
}

bool TQtDialogs::Confirm(std::string_view question) {
  return QMessageBox::question(QApplication::activeWindow(), QString::fromLatin1(kApplicationTitle.data(),
                                                                                 kApplicationTitle.size()),
                               FromSystemText(question), QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

int TQtDialogs::ShowAppMessage(std::string_view msg, int msgType) {
  QMessageBox::StandardButtons buttons;
  switch (msgType) {
    case 1: buttons = QMessageBox::Ok; break;
    case 2: buttons = QMessageBox::Yes | QMessageBox::No; break;
    case 3: buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    default: return 0;
  }
  QMessageBox box(QMessageBox::Information, QString::fromLatin1(kApplicationTitle.data(), kApplicationTitle.size()),
                  FromSystemText(msg), buttons, QApplication::activeWindow());
  switch (box.exec()) {
    case QMessageBox::Ok: return 1;
    case QMessageBox::Cancel: return 2;
    case QMessageBox::Yes: return 6;
    case QMessageBox::No: return 7;
    default: return 0;
  }
}

}  // namespace tarquel::gui
