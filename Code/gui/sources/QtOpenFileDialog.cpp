#include "QtOpenFileDialog.h"
#include "SystemText.h"

#include <QDir>

namespace tarquel::gui {

TQtOpenFileDialog::TQtOpenFileDialog(QWidget* owner) : Owner_(owner) {}

TQtOpenFileDialog::~TQtOpenFileDialog() = default;

QStringList TQtOpenFileDialog::NameFilters() {
  QStringList filters;
  for (const TFileFilter& filter : SourceFileFilters()) {
    // Qt reads the patterns from the parentheses at the end and, with
    // HideNameFilterDetails, shows only what stands before them.
    QString patterns = QString::fromStdString(filter.Patterns);
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    filters << QString::fromStdString(filter.Description) + QStringLiteral(" (") + patterns.simplified() +
                   QLatin1Char(')');
  }
  return filters;
}

void TQtOpenFileDialog::SetInitialDir(const std::string& folder) {
  InitialDir_ = FromSystemText(folder);
}

bool TQtOpenFileDialog::Execute() {
  QFileDialog dialog(Owner_, QString(), InitialDir_);
  dialog.setObjectName(QStringLiteral("dlgOpenSourceFile"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
  dialog.setNameFilters(NameFilters());
  dialog.setSizeGripEnabled(true);
  Files_.clear();
  if (dialog.exec() != QDialog::Accepted) return false;
  for (const QString& file : dialog.selectedFiles()) Files_.push_back(ToSystemText(QDir::toNativeSeparators(file)));
  if (!Files_.empty()) FileName_ = Files_.front();
  return true;
}

}  // namespace tarquel::gui
