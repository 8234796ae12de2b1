// TFrmCodeErrorForm: "Error Info", shown once for every file that cannot be
// read, with a link to a codec download page and the file's name below.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

class QLabel;
class QPushButton;

namespace tarquel::gui {

class TFrmCodeErrorForm final : public QDialog {
  Q_OBJECT
 public:
  // `openDownload` runs when the link is clicked; the dialog stays open.
  TFrmCodeErrorForm(QWidget* owner, const std::string& path, std::function<void()> openDownload);

  QLabel* Image1;
  QLabel* Label1;  // the message, ending in the download link
  QLabel* lblFileName;  // the file that could not be read
  QPushButton* BitBtn1;

 private:
  std::function<void()> OpenDownload_;
};

// Shows a fresh codec error dialog for `path` over `owner` modally and
// returns when the user has closed it.
void ShowCodeErrorForm(QWidget* owner, const std::string& path, const std::function<void()>& openDownload);

}  // namespace tarquel::gui
