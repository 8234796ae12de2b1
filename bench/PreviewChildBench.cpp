// Measures the preview child alone, as the window drives it, on any system
// (under Wine too): starting it and opening a file, the first picture, the
// pictures and position reports while it plays, a seek while paused, the
// end of the file and the child's CPU.
//   bench_preview_child MEDIA [PROGRAM]   (PROGRAM: the child, by default
//   the build's tarquel-preview)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <string>

#include "PreviewChildGraph.h"

namespace {

bool WaitFor(const std::function<bool()>& done, int limitMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > limitMs) return false;
    QEventLoop loop;
    QTimer::singleShot(2, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
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
  graph.SetPositions(graph.Duration() / 2 * 10'000LL);
  WaitFor([&] { return frames > before; }, 3000);
  std::printf("paused seek to %d ms: picture at %.3f s after %lld ms\n", graph.Duration() / 2, lastUs / 1e6,
              static_cast<long long>(clock.elapsed()));

  clock.start();
  graph.Run();
  const bool ended = WaitFor([&] { return lastPosition >= duration && duration > 0; }, graph.Duration() + 5000);
  std::printf("%s %lld ms after running on from the middle\n", ended ? "ended" : "did not end",
              static_cast<long long>(clock.elapsed()));
  if (!failure.empty()) std::printf("failure: %s\n", failure.c_str());
  graph.SetActive(false);
  return ended && failure.empty() ? 0 : 1;
}
