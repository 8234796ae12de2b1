// TFrmInitFileForm: the small frameless window shown while chosen files
// are probed and added. It runs the adding itself, 300 ms after it shows,
// so that it is on screen while the work runs, and closes in every case.
#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

class QLabel;

namespace tarquel::gui {

class TFrmInitFileForm final : public QDialog {
  Q_OBJECT
 public:
  using AddingOperation = std::function<void(const std::vector<std::string>& files)>;

  explicit TFrmInitFileForm(QWidget* owner);

  // The files to add and the work to run on them when the window shows.
  void SetFileList(std::vector<std::string> files, AddingOperation adding);
  // Shows the window modally over its owner; returns once it has closed.
  // An error of the adding operation is raised again after the close.
  void Execute();

  QLabel* lblInfo;
  QTimer Timer1;  // the spinner, every 1000 ms
  QTimer Timer2;  // the adding, once, 300 ms after showing
  int SpinStep = 1;

  // The spinner text of a step from 1 to 4.
  static QString SpinnerText(int step);

 protected:
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void Timer1Timer();
  void Timer2Timer();

  std::vector<std::string> FileList_;
  AddingOperation Adding_;
  std::exception_ptr Failure_;
};

}  // namespace tarquel::gui
