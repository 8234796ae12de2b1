// The application object: the real services, the main controller, and the
// general error report — an error that escapes an event handler is shown in
// a message box captioned "Tarquel", and the program goes on.
#pragma once

#include <QApplication>
#include <memory>
#include <string>
#include <vector>

namespace tarquel {
class ISystemServices;
class IProcessTable;
}  // namespace tarquel

namespace tarquel::gui {
class TQtDialogs;
}

namespace tarquel::app {

class TMainController;

class TTarquelApplication : public QApplication {
 public:
  // `argc` and `argv` hold the toolkit's options alone; `files` are the
  // files named on the command line.
  TTarquelApplication(int& argc, char** argv, const std::vector<std::string>& files);
  ~TTarquelApplication() override;

  int Run();
  bool notify(QObject* receiver, QEvent* event) override;

 private:
  std::unique_ptr<ISystemServices> Services_;
  std::unique_ptr<IProcessTable> Processes_;
  std::unique_ptr<gui::TQtDialogs> Dialogs_;
  std::unique_ptr<TMainController> Controller_;
};

}  // namespace tarquel::app
