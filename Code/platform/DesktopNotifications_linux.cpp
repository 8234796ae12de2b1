#include <systemd/sd-bus.h>

#include <cstdint>
#include <memory>

#include "DesktopNotifications.h"

namespace tarquel::platform {

namespace {

// A hung service must not hold the window up for long.
constexpr std::uint64_t kCallTimeoutUs = 1'000'000;
// How long the desktop shows the notification: its own default.
constexpr std::int32_t kDefaultExpiry = -1;

}  // namespace

TDesktopNotifier::TDesktopNotifier(std::string applicationName, std::string icon, std::string busAddress)
    : ApplicationName_(std::move(applicationName)), Icon_(std::move(icon)), BusAddress_(std::move(busAddress)) {}

bool TDesktopNotifier::Notify(const std::string& summary, const std::string& body) const {
  sd_bus* raw = nullptr;
  int r;
  if (BusAddress_.empty()) {
    r = sd_bus_open_user(&raw);
  } else {
    r = sd_bus_new(&raw);
    if (r >= 0) r = sd_bus_set_address(raw, BusAddress_.c_str());
    if (r >= 0) r = sd_bus_set_bus_client(raw, 1);
    if (r >= 0) r = sd_bus_start(raw);
  }
  const std::unique_ptr<sd_bus, sd_bus* (*)(sd_bus*)> bus(raw, sd_bus_flush_close_unref);
  if (r < 0) return false;

  sd_bus_message* call = nullptr;
  sd_bus_message* reply = nullptr;
  const auto append = [&] {
    // Notify(app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout)
    if (sd_bus_message_append(call, "susss", ApplicationName_.c_str(), 0u, Icon_.c_str(), summary.c_str(),
                              body.c_str()) < 0 ||
        sd_bus_message_append(call, "as", 0) < 0 || sd_bus_message_open_container(call, 'a', "{sv}") < 0) {
      return false;
    }
    // The desktop entry lets the desktop group the notification with the program.
    if (!Icon_.empty() && sd_bus_message_append(call, "{sv}", "desktop-entry", "s", Icon_.c_str()) < 0) return false;
    return sd_bus_message_close_container(call) >= 0 && sd_bus_message_append(call, "i", kDefaultExpiry) >= 0;
  };
  const bool sent = sd_bus_message_new_method_call(bus.get(), &call, "org.freedesktop.Notifications",
                                                   "/org/freedesktop/Notifications", "org.freedesktop.Notifications",
                                                   "Notify") >= 0 &&
                    append() && sd_bus_call(bus.get(), call, kCallTimeoutUs, nullptr, &reply) >= 0;
  sd_bus_message_unref(call);
  sd_bus_message_unref(reply);
  return sent;
}

}  // namespace tarquel::platform
