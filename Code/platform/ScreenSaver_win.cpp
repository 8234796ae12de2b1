// The display kept on (and so the screen saver off) through the system's
// execution state; the hold is this process's own and ends with it.
#include "ExecutionState_win.h"
#include "ScreenSaver.h"

namespace tarquel::platform {

struct TScreenSaverInhibitor::Bus {};

TScreenSaverInhibitor::TScreenSaverInhibitor(std::string applicationName, std::string busAddress)
    : ApplicationName_(std::move(applicationName)), BusAddress_(std::move(busAddress)) {}

TScreenSaverInhibitor::~TScreenSaverInhibitor() { Hold(false); }

void TScreenSaverInhibitor::Hold(bool hold) {
  if (hold == Held_) return;
  if (hold) {
    Held_ = win::ChangeExecutionHold(ES_DISPLAY_REQUIRED, 1);
  } else {
    win::ChangeExecutionHold(ES_DISPLAY_REQUIRED, -1);
    Held_ = false;
  }
}

}  // namespace tarquel::platform
