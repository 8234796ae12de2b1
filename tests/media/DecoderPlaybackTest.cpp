// The preview's own playback over the FFmpeg libraries, on clips made by the
// ffmpeg tool: the pictures' fit, what a seek shows, the clock and the end,
// and the player graph over it as the preview child drives it. This build
// has no sound output, so the steady clock times the playback.
#include "DecoderPlayback.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "AudioOutput.h"
#include "DecoderGraph.h"
#include "Errors.h"
#include "RunProgram.h"
#include "TempDir.h"

namespace tarquel {
namespace {

using media::preview::FitInside;
using media::preview::TBox;
using std::chrono::milliseconds;

TEST(FitInside, KeepsTheShownShapeInsideTheBox) {
  const struct {
    int width, height, sarNum, sarDen;
    TBox box, fit;
  } cases[] = {
      {320, 240, 1, 1, {253, 152}, {203, 152}},
      {720, 576, 16, 15, {640, 480}, {640, 480}},  // PAL 4:3
      {720, 480, 32, 27, {640, 480}, {640, 360}},  // NTSC 16:9
      {100, 400, 1, 1, {300, 200}, {50, 200}},
      {320, 240, 0, 1, {160, 160}, {160, 120}},  // unknown pixel shape: square
      {4000, 2, 1, 1, {640, 480}, {640, 1}},     // never thinner than a pixel
      {320, 240, 1, 1, {0, 0}, {1, 1}},
  };
  for (const auto& c : cases) {
    const TBox fit = FitInside(c.width, c.height, c.sarNum, c.sarDen, c.box);
    EXPECT_EQ(fit.width, c.fit.width) << c.width << "x" << c.height;
    EXPECT_EQ(fit.height, c.fit.height) << c.width << "x" << c.height;
  }
}

class Clips : public ::testing::Environment {
 public:
  static std::string Path(const std::string& name) { return Dir_->File(name); }
  void SetUp() override {
    Dir_ = std::make_unique<test::TempDir>();
    Make("clip.mp4", {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-f", "lavfi", "-i",
                      "sine=frequency=440:sample_rate=44100", "-t", "1.2", "-c:v", "mpeg4", "-c:a", "aac"});
    Make("song.m4a", {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100", "-t", "0.6", "-c:a", "aac"});
    test::WriteFile(Path("noise.avi"), std::string(32 * 1024, '\x5a'));
    std::filesystem::create_directory(Path("folder.mp4"));
  }
  void TearDown() override { Dir_.reset(); }

 private:
  static void Make(const std::string& name, std::vector<std::string> args) {
    args.insert(args.begin(), {"ffmpeg", "-nostdin", "-v", "error", "-y"});
    args.push_back(Path(name));
    if (test::RunProgram(args).exitCode != 0) throw std::runtime_error("cannot make " + name);
  }
  static inline std::unique_ptr<test::TempDir> Dir_;
};
const auto* const kClips = ::testing::AddGlobalTestEnvironment(new Clips);

// Keeps the times and sizes of the pictures it is shown.
struct Sink : media::preview::IPictureSink {
  TBox Box() const override { return {160, 160}; }
  void Show(const media::preview::TRgbPicture& p) override {
    // Every row must be there to be read.
    unsigned sum = 0;
    for (int row = 0; row < p.height; ++row) sum += p.rows[static_cast<std::size_t>(row) * p.stride + p.width * 4 - 1];
    const std::lock_guard lock(M);
    Shown.push_back({p.startUs, p.width, p.height, p.stride >= p.width * 4 && sum > 0});
  }
  struct Picture {
    std::int64_t us;
    int width, height;
    bool whole;  // every row there, with its stride
  };
  std::vector<Picture> Pictures() {
    const std::lock_guard lock(M);
    return Shown;
  }
  std::mutex M;
  std::vector<Picture> Shown;
};

// A sound output that plays in real time into nothing: it holds 0.8 s, and
// counts what it was given and what it has played.
struct FakeSound : platform::TAudioOutput {
  explicit FakeSound(int rate) : Rate(rate) {}
  std::size_t Write(const std::int16_t*, std::size_t frames) override {
    const std::lock_guard lock(M);
    const std::size_t room = static_cast<std::size_t>(Rate) * 8 / 10 - QueuedLocked();
    const std::size_t taken = std::min(frames, room);
    Submitted += static_cast<std::int64_t>(taken);
    Written += static_cast<std::int64_t>(taken);
    return taken;
  }
  std::size_t Queued() override {
    const std::lock_guard lock(M);
    return QueuedLocked();
  }
  std::int64_t Played() override {
    const std::lock_guard lock(M);
    return PlayedLocked();
  }
  void Pause() override {
    const std::lock_guard lock(M);
    if (Running) RanUs += Since(Resumed);
    Running = false;
  }
  void Resume() override {
    const std::lock_guard lock(M);
    if (!Running) Resumed = std::chrono::steady_clock::now();
    Running = true;
  }
  void Reset() override {
    const std::lock_guard lock(M);
    Submitted = 0;
    RanUs = 0;
    Resumed = std::chrono::steady_clock::now();
  }

  static std::int64_t Since(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - from).count();
  }
  std::int64_t PlayedLocked() const {
    const std::int64_t us = RanUs + (Running ? Since(Resumed) : 0);
    return std::min(Submitted, us * Rate / 1'000'000);
  }
  std::size_t QueuedLocked() const { return static_cast<std::size_t>(Submitted - PlayedLocked()); }

  std::mutex M;
  const int Rate;
  std::int64_t Submitted = 0, RanUs = 0;
  bool Running = false;
  std::chrono::steady_clock::time_point Resumed = std::chrono::steady_clock::now();
  // Frames taken since the output was opened, for the test to read.
  std::atomic<std::int64_t> Written{0};
};

template <typename Done>
bool WaitFor(Done done, int limitMs) {
  const auto until = std::chrono::steady_clock::now() + milliseconds(limitMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(milliseconds(5));
  }
  return true;
}

TEST(DecoderPlayback, ASeekShowsThePictureThereWhilePaused) {
  const struct {
    std::int64_t targetUs, fromUs, toUs;
  } cases[] = {
      {600'000, 580'000, 620'000},
      {0, 0, 20'000},
      {60'000'000, 1'150'000, 1'200'000},  // past the end: the last picture
  };
  for (const auto& c : cases) {
    Sink sink;
    media::TDecoderPlayback playback(Clips::Path("clip.mp4"), sink, nullptr);
    EXPECT_NEAR(static_cast<double>(playback.DurationUs()), 1.2e6, 0.05e6);
    playback.Seek(c.targetUs, true);
    ASSERT_TRUE(WaitFor([&] { return !sink.Pictures().empty(); }, 3000)) << c.targetUs;
    std::this_thread::sleep_for(milliseconds(100));
    const auto shown = sink.Pictures();
    ASSERT_EQ(shown.size(), 1u) << c.targetUs;  // paused: that one only
    EXPECT_GE(shown[0].us, c.fromUs);
    EXPECT_LE(shown[0].us, c.toUs);
    EXPECT_EQ(shown[0].width, 160);
    EXPECT_EQ(shown[0].height, 120);
    EXPECT_TRUE(shown[0].whole);
    EXPECT_EQ(playback.PositionUs(), c.targetUs);
  }
}

TEST(DecoderPlayback, PlaysInTimeToTheEndAndAgainFromTheBeginning) {
  for (const std::string name : {"clip.mp4", "song.m4a"}) {
    SCOPED_TRACE(name);
    Sink sink;
    std::atomic<int> ends{0};
    media::TDecoderPlayback playback(Clips::Path(name), sink, [&] { ++ends; });
    const bool video = name == "clip.mp4";
    const auto start = std::chrono::steady_clock::now();
    playback.Play();
    std::this_thread::sleep_for(milliseconds(300));
    EXPECT_NEAR(static_cast<double>(playback.PositionUs()), 300'000, 100'000);
    ASSERT_TRUE(WaitFor([&] { return ends > 0; }, 4000));
    const auto took = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(took, playback.DurationUs() / 1000 - 100);
    EXPECT_EQ(ends, 1);
    const auto shown = sink.Pictures();
    if (video) {
      // In order, and most of them on an idle machine.
      EXPECT_GT(shown.size(), 15u);
      for (std::size_t i = 1; i < shown.size(); ++i) EXPECT_GT(shown[i].us, shown[i - 1].us);
    } else {
      EXPECT_TRUE(shown.empty());
    }
    const std::int64_t end = playback.PositionUs();
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_EQ(playback.PositionUs(), end);  // stopped there

    playback.Play();
    EXPECT_LT(playback.PositionUs(), 100'000);
    ASSERT_TRUE(WaitFor([&] { return ends == 2; }, 4000));
  }
}

// With a sound output its samples are the clock: all of the sound after the
// start goes out, at its own pace, and the pictures follow it.
TEST(DecoderPlayback, WithSoundItsSamplesKeepTheTime) {
  const struct {
    const char* name;
    std::int64_t fromUs;
    bool pictures;
  } cases[] = {{"clip.mp4", 0, true}, {"clip.mp4", 600'000, true}, {"song.m4a", 200'000, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " from " + std::to_string(c.fromUs));
    Sink sink;
    std::atomic<int> ends{0};
    FakeSound* sound = nullptr;
    int channels = 0;
    media::TDecoderPlayback playback(Clips::Path(c.name), sink, [&] { ++ends; }, [&](int rate, int count) {
      channels = count;
      auto made = std::make_unique<FakeSound>(rate);
      sound = made.get();
      return made;
    });
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->Rate, 44100);
    EXPECT_EQ(channels, 1);
    if (c.fromUs) playback.Seek(c.fromUs, true);
    const auto start = std::chrono::steady_clock::now();
    playback.Play();
    ASSERT_TRUE(WaitFor([&] { return ends > 0; }, 4000));
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double seconds = static_cast<double>(playback.DurationUs() - c.fromUs) / 1e6;
    EXPECT_GE(took, seconds - 0.1);
    EXPECT_NEAR(static_cast<double>(sound->Written) / 44100, seconds, 0.06);
    const auto shown = sink.Pictures();
    if (c.pictures) {
      ASSERT_GT(shown.size(), 10u);
      EXPECT_LE(shown.front().us, c.fromUs + 40'000);
      EXPECT_GE(shown.back().us, 1'100'000);
    } else {
      EXPECT_TRUE(shown.empty());
    }
  }
}

TEST(DecoderPlayback, RefusesWhatCannotBePlayed) {
  for (const std::string name : {"noise.avi", "folder.mp4", "missing.mp4"}) {
    Sink sink;
    EXPECT_THROW(media::TDecoderPlayback(Clips::Path(name), sink, nullptr), MediaGraphError) << name;
  }
}

// The event loop the graph's timer needs, made before the graph.
void MakeApplication() {
  static int argc = 1;
  static char name[] = "decoder_playback_tests";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
}

// Runs the event loop until `done` holds; false after `limitMs`. Without
// `done` it just runs events.
bool RunUntil(const std::function<bool()>& done, int limitMs) {
  QElapsedTimer clock;
  clock.start();
  while (!(done && done())) {
    if (clock.elapsed() > limitMs) return false;
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

TEST(DecoderGraph, ReportsOnceASecondAndOnceMoreAtTheEnd) {
  MakeApplication();
  Sink sink;
  media::TDecoderGraph graph(sink);
  EXPECT_THROW(graph.RenderFile(Clips::Path("clip.mp4")), MediaGraphError);  // not active
  graph.SetActive(true);
  EXPECT_THROW(graph.RenderFile(Clips::Path("noise.avi")), MediaGraphError);
  ASSERT_EQ(graph.RenderFile(Clips::Path("clip.mp4")), kRenderedAll);
  EXPECT_NEAR(graph.Duration(), 1200, 50);
  std::vector<std::pair<std::uint32_t, std::uint32_t>> reports;
  graph.SetOnTimer([&](std::uint32_t position, std::uint32_t duration) { reports.emplace_back(position, duration); });

  graph.Run();
  ASSERT_TRUE(RunUntil([&] { return !reports.empty() && reports.back().first >= reports.back().second; }, 4000));
  RunUntil(nullptr, 1200);  // nothing more comes after the end
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_NEAR(reports[0].first, 1000, 150);
  EXPECT_EQ(reports[1].first, static_cast<std::uint32_t>(graph.Duration()));
  EXPECT_EQ(reports[1].second, static_cast<std::uint32_t>(graph.Duration()));

  // Stopped, it is at the beginning; moved while paused, it shows the
  // picture there.
  graph.Stop();
  EXPECT_EQ(graph.CurrentPosition(), 0);
  const std::size_t before = sink.Pictures().size();
  graph.SetPositions(700 * 10'000);
  EXPECT_EQ(graph.CurrentPosition(), 700 * 10'000);
  ASSERT_TRUE(RunUntil([&] { return sink.Pictures().size() > before; }, 3000));
  EXPECT_NEAR(static_cast<double>(sink.Pictures().back().us), 700'000, 20'000);
  graph.SetActive(false);
  EXPECT_THROW(graph.CurrentPosition(), MediaGraphError);
}

}  // namespace
}  // namespace tarquel
