// Where the build has no desktop bus to talk to: nothing is shown, as where
// the session has no notification service.
#include "DesktopNotifications.h"

namespace tarquel::platform {

TDesktopNotifier::TDesktopNotifier(std::string applicationName, std::string icon, std::string busAddress)
    : ApplicationName_(std::move(applicationName)), Icon_(std::move(icon)), BusAddress_(std::move(busAddress)) {}

bool TDesktopNotifier::Notify(const std::string&, const std::string&) const { return false; }

}  // namespace tarquel::platform
