// The application object: owns the windows and the application-wide
// objects, runs the start-up routine, and shows an error that escapes an
// event handler in a message box before going on with the next event.
#pragma once

#include <QApplication>
#include <memory>

#include "ProductInfo.h"

namespace tarquel {
class TAppFunc;
class ISystemServices;
}

namespace tarquel::gui {
class TFrmMainForm;
}

namespace tarquel::app {

class TTarquelApplication : public QApplication {
 public:
  TTarquelApplication(int& argc, char** argv);
  ~TTarquelApplication() override;

  int Run();
  bool notify(QObject* receiver, QEvent* event) override;

  // The program folder, with its trailing separator.
  const std::string& AppPath() const { return AppPath_; }
  const RecSoftInfo& ProductInfo() const { return ProductInfo_; }

 private:
  void FirstShow();
  void InitApplication();
  void FormClose();
  void ShowAbout();
  void OpenHelp();

  std::string AppPath_;
  RecSoftInfo ProductInfo_;
  bool TerminateRequested_ = false;
  std::unique_ptr<TAppFunc> AppFunc_;
  std::unique_ptr<ISystemServices> Services_;
  std::unique_ptr<gui::TFrmMainForm> MainForm_;
};

}  // namespace tarquel::app
