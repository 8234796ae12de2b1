// What the window adds to adding source files: N generated files added
// through the main window's adding operation (the table model and view
// following every row, offscreen, then painted), against the core list
// alone on the same files, once with the real probe and once with a probe
// that answers at once, so that the window's own share stands out.
// Prints figures.
#include <QApplication>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "DriverDoubles.h"
#include "ProbeGraph.h"
#include "QtDialogs.h"
#include "ServiceDoubles.h"
#include "SourceDoubles.h"
#include "SourceFilesUi.h"
#include "UnitCustomProc.h"
#include "Unit_Convert.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A probe that knows every file to be ten seconds long.
struct InstantProbe : tarquel::IMediaGraph {
  bool Active() const override { return Active_; }
  void SetActive(bool active) override { Active_ = active; }
  void ClearGraph() override {}
  int RenderFile(const std::string&) override { return tarquel::kRenderedAll; }
  std::int32_t Duration() override { return 10'000; }
  bool Active_ = false;
};

// Milliseconds to add `paths` through the window, painted at the end.
double ThroughWindow(const std::string& appPath, const std::vector<std::string>& paths,
                     const tarquel::MediaGraphFactory& probe) {
  tarquel::test::NoProcesses processes;
  tarquel::test::RecordingServices services;
  tarquel::gui::TQtDialogs dialogs;
  tarquel::test::FakePlayback player;
  tarquel::TCommonLib lib(appPath, processes, services, dialogs);
  tarquel::test::EventLoop loop;
  tarquel::test::RecordingDriverHost host(loop);
  tarquel::TCustomProc proc(lib, appPath, dialogs, dialogs, host, player);
  tarquel::gui::TFrmMainForm form;
  tarquel::gui::TSourceFilesUi ui(form, proc, {probe, [](const std::string&) {}, nullptr, nullptr});
  form.show();
  QApplication::processEvents();
  const auto start = Clock::now();
  ui.AddDroppedFiles(paths);
  QApplication::processEvents();
  return MillisecondsSince(start);
}

double CoreOnly(const std::vector<std::string>& paths, const tarquel::MediaGraphFactory& probe) {
  tarquel::TSourceList list;
  const auto start = Clock::now();
  tarquel::AddSourceFiles(list, paths, {probe, [](const std::string&) {}, [](const std::string&) {}, [] {}});
  return MillisecondsSince(start);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  av_log_set_level(AV_LOG_QUIET);
  std::string pattern = (fs::temp_directory_path() / "tarquel-bench-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) return 1;
  const fs::path folder = pattern;
  fs::create_directories(folder / "Config");
  const std::string seed = (folder / "seed.avi").string();
  const std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=176x144:rate=25 "
                              "-f lavfi -i sine -t 2 -c:v mpeg4 -c:a libmp3lame '" + seed + "'";
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "cannot make the seed clip (is ffmpeg installed?)\n");
    fs::remove_all(folder);
    return 1;
  }
  const tarquel::MediaGraphFactory realProbe = tarquel::media::MakeProbeGraph;
  const tarquel::MediaGraphFactory instantProbe = [] { return std::make_unique<InstantProbe>(); };

  std::printf("%-8s %-10s %14s %14s %14s %10s\n", "files", "probe", "core us/file", "window us/file",
              "window share", "of probe");
  for (int files : {1'000, 10'000}) {
    std::vector<std::string> paths;
    for (int i = 0; i < files; ++i) {
      const fs::path path = folder / ("clip_" + std::to_string(i) + ".avi");
      if (!fs::exists(path)) fs::create_hard_link(seed, path);
      paths.push_back(path.string());
    }
    const std::string appPath = folder.string() + "/";
    const double realCore = CoreOnly(paths, realProbe);
    const double realWindow = ThroughWindow(appPath, paths, realProbe);
    const double fastCore = CoreOnly(paths, instantProbe);
    const double fastWindow = ThroughWindow(appPath, paths, instantProbe);
    // The window's own cost is what it adds over the core with the instant
    // probe; set against the time the real probe takes.
    const double windowCost = fastWindow - fastCore;
    std::printf("%-8d %-10s %14.1f %14.1f %14s %10s\n", files, "real", realCore * 1000 / files,
                realWindow * 1000 / files, "", "");
    std::printf("%-8d %-10s %14.1f %14.1f %14.1f %9.1f%%\n", files, "instant", fastCore * 1000 / files,
                fastWindow * 1000 / files, windowCost * 1000 / files, 100.0 * windowCost / realCore);
  }
  fs::remove_all(folder);
  return 0;
}
