// One-off desktop notifications through the session's
// org.freedesktop.Notifications service. Where there is no such service
// nothing is shown and nothing waits long.
#pragma once

#include <string>

namespace tarquel::platform {

class TDesktopNotifier {
 public:
  // `applicationName` is the sender the desktop shows, `icon` an icon name
  // (and the desktop entry) or empty; `busAddress` picks a bus for tests,
  // empty means the user's session bus.
  TDesktopNotifier(std::string applicationName, std::string icon = {}, std::string busAddress = {});

  // Shows one notification; true when the service took it.
  bool Notify(const std::string& summary, const std::string& body = {}) const;

 private:
  std::string ApplicationName_;
  std::string Icon_;
  std::string BusAddress_;
};

}  // namespace tarquel::platform
