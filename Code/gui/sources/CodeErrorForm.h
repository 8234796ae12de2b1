// TFrmCodeErrorForm: "Error Info", shown once for every file that cannot be
// read, with a link to a codec download page.
#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;

namespace tarquel::gui {

class TFrmCodeErrorForm final : public QDialog {
  Q_OBJECT
 public:
  // `openDownload` runs when the link is clicked; the dialog stays open.
  TFrmCodeErrorForm(QWidget* owner, std::function<void()> openDownload);

  QLabel* Image1;
  QLabel* Label1;  // the message, ending in the download link
  QPushButton* BitBtn1;

 private:
  std::function<void()> OpenDownload_;
};

// Shows a fresh codec error dialog over `owner` modally and returns when the
// user has closed it.
void ShowCodeErrorForm(QWidget* owner, const std::function<void()>& openDownload);

}  // namespace tarquel::gui
