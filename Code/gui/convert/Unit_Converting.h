// TfrmConverting: the "Converting" dialog. A view of the core converting
// model: it draws what the model holds and hands Stop and its close box to
// the batch; it keeps no progress of its own.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <QTimer>
#include <functional>

class QLabel;
class QProgressBar;
class QStatusBar;

namespace tarquel {
class TConvertingModel;
}

namespace tarquel::gui {

class TImageButton;

class TfrmConverting final : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmConverting(const TConvertingModel& model);

  // Draws the model; only what changed is touched, so a refresh without
  // news repaints nothing.
  void Refresh();
  // Shows the dialog centred on `owner` without making it modal; a dialog
  // already shown stays where it is.
  void ShowOver(const QWidget* owner);

  QLabel *lblInfo, *lblCurConvertFileL, *lblCurFileName, *lblTotalFilr, *lblCurprog, *lblPersent;
  QProgressBar *pbTotal, *ProgressBar1;
  TImageButton* btnStop;
  QStatusBar* statState;
  QLabel* statStatePanel;
  QTimer tmrChanging;  // the spinner, every 500 ms from start to exit

  // The Stop button and the close box (Esc as well); both ask first.
  std::function<void()> OnStop;
  std::function<void()> OnClose;

 protected:
  void paintEvent(QPaintEvent*) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  const TConvertingModel& Model_;
  QPixmap Skin_;
};

}  // namespace tarquel::gui
