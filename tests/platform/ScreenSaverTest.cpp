// The screen-saver hold against a fake org.freedesktop.ScreenSaver on a
// private bus that the test starts (and ends) itself, and without a bus.
#include "ScreenSaver.h"

#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "PrivateBus.h"
#include "TempDir.h"

namespace tarquel {
namespace {

using namespace std::chrono_literals;

using test::PrivateBus;

// The screen saver's side: grants holds with cookies 0, 1, ... and records
// the calls.
class FakeScreenSaver {
 public:
  explicit FakeScreenSaver(const std::string& address) {
    sd_bus_new(&Bus_);
    sd_bus_set_address(Bus_, address.c_str());
    sd_bus_set_bus_client(Bus_, 1);
    if (sd_bus_start(Bus_) < 0) throw std::runtime_error("no bus");
    sd_bus_add_object_vtable(Bus_, nullptr, "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver", kTable, this);
    if (sd_bus_request_name(Bus_, "org.freedesktop.ScreenSaver", 0) < 0) throw std::runtime_error("no name");
    Thread_ = std::thread([this] {
      while (!Stop_) {
        if (sd_bus_process(Bus_, nullptr) > 0) continue;
        sd_bus_wait(Bus_, 20'000);
      }
    });
  }
  ~FakeScreenSaver() {
    Stop_ = true;
    Thread_.join();
    sd_bus_flush_close_unref(Bus_);
  }
  std::vector<std::string> Calls() {
    std::lock_guard lock(Mutex_);
    return Calls_;
  }

 private:
  static int Inhibit(sd_bus_message* m, void* self, sd_bus_error*) {
    auto* s = static_cast<FakeScreenSaver*>(self);
    const char *app = nullptr, *reason = nullptr;
    sd_bus_message_read(m, "ss", &app, &reason);
    std::lock_guard lock(s->Mutex_);
    s->Calls_.push_back(std::string("Inhibit ") + app + " / " + reason);
    return sd_bus_reply_method_return(m, "u", s->NextCookie_++);
  }
  static int UnInhibit(sd_bus_message* m, void* self, sd_bus_error*) {
    auto* s = static_cast<FakeScreenSaver*>(self);
    std::uint32_t cookie = 0;
    sd_bus_message_read(m, "u", &cookie);
    std::lock_guard lock(s->Mutex_);
    s->Calls_.push_back("UnInhibit " + std::to_string(cookie));
    return sd_bus_reply_method_return(m, "");
  }
  static constexpr sd_bus_vtable kTable[] = {
      SD_BUS_VTABLE_START(0),
      SD_BUS_METHOD("Inhibit", "ss", "u", Inhibit, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_METHOD("UnInhibit", "u", "", UnInhibit, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_VTABLE_END,
  };

  sd_bus* Bus_ = nullptr;
  std::thread Thread_;
  std::atomic<bool> Stop_{false};
  std::mutex Mutex_;
  std::vector<std::string> Calls_;
  std::uint32_t NextCookie_ = 0;
};

TEST(ScreenSaver, HoldsAndReleasesThroughTheService) {
  PrivateBus bus;
  if (bus.Pid == 0) GTEST_SKIP() << "no dbus-daemon";
  FakeScreenSaver saver(bus.Address);
  {
    platform::TScreenSaverInhibitor inhibitor("Tarquel", bus.Address);
    inhibitor.Hold(true);
    inhibitor.Hold(true);  // already held: no second hold
    EXPECT_TRUE(inhibitor.Held());
    inhibitor.Hold(false);
    EXPECT_FALSE(inhibitor.Held());
    inhibitor.Hold(false);
    inhibitor.Hold(true);  // released again when the object goes
  }
  const std::vector<std::string> expected = {"Inhibit Tarquel / Playing video", "UnInhibit 0",
                                             "Inhibit Tarquel / Playing video", "UnInhibit 1"};
  for (int i = 0; i < 100 && saver.Calls().size() < expected.size(); ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(saver.Calls(), expected);
}

TEST(ScreenSaver, NothingHappensWithoutTheService) {
  PrivateBus bus;
  test::TempDir empty;
  for (const std::string& address : {bus.Pid ? bus.Address : std::string(), "unix:path=" + empty.File("none")}) {
    if (address.empty()) continue;
    platform::TScreenSaverInhibitor inhibitor("Tarquel", address);
    const auto start = std::chrono::steady_clock::now();
    inhibitor.Hold(true);
    inhibitor.Hold(true);
    inhibitor.Hold(false);
    EXPECT_FALSE(inhibitor.Held()) << address;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms) << address;
  }
}

}  // namespace
}  // namespace tarquel
