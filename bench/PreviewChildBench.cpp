// Measures the preview child alone, as the window drives it, on any system
// (under Wine too): starting it and opening a file, the first picture, the
// pictures and position reports while it plays, a seek while paused, the
// end of the file and the child's CPU while it plays and while idle.
//   bench_preview_child MEDIA [PROGRAM]   (PROGRAM: the child, by default
//   the build's tarquel-preview)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <string>

#include "PreviewChildGraph.h"

namespace {

// Runs events until `done` holds, looked at every 10 ms; false after
// `limitMs`.
bool WaitFor(const std::function<bool()>& done, int limitMs) {
  QEventLoop loop;
  bool met = done();
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done()) {
      met = true;
      loop.quit();
    }
  });
  QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
  if (!met) {
    poll.start(10);
    loop.exec();
  }
  return met;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_preview_child MEDIA [PROGRAM]\n");
    return 2;
  }
  const std::string program = argc > 2 ? argv[2] : TARQUEL_PROGRAM_DIR "/tarquel-preview";
  tarquel::media::TPreviewChildGraph graph(program);
  int frames = 0, reports = 0;
  std::int64_t lastUs = -1;
  std::uint32_t lastPosition = 0, duration = 0;
  std::string failure;
  graph.SetFrameBox(640, 480);
  graph.SetOnFrame([&](const QImage& picture, std::int64_t startUs) {
    if (frames == 0) std::printf("first picture %dx%d at %.3f s\n", picture.width(), picture.height(), startUs / 1e6);
    ++frames;
    lastUs = startUs;
  });
  graph.SetOnTimer([&](std::uint32_t position, std::uint32_t total) {
    ++reports;
    lastPosition = position;
    duration = total;
  });
  graph.SetOnFailure([&](const std::string& line) { failure = line; });

  QElapsedTimer clock;
  clock.start();
  graph.SetActive(true);
  try {
    const int undecodable = graph.RenderFile(argv[1]);
    std::printf("opened in %lld ms (child started with it): %d ms long, %d streams not decodable\n",
                static_cast<long long>(clock.elapsed()), graph.Duration(), undecodable);
  } catch (const std::exception& error) {
    std::printf("cannot open: %s\n", error.what());
    return 1;
  }
  clock.start();
  graph.Run();
  if (!WaitFor([&] { return frames > 0; }, 5000)) std::printf("no picture within 5 s\n");
  std::printf("first picture %lld ms after run\n", static_cast<long long>(clock.elapsed()));
  const double cpu0 = graph.ChildCpuSeconds();
  WaitFor([&] { return !failure.empty(); }, 3000);
  std::printf("in 3 s: %d pictures (last at %.3f s), %d position reports (last %u of %u ms), child CPU %.0f %% of a core\n",
              frames, lastUs / 1e6, reports, lastPosition, duration, (graph.ChildCpuSeconds() - cpu0) / 3 * 100);

  graph.Pause();
  const int before = frames;
  clock.start();
  const std::int64_t middleUs = graph.Duration() / 2 * 1000LL;
  graph.SetPositions(middleUs * 10);
  // A picture drawn before the pause may still come first.
  WaitFor([&] { return frames > before && lastUs >= middleUs - 40'000; }, 3000);
  std::printf("paused seek to %d ms: picture at %.3f s after %lld ms\n", graph.Duration() / 2, lastUs / 1e6,
              static_cast<long long>(clock.elapsed()));

  clock.start();
  graph.Run();
  const bool ended = WaitFor([&] { return lastPosition >= duration && duration > 0; }, graph.Duration() + 5000);
  std::printf("%s %lld ms after running on from the middle\n", ended ? "ended" : "did not end",
              static_cast<long long>(clock.elapsed()));
  const double idle0 = graph.ChildCpuSeconds();
  WaitFor([] { return false; }, 2000);
  std::printf("child CPU while idle: %.1f %% of a core\n", (graph.ChildCpuSeconds() - idle0) / 2 * 100);
  if (!failure.empty()) std::printf("failure: %s\n", failure.c_str());
  graph.SetActive(false);
  return ended && failure.empty() ? 0 : 1;
}
