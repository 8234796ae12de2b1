// What the desktop learns of a running batch: the main window's and the
// Converting dialog's titles carry its percentage and the time left, the
// computer does not go to sleep while it runs, and a notification tells of
// its end when the user is working elsewhere.
#pragma once

#include <functional>
#include <string>

#include "JobDriver.h"

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

// Fills the driver host's progress and end-of-batch members. The windows
// are looked up when needed (the dialog is made after the host).
void WireBatchDesktop(TJobDriverHost& host, QWidget& mainWindow, std::function<QWidget*()> convertingDialog,
                      TBatchDesktopServices services);

}  // namespace tarquel::app
