// dlgOpenSourceFile: the open dialog for source files as Qt shows it.
#pragma once

#include <QFileDialog>
#include <QPointer>

#include "SourceFiles.h"

namespace tarquel::gui {

class TQtOpenFileDialog final : public IOpenFileDialog {
 public:
  explicit TQtOpenFileDialog(QWidget* owner);
  ~TQtOpenFileDialog() override;

  void SetInitialDir(const std::string& folder) override;
  bool Execute() override;
  std::vector<std::string> Files() const override { return Files_; }
  std::string FileName() const override { return FileName_; }

  // The dialog's filters in Qt's form, each shown as its description alone.
  static QStringList NameFilters();

 private:
  QPointer<QWidget> Owner_;
  QString InitialDir_;
  std::vector<std::string> Files_;
  std::string FileName_;
};

}  // namespace tarquel::gui
