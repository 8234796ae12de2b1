// The computer kept from sleeping through the system's execution state; the
// lock is this process's own and ends with it.
#include "ExecutionState_win.h"
#include "SleepInhibitor.h"

namespace tarquel::platform {

// Fd_ is 0 while the lock is held: there is no descriptor to keep here.
TSleepInhibitor::TSleepInhibitor(std::string who, std::string why, std::string busAddress)
    : Who_(std::move(who)), Why_(std::move(why)), BusAddress_(std::move(busAddress)) {}

TSleepInhibitor::~TSleepInhibitor() { Hold(false); }

void TSleepInhibitor::Hold(bool hold) {
  if (hold == Held()) return;
  if (hold) {
    if (win::ChangeExecutionHold(ES_SYSTEM_REQUIRED, 1)) Fd_ = 0;
  } else {
    win::ChangeExecutionHold(ES_SYSTEM_REQUIRED, -1);
    Fd_ = -1;
  }
}

}  // namespace tarquel::platform
