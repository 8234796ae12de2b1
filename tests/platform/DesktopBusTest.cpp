// The batch's sleep lock and its end notification against a fake logind
// and a fake notification service on a private bus that the test starts
// (and ends) itself, and with no service at all.
#include <gtest/gtest.h>
#include <poll.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "DesktopNotifications.h"
#include "SleepInhibitor.h"
#include "PrivateBus.h"
#include "TempDir.h"

namespace tarquel {
namespace {

using namespace std::chrono_literals;

using test::PrivateBus;

// A service on the bus, answering on its own thread; it records each call.
class FakeService {
 public:
  FakeService(const std::string& address, const char* name, const char* path, const char* interface,
              const sd_bus_vtable* table) {
    sd_bus_new(&Bus_);
    sd_bus_set_address(Bus_, address.c_str());
    sd_bus_set_bus_client(Bus_, 1);
    if (sd_bus_start(Bus_) < 0) throw std::runtime_error("no bus");
    sd_bus_add_object_vtable(Bus_, nullptr, path, interface, table, this);
    if (sd_bus_request_name(Bus_, name, 0) < 0) throw std::runtime_error("no name");
    Thread_ = std::thread([this] {
      while (!Stop_) {
        if (sd_bus_process(Bus_, nullptr) > 0) continue;
        sd_bus_wait(Bus_, 20'000);
      }
    });
  }
  ~FakeService() {
    Stop_ = true;
    Thread_.join();
    sd_bus_flush_close_unref(Bus_);
    for (int fd : Held) close(fd);
  }
  std::vector<std::string> Calls() {
    std::lock_guard lock(Mutex);
    return Calls_;
  }
  void Record(std::string call) {
    std::lock_guard lock(Mutex);
    Calls_.push_back(std::move(call));
  }
  std::mutex Mutex;
  std::vector<int> Held;  // logind's ends of the locks it granted

 private:
  sd_bus* Bus_ = nullptr;
  std::thread Thread_;
  std::atomic<bool> Stop_{false};
  std::vector<std::string> Calls_;
};

// logind's Inhibit: hands out one end of a pipe; the lock ends when the
// client closes it, which the other end sees as a hang-up.
int Inhibit(sd_bus_message* m, void* self, sd_bus_error*) {
  auto* s = static_cast<FakeService*>(self);
  const char *what = nullptr, *who = nullptr, *why = nullptr, *mode = nullptr;
  sd_bus_message_read(m, "ssss", &what, &who, &why, &mode);
  s->Record(std::string(what) + " / " + who + " / " + why + " / " + mode);
  int ends[2];
  if (pipe(ends) != 0) return -errno;
  {
    std::lock_guard lock(s->Mutex);
    s->Held.push_back(ends[0]);
  }
  const int r = sd_bus_reply_method_return(m, "h", ends[1]);  // the reply carries a copy
  close(ends[1]);
  return r;
}
constexpr sd_bus_vtable kLogind[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Inhibit", "ssss", "h", Inhibit, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

int Notify(sd_bus_message* m, void* self, sd_bus_error*) {
  auto* s = static_cast<FakeService*>(self);
  const char *app = nullptr, *icon = nullptr, *summary = nullptr, *body = nullptr;
  std::uint32_t replaces = 0;
  sd_bus_message_read(m, "susss", &app, &replaces, &icon, &summary, &body);
  sd_bus_message_skip(m, "as");
  std::string hints;
  sd_bus_message_enter_container(m, 'a', "{sv}");
  while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
    const char *key = nullptr, *value = nullptr;
    sd_bus_message_read(m, "s", &key);
    if (sd_bus_message_read(m, "v", "s", &value) >= 0) hints += std::string(" ") + key + "=" + value;
    sd_bus_message_exit_container(m);
  }
  s->Record(std::string(app) + " / " + icon + " / " + summary + " / " + body + " /" + hints);
  return sd_bus_reply_method_return(m, "u", 7u);
}
constexpr sd_bus_vtable kNotifications[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Notify", "susssasa{sv}i", "u", Notify, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

// Whether the client has closed its end of the lock.
bool HungUp(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 200) == 1 && (p.revents & POLLHUP);
}

TEST(DesktopBus, TheSleepLockLastsFromHoldToRelease) {
  PrivateBus bus;
  if (bus.Pid == 0) GTEST_SKIP() << "no dbus-daemon";
  FakeService logind(bus.Address, "org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                     kLogind);
  {
    platform::TSleepInhibitor lock("Tarquel", "Converting media files", bus.Address);
    lock.Hold(true);
    lock.Hold(true);  // held already: no second lock
    ASSERT_TRUE(lock.Held());
    ASSERT_EQ(logind.Calls(), std::vector<std::string>{"sleep / Tarquel / Converting media files / block"});
    EXPECT_FALSE(HungUp(logind.Held[0]));
    lock.Hold(false);
    EXPECT_FALSE(lock.Held());
    EXPECT_TRUE(HungUp(logind.Held[0]));
    lock.Hold(true);  // given back again when the object goes
  }
  ASSERT_EQ(logind.Held.size(), 2u);
  EXPECT_TRUE(HungUp(logind.Held[1]));
}

TEST(DesktopBus, OneNotificationWithTheProgramsName) {
  PrivateBus bus;
  if (bus.Pid == 0) GTEST_SKIP() << "no dbus-daemon";
  FakeService service(bus.Address, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                      "org.freedesktop.Notifications", kNotifications);
  const platform::TDesktopNotifier notifier("Tarquel", "io.github.tarquel.Tarquel", bus.Address);
  EXPECT_TRUE(notifier.Notify("Tarquel: 5 files converted, 1 failed"));
  EXPECT_EQ(service.Calls(), std::vector<std::string>{"Tarquel / io.github.tarquel.Tarquel / Tarquel: 5 files converted, "
                                                      "1 failed /  / desktop-entry=io.github.tarquel.Tarquel"});
}

TEST(DesktopBus, NothingHappensWithoutTheServices) {
  PrivateBus bus;
  test::TempDir empty;
  for (const std::string& address : {bus.Pid ? bus.Address : std::string(), "unix:path=" + empty.File("none")}) {
    if (address.empty()) continue;
    const auto start = std::chrono::steady_clock::now();
    platform::TSleepInhibitor lock("Tarquel", "Converting media files", address);
    lock.Hold(true);
    EXPECT_FALSE(lock.Held()) << address;
    EXPECT_FALSE(platform::TDesktopNotifier("Tarquel", {}, address).Notify("Tarquel: 1 file converted")) << address;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms) << address;
  }
}

}  // namespace
}  // namespace tarquel
