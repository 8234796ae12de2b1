// No notification service is spoken to on Windows: nothing is shown, as on
// a desktop without one, and the caller carries on.
#include "DesktopNotifications.h"

namespace tarquel::platform {

TDesktopNotifier::TDesktopNotifier(std::string applicationName, std::string icon, std::string busAddress)
    : ApplicationName_(std::move(applicationName)), Icon_(std::move(icon)), BusAddress_(std::move(busAddress)) {}

bool TDesktopNotifier::Notify(const std::string&, const std::string&) const { return false; }

}  // namespace tarquel::platform
