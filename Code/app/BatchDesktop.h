// What the desktop learns of a running batch: the main window's and the
// Converting dialog's titles carry its percentage and the time left, the
// computer does not go to sleep while it runs, and a notification tells of
// its end when the user is working elsewhere.
#pragma once

#include <functional>
#include <string>

#include <QString>

#include "BatchProgress.h"

class QWidget;

namespace tarquel::app {

struct TBatchDesktopServices {
  // Takes or gives back the hold that keeps the computer awake.
  std::function<void(bool hold)> HoldSleep;
  // Shows one desktop notification.
  std::function<void(const std::string& summary)> Notify;
};

// logind's sleep lock on the system bus and the session's notifications;
// nothing happens where either service is missing.
TBatchDesktopServices RealBatchDesktopServices();

class TBatchDesktop {
 public:
  // A missing service is the real one.
  TBatchDesktop(QWidget& mainWindow, TBatchDesktopServices services);

  // The Converting dialog, once it exists.
  void SetConvertingDialog(QWidget* dialog) { Dialog_ = dialog; }

  // The batch's progress changed, or the batch is over.
  void Progress(const TBatchProgressReport& progress);
  // A batch that was not stopped ended.
  void Finished(int converted, int failed);

 private:
  QWidget& MainWindow_;
  QWidget* Dialog_ = nullptr;
  TBatchDesktopServices Services_;
  // The main window's own caption, kept while the batch's progress shows in it.
  QString PlainCaption_;
  bool Running_ = false;
};

}  // namespace tarquel::app
