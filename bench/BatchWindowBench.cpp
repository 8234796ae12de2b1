// A batch of short clips converted through the program's own window,
// offscreen, against the very encoder command lines that window ran, run
// back to back by a shell loop. Prints the wall per file of each, their
// ratio over three rounds (the side that goes first alternates) and the
// peak memory of each side.
//
// The window runs in a child process: a copy of this executable inside a
// scratch copy of the program folder, so that the program finds its
// encoder and companion files exactly where it looks for them, with HOME
// and the XDG folders in the scratch folder too. Everything is written
// there, and the folder is removed at the end.
//
// It starts encoders and the program waits for every "evc.exe" on the
// machine: run it alone, in a PID namespace of its own:
//   unshare --fork --pid --mount-proc --kill-child build/bench/bench_batch_window [FILES]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "DiskSync.h"
#include "DurableFiles.h"
#include "TarquelApplication.h"
#include "TempDir.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kChildFlag = "--window-child";
constexpr double kGoal = 1.15;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// --- the window side, in the child process ----------------------------------

// Tells when the main window is enabled again: the end of the batch.
struct EnabledWatch : QObject {
  std::function<void()> OnEnabled;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::EnabledChange && static_cast<QWidget*>(watched)->isEnabled()) OnEnabled();
    return false;
  }
};

// Starts the program as main() does, with `files` on its command line,
// presses Ctrl+S once the files are listed and times the batch up to the
// main window being usable again. Prints one line: start-up and batch
// seconds, its own and its largest child's (an encoder's) peak RSS in kB,
// and the boxes it closed.
int WindowChild(int argc, char** argv) {
  const auto launched = Clock::now();
  tarquel::InstallDiskSync(
      {.File = tarquel::platform::SyncFileToDisk, .Folder = tarquel::platform::SyncFolderToDisk});
  const std::vector<std::string> files(argv + 2, argv + argc);
  int toolkitArgc = 1;
  char* toolkitArgv[] = {argv[0], nullptr};
  qputenv("QT_MEDIA_BACKEND", "ffmpeg");
  tarquel::app::TTarquelApplication app(toolkitArgc, toolkitArgv, files);

  // A box is closed at once, never waited on; the splash ends by itself.
  int boxes = 0;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal->objectName() == QLatin1String("FrmFlashForm")) return;
    ++boxes;
    std::fprintf(stderr, "closed a box: %s\n", qPrintable(modal->windowTitle()));
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      dialog->reject();
    } else {
      modal->close();
    }
  });
  closer.start(20);

  double startup = 0, batch = 0;
  Clock::time_point pressed;
  EnabledWatch watch;
  watch.OnEnabled = [&] {
    if (batch > 0) return;
    batch = SecondsSince(pressed);
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
  };
  QTimer starter;
  QObject::connect(&starter, &QTimer::timeout, [&] {
    QWidget* form = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->objectName() == QLatin1String("FrmMainForm")) form = w;
    }
    const auto* list = form ? form->findChild<QAbstractItemView*>(QStringLiteral("dxTreeSourceFileInfo")) : nullptr;
    if (!list || !list->model() || !form->isVisible() || !form->isEnabled() || QApplication::activeModalWidget() ||
        list->model()->rowCount() < static_cast<int>(files.size())) {
      return;
    }
    starter.stop();
    // Power-off and the output folder's window stay off, and the outputs
    // go under this process's HOME (the scratch folder).
    const auto* shutdown = form->findChild<QAbstractButton*>(QStringLiteral("chkShutdown"));
    const auto* explore = form->findChild<QAbstractButton*>(QStringLiteral("chkShowOutputDirectory"));
    const auto* folder = form->findChild<QLineEdit*>(QStringLiteral("edtOutputFolder"));
    if (!shutdown || !explore || !folder || shutdown->isChecked() || explore->isChecked() ||
        !folder->text().startsWith(qEnvironmentVariable("HOME") + QLatin1Char('/'))) {
      std::fprintf(stderr, "unexpected settings in the window; nothing converted\n");
      QCoreApplication::exit(5);
      return;
    }
    startup = SecondsSince(launched);
    form->installEventFilter(&watch);
    // Ctrl+S, where a key press goes: the focused control, else the window.
    QWidget* target = QApplication::focusWidget();
    if (target == nullptr || target->window() != form) target = form;
    pressed = Clock::now();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_S, Qt::ControlModifier, QStringLiteral("s"));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_S, Qt::ControlModifier, QStringLiteral("s"));
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
    if (batch == 0 && form->isEnabled()) {
      std::fprintf(stderr, "Ctrl+S started no batch\n");
      QCoreApplication::exit(3);
    }
  });
  starter.start(20);
  // A batch that hangs ends the run instead of the bench.
  QTimer::singleShot(std::chrono::seconds(60 + 10 * files.size()), [] { QCoreApplication::exit(4); });

  const int status = app.Run();
  rusage self{}, children{};
  getrusage(RUSAGE_SELF, &self);
  getrusage(RUSAGE_CHILDREN, &children);  // ru_maxrss: the largest waited-for child
  std::printf("result: %.6f %.6f %ld %ld %d\n", startup, batch, self.ru_maxrss, children.ru_maxrss, boxes);
  return status;
}

