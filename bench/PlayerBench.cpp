// Measures the preview on a generated 640 x 480 clip: the time from
// OpenAndPlay to the first frame shown, from a start-handle release to the
// first frame at the new position, and the share of a core the window and
// the preview child together take while the clip plays and while the window
// is idle. Runs on whatever display the environment gives (Xvfb for a real
// video window); "sink" as the second argument only counts the pictures.
#include <sys/resource.h>

#include <QApplication>
#include <cstdio>
#include <filesystem>

#include "PreviewRig.h"
#include "TempDir.h"

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  tarquel::test::TempDir dir;
  const std::string clip = dir.File("clip480.mp4");
  const std::string make = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=640x480:rate=25 -f lavfi -i "
                           "sine=frequency=440:sample_rate=44100 -t 20 -c:v mpeg4 -q:v 4 -c:a aac '" + clip + "'";
  if (std::system(make.c_str()) != 0) {
    std::fprintf(stderr, "cannot make the clip\n");
    return 1;
  }
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;

  const bool toWindow = !(argc > 2 && std::string(argv[2]) == "sink");
  tarquel::test::PreviewRig rig(toWindow);
  rig.window.show();
  rig.SelectFile(clip, 20);
  QElapsedTimer clock;
  std::vector<qint64> opens, seeks;
  for (int round = 0; round < rounds; ++round) {
    rig.player->btnStopClick();
    rig.LastFrameUs = -1;
    const qint64 from = rig.bar->PlayFromSeconds() * 1'000'000;
    clock.start();
    rig.player->btnPlayClick();
    // The first frame at the start handle: the graph runs before it is moved,
    // so a frame from the beginning may come before.
    if (!rig.WaitFor([&] { return rig.LastFrameUs >= from && rig.LastFrameUs < from + 500'000; }, 5000)) return 2;
    opens.push_back(clock.elapsed());
    rig.WaitFor(nullptr, 300);

    // The start handle 80 px to the right: a new start some seconds on.
    tarquel::test::PreviewRig::Drag(rig.panel->Splitter1, round % 2 ? -60 : 80, [&] { clock.start(); });
    const qint64 target = rig.bar->PlayFromSeconds() * 1'000'000;
    if (!rig.WaitFor([&] { return rig.LastFrameUs >= target && rig.LastFrameUs < target + 500'000; }, 5000)) return 3;
    seeks.push_back(clock.elapsed());
  }
  // The first open also starts the preview child, which loads the media
  // backend and probes for hardware decoders; it is shown apart.
  auto report = [](const char* what, std::vector<qint64> ms) {
    const qint64 first = ms.front();
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s first %4lld ms, median %4lld ms, worst %4lld ms (%zu runs)\n", what,
                static_cast<long long>(first), static_cast<long long>(ms[ms.size() / 2]),
                static_cast<long long>(ms.back()), ms.size());
  };
  report("OpenAndPlay to first frame:", opens);
  report("handle release to frame there:", seeks);

  // The share of a core while the clip plays on, the window's and the
  // child's.
  const auto cpu = [&] { return CpuSeconds() + rig.graph->ChildCpuSeconds(); };
  rig.player->btnStopClick();
  rig.SelectFile(clip, 20);
  rig.bar->SetLeftWidth(1);
  rig.bar->SetStartTimeAndPlay();
  std::printf("plays from %lld s\n", static_cast<long long>(rig.bar->PlayFromSeconds()));
  rig.player->btnPlayClick();
  rig.WaitFor(nullptr, 500);
  double window0 = CpuSeconds(), all0 = cpu();
  const int frames0 = rig.FrameCount;
  clock.start();
  rig.WaitFor(nullptr, 8000);
  double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
  std::printf("CPU while 640x480 plays:           %.1f %% of a core, window alone %.1f %% (%d frames in %.1f s)\n",
              (cpu() - all0) / seconds * 100, (CpuSeconds() - window0) / seconds * 100, rig.FrameCount - frames0,
              seconds);
  std::printf("last frame at %.2f s, shown %s, playing %d\n", static_cast<double>(rig.LastFrameUs) / 1e6, rig.Position.c_str(), rig.player->IsPlaying());
  rig.player->btnStopClick();

  // Idle: nothing plays, the child waits for the next file.
  rig.WaitFor(nullptr, 500);
  window0 = CpuSeconds();
  all0 = cpu();
  clock.start();
  rig.WaitFor(nullptr, 5000);
  seconds = static_cast<double>(clock.elapsed()) / 1000.0;
  std::printf("CPU while idle:                    %.2f %% of a core, window alone %.2f %%\n",
              (cpu() - all0) / seconds * 100, (CpuSeconds() - window0) / seconds * 100);
  return 0;
}
