// Where the build has no desktop bus to talk to: the screen saver is left
// alone and no hold is ever granted.
#include "ScreenSaver.h"

namespace tarquel::platform {

struct TScreenSaverInhibitor::Bus {};

TScreenSaverInhibitor::TScreenSaverInhibitor(std::string applicationName, std::string busAddress)
    : ApplicationName_(std::move(applicationName)), BusAddress_(std::move(busAddress)) {}

TScreenSaverInhibitor::~TScreenSaverInhibitor() = default;

void TScreenSaverInhibitor::Hold(bool hold) {
  // There is no service to ask: do not try again on every play.
  if (hold) Unavailable_ = true;
}

}  // namespace tarquel::platform
