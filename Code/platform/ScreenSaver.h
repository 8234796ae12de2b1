// Holds the desktop's screen saver off while video shows, through the
// session's org.freedesktop.ScreenSaver service. Where there is no such
// service nothing happens. The hold ends with Hold(false) or with the object.
#pragma once

#include <memory>
#include <string>

namespace tarquel::platform {

class TScreenSaverInhibitor {
 public:
  // `busAddress` picks a bus for tests; empty means the user's session bus.
  explicit TScreenSaverInhibitor(std::string applicationName, std::string busAddress = {});
  ~TScreenSaverInhibitor();
  TScreenSaverInhibitor(const TScreenSaverInhibitor&) = delete;
  TScreenSaverInhibitor& operator=(const TScreenSaverInhibitor&) = delete;

  // Asks for the hold or releases it; repeated calls with the same value do
  // nothing more.
  void Hold(bool hold);
  // Whether the service granted a hold that is still in force.
  bool Held() const { return Held_; }

 private:
  // The connection to the service and the hold it granted, where the
  // system has such a service.
  struct Bus;
  std::string ApplicationName_;
  std::string BusAddress_;
  std::unique_ptr<Bus> Bus_;
  bool Held_ = false;
  bool Unavailable_ = false;
};

}  // namespace tarquel::platform
