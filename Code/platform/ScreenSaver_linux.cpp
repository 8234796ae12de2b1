#include <systemd/sd-bus.h>

#include <cstdint>

#include "ScreenSaver.h"

namespace tarquel::platform {

namespace {

constexpr const char* kService = "org.freedesktop.ScreenSaver";
constexpr const char* kPath = "/org/freedesktop/ScreenSaver";
// A hung service must not hold the window up for long.
constexpr std::uint64_t kCallTimeoutUs = 1'000'000;

}  // namespace

// The connection stays open while a hold is in force: the service ends the
// holds of a client that leaves the bus.
struct TScreenSaverInhibitor::Bus {
  sd_bus* Handle = nullptr;
  std::uint32_t Cookie = 0;  // the hold in force
  ~Bus() { sd_bus_flush_close_unref(Handle); }
};

TScreenSaverInhibitor::TScreenSaverInhibitor(std::string applicationName, std::string busAddress)
    : ApplicationName_(std::move(applicationName)), BusAddress_(std::move(busAddress)) {}

TScreenSaverInhibitor::~TScreenSaverInhibitor() { Hold(false); }

void TScreenSaverInhibitor::Hold(bool hold) {
  if (hold == Held() || (hold && Unavailable_)) return;
  if (!hold) {
    if (Bus_) {
      sd_bus_message* call = nullptr;
      if (sd_bus_message_new_method_call(Bus_->Handle, &call, kService, kPath, kService, "UnInhibit") >= 0 &&
          sd_bus_message_append(call, "u", Bus_->Cookie) >= 0) {
        sd_bus_call(Bus_->Handle, call, kCallTimeoutUs, nullptr, nullptr);
      }
      sd_bus_message_unref(call);
      Bus_->Cookie = 0;
    }
    Held_ = false;
    return;
  }

  if (!Bus_) {
    auto bus = std::make_unique<Bus>();
    int r;
    if (BusAddress_.empty()) {
      r = sd_bus_open_user(&bus->Handle);
    } else {
      r = sd_bus_new(&bus->Handle);
      if (r >= 0) r = sd_bus_set_address(bus->Handle, BusAddress_.c_str());
      if (r >= 0) r = sd_bus_set_bus_client(bus->Handle, 1);
      if (r >= 0) r = sd_bus_start(bus->Handle);
    }
    if (r < 0) {
      // No session bus: there is no screen saver to hold off.
      Unavailable_ = true;
      return;
    }
    Bus_ = std::move(bus);
  }
  sd_bus_message* call = nullptr;
  sd_bus_message* reply = nullptr;
  std::uint32_t cookie = 0;
  if (sd_bus_message_new_method_call(Bus_->Handle, &call, kService, kPath, kService, "Inhibit") >= 0 &&
      sd_bus_message_append(call, "ss", ApplicationName_.c_str(), "Playing video") >= 0 &&
      sd_bus_call(Bus_->Handle, call, kCallTimeoutUs, nullptr, &reply) >= 0 &&
      sd_bus_message_read(reply, "u", &cookie) >= 0) {
    Bus_->Cookie = cookie;
    Held_ = true;
  } else {
    // The service is not there (or refused): do not ask again on every play.
    Unavailable_ = true;
  }
  sd_bus_message_unref(call);
  sd_bus_message_unref(reply);
}

}  // namespace tarquel::platform
