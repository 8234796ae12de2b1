#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <memory>

#include "SleepInhibitor.h"

namespace tarquel::platform {

namespace {

// A hung logind must not hold the window up for long.
constexpr std::uint64_t kCallTimeoutUs = 1'000'000;

using BusHandle = std::unique_ptr<sd_bus, sd_bus* (*)(sd_bus*)>;
using MessageHandle = std::unique_ptr<sd_bus_message, sd_bus_message* (*)(sd_bus_message*)>;

BusHandle OpenBus(const std::string& address) {
  sd_bus* bus = nullptr;
  int r;
  if (address.empty()) {
    r = sd_bus_open_system(&bus);
  } else {
    r = sd_bus_new(&bus);
    if (r >= 0) r = sd_bus_set_address(bus, address.c_str());
    if (r >= 0) r = sd_bus_set_bus_client(bus, 1);
    if (r >= 0) r = sd_bus_start(bus);
  }
  BusHandle owned(bus, sd_bus_flush_close_unref);
  if (r < 0) owned.reset();
  return owned;
}

}  // namespace

TSleepInhibitor::TSleepInhibitor(std::string who, std::string why, std::string busAddress)
    : Who_(std::move(who)), Why_(std::move(why)), BusAddress_(std::move(busAddress)) {}

TSleepInhibitor::~TSleepInhibitor() { Hold(false); }

void TSleepInhibitor::Hold(bool hold) {
  if (hold == Held()) return;
  if (!hold) {
    // Closing the descriptor is what gives the lock back.
    ::close(Fd_);
    Fd_ = -1;
    return;
  }
  // The lock belongs to the descriptor, not to the connection, which is
  // closed again at once.
  const BusHandle bus = OpenBus(BusAddress_);
  if (!bus) return;
  sd_bus_message* call = nullptr;
  sd_bus_message* reply = nullptr;
  int fd = -1;
  if (sd_bus_message_new_method_call(bus.get(), &call, "org.freedesktop.login1", "/org/freedesktop/login1",
                                     "org.freedesktop.login1.Manager", "Inhibit") >= 0 &&
      sd_bus_message_append(call, "ssss", "sleep", Who_.c_str(), Why_.c_str(), "block") >= 0 &&
      sd_bus_call(bus.get(), call, kCallTimeoutUs, nullptr, &reply) >= 0 && sd_bus_message_read(reply, "h", &fd) >= 0) {
    // The reply owns the descriptor it carries; keep a copy of our own.
    Fd_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
  }
  sd_bus_message_unref(call);
  sd_bus_message_unref(reply);
}

}  // namespace tarquel::platform
