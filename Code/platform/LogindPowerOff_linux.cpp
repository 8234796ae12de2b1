#include <systemd/sd-bus.h>

#include <memory>

#include "LogindPowerOff.h"

namespace tarquel::platform {

bool LogindPowerOff() {
  sd_bus* bus = nullptr;
  if (sd_bus_open_system(&bus) < 0) return false;
  const std::unique_ptr<sd_bus, sd_bus* (*)(sd_bus*)> owned(bus, sd_bus_flush_close_unref);
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  const int r = sd_bus_call_method(bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                                   "org.freedesktop.login1.Manager", "PowerOff", &error, &reply, "b", 0);
  sd_bus_error_free(&error);
  sd_bus_message_unref(reply);
  return r >= 0;
}

}  // namespace tarquel::platform