// --- the bench ---------------------------------------------------------------

struct Ran {
  int Status = -1;
  long MaxRssKb = 0;  // wait4's: the process or its largest waited-for child
};

// Runs `argv` to its end in `cwd` with `env`, its output (both streams)
// into `output`.
Ran Run(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& cwd,
        const std::string& output) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  std::vector<char*> rawArgv, rawEnv;
  for (const std::string& a : argv) rawArgv.push_back(const_cast<char*>(a.c_str()));
  for (const std::string& e : env) rawEnv.push_back(const_cast<char*>(e.c_str()));
  rawArgv.push_back(nullptr);
  rawEnv.push_back(nullptr);
  Ran ran;
  pid_t pid = 0;
  if (posix_spawnp(&pid, rawArgv[0], &actions, nullptr, rawArgv.data(), rawEnv.data()) == 0) {
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    ran.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    ran.MaxRssKb = usage.ru_maxrss;
  }
  posix_spawn_file_actions_destroy(&actions);
  return ran;
}

// The encoder command lines the program logged, in order.
std::vector<std::string> LoggedCommands(const std::string& log) {
  std::vector<std::string> commands;
  std::istringstream in(tarquel::test::ReadFile(log));
  for (std::string line; std::getline(in, line);) {
    const auto at = line.find("|parameter: ");
    if (at == std::string::npos) continue;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    commands.push_back(line.substr(at + std::strlen("|parameter: ")));
  }
  return commands;
}

int FilesIn(const fs::path& folder) {
  std::error_code error;
  int count = 0;
  for (auto it = fs::directory_iterator(folder, error); !error && it != fs::directory_iterator(); it.increment(error)) {
    count += it->is_regular_file();
  }
  return count;
}

