// The system's execution state as the screen-saver hold and the sleep lock
// share it: SetThreadExecutionState keeps one value, so each hold is
// counted and the value asked for is their union. Private to the Windows
// sources.
#pragma once

#include <mutex>

#include "WinHandle.h"

namespace tarquel::platform::win {

// Adds (`delta` 1) or ends (-1) a hold of `flag` (ES_DISPLAY_REQUIRED,
// ES_SYSTEM_REQUIRED); false when the system refused the new state.
inline bool ChangeExecutionHold(EXECUTION_STATE flag, int delta) {
  static std::mutex lock;
  static int display = 0, system = 0;
  const std::lock_guard guard(lock);
  int& count = flag == ES_DISPLAY_REQUIRED ? display : system;
  count += delta;
  const EXECUTION_STATE state = ES_CONTINUOUS | (display > 0 ? ES_DISPLAY_REQUIRED : 0) |
                                (system > 0 ? ES_SYSTEM_REQUIRED : 0);
  if (::SetThreadExecutionState(state) != 0) return true;
  count -= delta;
  return false;
}

}  // namespace tarquel::platform::win
