// The Converting dialog under a real batch: 100 short clips converted with
// the real encoder while the dialog is shown offscreen. Prints the GUI
// thread's time per encoder chunk (the hand-over, the progress refresh and
// the redraw) and how late a 10 ms timer fires meanwhile, which is what a
// user feels as the window's responsiveness.
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "RealRunnerHost.h"
#include "ProgramFolder.h"
#include "QtDialogs.h"
#include "RunProgram.h"
#include "ServiceDoubles.h"
#include "SourceDoubles.h"
#include "UnitCustomProc.h"
#include "Unit_Converting.h"

namespace {

using namespace tarquel;
namespace fs = std::filesystem;

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication qapp(argc, argv);
  constexpr int kFiles = 100;
  const fs::path dir = fs::temp_directory_path() / ("tarquel-converting-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir / "Config");
  const std::string app = dir.string() + "/";
  fs::copy_file(platform::ExecutableFolder() + "../Tarquel/evc.exe", app + "evc.exe");
  if (test::RunProgram({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-f", "lavfi",
                        "-i", "sine", "-t", "3", "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac", app + "seed.mp4"})
          .exitCode != 0) {
    std::fprintf(stderr, "cannot make the clip with ffmpeg\n");
    return 1;
  }

  // Own children only: another program's encoder must not hold this batch.
  test::NoProcesses processes;
  test::RecordingServices services;
  gui::TQtDialogs dialogs;
  test::FakePlayback player;
  TCommonLib lib(app, processes, services, dialogs);
  // The real runner; the work it posts is timed on the GUI thread.
  struct Host : test::RealRunnerHost {
    using RealRunnerHost::RealRunnerHost;
    void PostToGui(std::function<void()> work) override {
      QMetaObject::invokeMethod(
          &context,
          [this, work = std::move(work)] {
            QElapsedTimer t;
            t.start();
            work();
            chunkMs.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
          },
          Qt::QueuedConnection);
    }
    void After(std::chrono::milliseconds delay, std::function<void()> work) override {
      QTimer::singleShot(delay, &context, std::move(work));
    }
    void ShowConvertingDialog(bool visible) override { visible ? dialog->ShowOver(nullptr) : dialog->hide(); }
    void DialogChanged() override { dialog->Refresh(); }
    QObject context;
    std::vector<double> chunkMs;
    gui::TfrmConverting* dialog = nullptr;
  };
  test::EventLoop unused;
  Host host(unused);
  std::vector<double>& chunkMs = host.chunkMs;
  TCustomProc proc(lib, app, dialogs, dialogs, host, player);
  gui::TfrmConverting converting(proc.Converting);
  host.dialog = &converting;
  proc.Profiles.FillAllSelectors();
  proc.Profiles.ApplyProfile();
  proc.UserSettings.Settings.OutDir = app + "out";
  for (int i = 0; i < kFiles; ++i) {
    const std::string clip = app + "clip" + std::to_string(i) + ".mp4";
    fs::create_hard_link(app + "seed.mp4", clip);
    proc.SourceList.Append(NewSourceRow(clip, 1024, 3));
  }

  // A 10 ms timer's lateness while the batch runs.
  std::vector<double> lateMs;
  QElapsedTimer since;
  QTimer tick;
  tick.setInterval(10);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    if (since.isValid()) lateMs.push_back(std::max(0.0, static_cast<double>(since.nsecsElapsed()) / 1e6 - 10.0));
    since.restart();
  });
  tick.start();
  QElapsedTimer wall;
  wall.start();
  proc.btnConvertClick();
  while (proc.Driver().Running()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  const double seconds = static_cast<double>(wall.elapsed()) / 1000;
  tick.stop();

  int outputs = 0;
  for (const auto& entry : fs::directory_iterator(app + "out")) outputs += entry.is_regular_file();
  std::printf("files converted                      %d of %d in %.1f s\n", outputs, kFiles, seconds);
  std::printf("GUI-thread work items (chunks, ends) %zu\n", chunkMs.size());
  std::printf("GUI time per item, median / p99 / max %.3f / %.3f / %.3f ms\n", Percentile(chunkMs, 0.5),
              Percentile(chunkMs, 0.99), Percentile(chunkMs, 1.0));
  std::printf("10 ms timer lateness, median / p99 / max %.2f / %.2f / %.2f ms over %zu ticks\n",
              Percentile(lateMs, 0.5), Percentile(lateMs, 0.99), Percentile(lateMs, 1.0), lateMs.size());
  fs::remove_all(dir);
  return 0;
}
