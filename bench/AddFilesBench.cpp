// How long adding source files takes: 1,000 small generated files (copies of
// a few clips under different names) added to an empty list with our probe,
// side by side with spawning "ffprobe -show_entries format=duration" for each
// of the same files; then the list's own cost as it grows. Prints figures.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "ProbeGraph.h"
#include "SourceFiles.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Runs a program with its output thrown away; its exit status, -1 when it
// could not be started.
int Run(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) < 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int main() {
  av_log_set_level(AV_LOG_QUIET);
  std::string pattern = (fs::temp_directory_path() / "tarquel-bench-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) return 1;
  const fs::path folder = pattern;

  const std::vector<std::pair<std::string, std::string>> clips = {
      {"mp4", "-c:v mpeg4 -c:a aac"},
      {"avi", "-c:v mpeg4 -c:a libmp3lame"},
      {"mpg", "-c:v mpeg1video -c:a mp2"},
      {"vob", "-c:v mpeg2video -c:a mp2 -f vob"},
  };
  for (const auto& [ext, codecs] : clips) {
    const std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=176x144:rate=25 "
                                "-f lavfi -i sine -t 2 " + codecs + " '" + (folder / ("seed." + ext)).string() + "'";
    if (std::system(command.c_str()) != 0) {
      std::fprintf(stderr, "cannot make the %s clip\n", ext.c_str());
      fs::remove_all(folder);
      return 1;
    }
  }
  constexpr int kFiles = 1000;
  std::vector<std::string> paths;
  for (int i = 0; i < kFiles; ++i) {
    const std::string& ext = clips[i % clips.size()].first;
    const fs::path path = folder / ("clip_" + std::to_string(i) + "." + ext);
    fs::copy_file(folder / ("seed." + ext), path);
    paths.push_back(path.string());
  }

  tarquel::TSourceFileServices services{tarquel::media::MakeProbeGraph, [](const std::string&) {},
                                        [](const std::string&) {}, [] {}};
  std::printf("%-44s %10s %12s\n", "", "total ms", "ms per file");

  tarquel::TSourceList list;
  auto start = Clock::now();
  tarquel::AddSourceFiles(list, paths, services);
  const double ours = MillisecondsSince(start);
  std::printf("%-44s %10.1f %12.3f   (%d rows)\n", "AddSourceFiles, 1000 files, empty list", ours, ours / kFiles,
              list.Count());

  // The same files in four calls onto a growing list: flat figures mean the
  // list adds no cost that grows with its length.
  tarquel::TSourceList growing;
  for (int batch = 0; batch < 4; ++batch) {
    const std::vector<std::string> part(paths.begin() + batch * 250, paths.begin() + (batch + 1) * 250);
    start = Clock::now();
    tarquel::AddSourceFiles(growing, part, services);
    const double spent = MillisecondsSince(start);
    const std::string label = "  batch of 250 onto " + std::to_string(batch * 250) + " rows";
    std::printf("%-44s %10.1f %12.3f\n", label.c_str(), spent, spent / 250);
  }

  start = Clock::now();
  int failures = 0;
  for (const auto& path : paths) {
    if (Run({"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path}) != 0) ++failures;
  }
  const double theirs = MillisecondsSince(start);
  std::printf("%-44s %10.1f %12.3f   (%d failed)\n", "ffprobe -show_entries format=duration", theirs,
              theirs / kFiles, failures);
  std::printf("%-44s %10.1fx\n", "ffprobe time / our time", theirs / ours);

  // The list alone: appending rows and testing paths, as it grows.
  std::printf("\n%-44s %10s %12s\n", "list rows", "total ms", "us per row");
  for (int rows : {10'000, 40'000, 160'000}) {
    tarquel::TSourceList big;
    start = Clock::now();
    for (int i = 0; i < rows; ++i) {
      std::string path = "/media/some folder/clip_" + std::to_string(i) + ".avi";
      if (!big.Contains(path)) big.Append(tarquel::NewSourceRow(path, 1024, 2));
    }
    const double spent = MillisecondsSince(start);
    std::printf("%-44d %10.1f %12.3f\n", rows, spent, spent * 1000 / rows);
  }

  fs::remove_all(folder);
  return 0;
}