int Bench(int files) {
  std::string pattern = (fs::temp_directory_path() / "tarquel-batch-bench-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) return 1;
  const fs::path scratch = pattern;
  const fs::path program = scratch / "Tarquel", home = scratch / "home", clips = scratch / "clips";
  // The program's default output folder is $HOME/Tarquel.
  const fs::path windowOut = home / "Tarquel", shellOut = scratch / "shell-out";
  // The program folder as built, without the settings, log, script and
  // journal a run of it may have left there.
  fs::create_directories(program / "Config");
  for (const auto& entry : fs::directory_iterator(TARQUEL_PROGRAM_DIR)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && name != "log.txt" && name != "VideoFile.avs" && name != "outputs.journal") {
      fs::copy_file(entry.path(), program / name);
    }
  }
  fs::copy_file("/proc/self/exe", program / "bench_batch_window");
  for (const char* sub : {"config", "data", "cache", "state", "runtime", "tmp", "home", "clips"}) {
    fs::create_directories(scratch / sub);
  }
  ::chmod((scratch / "runtime").c_str(), 0700);

  // This environment, the user's folders and the desktop's buses replaced.
  std::vector<std::string> env;
  const std::vector<std::string> replaced = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                                             "XDG_STATE_HOME", "XDG_RUNTIME_DIR", "TMPDIR", "QT_QPA_PLATFORM",
                                             "DBUS_SESSION_BUS_ADDRESS", "DBUS_SYSTEM_BUS_ADDRESS", "DISPLAY",
                                             "WAYLAND_DISPLAY"};
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    if (std::find(replaced.begin(), replaced.end(), entry.substr(0, entry.find('='))) == replaced.end()) {
      env.push_back(entry);
    }
  }
  const std::string s = scratch.string();
  env.insert(env.end(), {"HOME=" + home.string(), "XDG_CONFIG_HOME=" + s + "/config", "XDG_DATA_HOME=" + s + "/data",
                         "XDG_CACHE_HOME=" + s + "/cache", "XDG_STATE_HOME=" + s + "/state",
                         "XDG_RUNTIME_DIR=" + s + "/runtime", "TMPDIR=" + s + "/tmp", "QT_QPA_PLATFORM=offscreen",
                         "DBUS_SYSTEM_BUS_ADDRESS=unix:path=" + s + "/no-bus"});

  const std::string seed = (scratch / "seed.mp4").string();
  if (Run({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=640x480:rate=30", "-f",
           "lavfi", "-i", "sine=sample_rate=48000", "-t", "2", "-c:v", "libx264", "-preset", "veryfast", "-c:a",
           "aac", seed},
          env, s, s + "/ffmpeg.txt")
          .Status != 0) {
    std::fprintf(stderr, "cannot make the clip with ffmpeg\n");
    tarquel::test::RemoveAll(scratch);
    return 1;
  }
  std::vector<std::string> childArgv = {(program / "bench_batch_window").string(), kChildFlag};
  for (int i = 0; i < files; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "clip_%03d.mp4", i);
    fs::copy_file(seed, clips / name);
    childArgv.push_back((clips / name).string());
  }

  double loadBefore[3] = {}, loadAfter[3] = {};
  getloadavg(loadBefore, 3);
  std::printf("%d clips of 2 s (640x480 30 fps H.264 + AAC); goal: window / shell wall per file at most %.2f\n",
              files, kGoal);
  std::printf("scratch %s, %ld cores online\n", s.c_str(), ::sysconf(_SC_NPROCESSORS_ONLN));
  std::printf("%-6s %-7s %9s %12s %7s %14s %14s %s\n", "round", "side", "wall s", "per file ms", "outputs",
              "process MB", "encoder MB", "notes");
  std::vector<double> windowPerFile, shellPerFile, startups;  // seconds, one per round
  std::vector<std::string> commands;
  std::vector<double> ratios;
  bool failed = false;
  const char* order[3][2] = {{"window", "shell"}, {"shell", "window"}, {"window", "shell"}};
  for (int round = 0; round < 3 && !failed; ++round) {
    for (const char* side : order[round]) {
      if (std::strcmp(side, "window") == 0) {
        fs::remove_all(windowOut);
        fs::remove(program / "log.txt");
        const auto start = Clock::now();
        const Ran ran = Run(childArgv, env, s, s + "/window.txt");
        const double wall = SecondsSince(start);
        double startup = 0, batch = 0;
        long selfKb = 0, encoderKb = 0;
        int boxes = 0;
        const std::string report = tarquel::test::ReadFile(s + "/window.txt");
        if (const auto at = report.find("result: "); at != std::string::npos) {
          std::sscanf(report.c_str() + at, "result: %lf %lf %ld %ld %d", &startup, &batch, &selfKb, &encoderKb,
                      &boxes);
        }
        commands = LoggedCommands((program / "log.txt").string());
        if (ran.Status != 0 || batch <= 0 || commands.size() != static_cast<std::size_t>(files)) {
          std::printf("the window run failed (status %d, %zu commands logged, %.1f s); its output:\n%s", ran.Status,
                      commands.size(), wall, report.c_str());
          failed = true;
          break;
        }
        windowPerFile.push_back(batch / files);
        startups.push_back(startup);
        std::printf("%-6d %-7s %9.2f %12.1f %4d/%-2d %14.1f %14.1f %s\n", round + 1, side, batch,
                    1000 * batch / files, FilesIn(windowOut), files, selfKb / 1024.0, encoderKb / 1024.0,
                    boxes ? (std::to_string(boxes) + " boxes closed").c_str() : "");
      } else {
        fs::remove_all(shellOut);
        fs::create_directories(shellOut);
        const std::string from = windowOut.string() + "/", to = shellOut.string() + "/";
        long largestKb = 0;
        int failures = 0;
        const auto start = Clock::now();
        for (std::string command : commands) {
          for (auto at = command.find(from); at != std::string::npos; at = command.find(from, at + to.size())) {
            command.replace(at, from.size(), to);
          }
          const Ran ran = Run({"/bin/sh", "-c", command}, env, program.string(), "/dev/null");
          failures += ran.Status != 0;
          largestKb = std::max(largestKb, ran.MaxRssKb);
        }
        const double wall = SecondsSince(start);
        shellPerFile.push_back(wall / files);
        std::printf("%-6d %-7s %9.2f %12.1f %4d/%-2d %14s %14.1f %s\n", round + 1, side, wall, 1000 * wall / files,
                    FilesIn(shellOut), files, "-", largestKb / 1024.0,
                    failures ? (std::to_string(failures) + " failed").c_str() : "");
      }
    }
    if (!failed) {
      ratios.push_back(windowPerFile.back() / shellPerFile.back());
      std::printf("%-6d ratio   %9.3f\n", round + 1, ratios.back());
    }
  }
  getloadavg(loadAfter, 3);
  if (!failed) {
    const double w = Median(windowPerFile), sh = Median(shellPerFile);
    std::printf("median per file: window %.1f ms, shell %.1f ms, window overhead %.1f ms\n", 1000 * w, 1000 * sh,
                1000 * (w - sh));
    std::printf("ratio %.3f (rounds %.3f-%.3f), goal <= %.2f: %s\n", w / sh,
                *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()),
                kGoal, w / sh <= kGoal ? "met" : "not met");
    std::printf("window start-up to Ctrl+S, median %.2f s (not in the batch wall)\n", Median(startups));
    std::printf("first command: %s\n", commands.front().c_str());
  }
  std::printf("load average before %.2f %.2f %.2f, after %.2f %.2f %.2f\n", loadBefore[0], loadBefore[1],
              loadBefore[2], loadAfter[0], loadAfter[1], loadAfter[2]);
  std::printf("process MB: the window process's own peak RSS; encoder MB: the largest encoder's peak RSS "
              "(window: its largest waited-for child,\nat least the window's own size, which the kernel counts "
              "from the fork before the encoder starts; shell: largest wait4 of sh -c)\n");
  tarquel::test::RemoveAll(scratch);
  return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  if (argc >= 2 && std::strcmp(argv[1], kChildFlag) == 0) return WindowChild(argc, argv);
  const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
  return Bench(files);
}
