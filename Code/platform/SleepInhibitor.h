// Keeps the computer from going to sleep while a batch runs, through
// logind's sleep inhibitor lock (org.freedesktop.login1.Manager.Inhibit on
// the system bus). The lock lasts as long as its file descriptor is open.
// Where there is no logind nothing happens. The hold ends with Hold(false)
// or with the object.
#pragma once

#include <string>

namespace tarquel::platform {

class TSleepInhibitor {
 public:
  // `who` and `why` are shown by the desktop's list of inhibitors;
  // `busAddress` picks a bus for tests, empty means the system bus.
  TSleepInhibitor(std::string who, std::string why, std::string busAddress = {});
  ~TSleepInhibitor();
  TSleepInhibitor(const TSleepInhibitor&) = delete;
  TSleepInhibitor& operator=(const TSleepInhibitor&) = delete;

  // Takes the lock or gives it back; repeated calls with the same value do
  // nothing more.
  void Hold(bool hold);
  // Whether logind granted a lock that is still held.
  bool Held() const { return Fd_ >= 0; }

 private:
  std::string Who_;
  std::string Why_;
  std::string BusAddress_;
  int Fd_ = -1;
};

}  // namespace tarquel::platform
