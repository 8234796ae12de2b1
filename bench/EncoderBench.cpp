// evc.exe against Debian's ffmpeg doing the same conversion (same encoders,
// size, rate, bitrates and cut) on a generated 60-second 640x480 H.264 + AAC
// source: the ".mp4" Normal Quality preset and ".mp3". Prints the median
// wall time of each and the median of the per-pair ratios.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "ProgramFolder.h"

extern char** environ;

namespace {

// Runs a program quietly; its wall time in seconds, or -1 when it failed.
double Timed(std::vector<std::string> argv) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> raw;
  for (auto& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int status = -1;
  if (posix_spawnp(&pid, raw[0], &actions, nullptr, raw.data(), environ) == 0) waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? spent.count() : -1;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  const std::string evc = tarquel::platform::ExecutableFolder() + "../Tarquel/evc.exe";
  const fs::path dir = fs::temp_directory_path() / "tarquel-encoder-bench";
  fs::create_directories(dir);
  const std::string source = (dir / "source.mp4").string();
  if (!fs::exists(source) &&
      Timed({"ffmpeg", "-y", "-f", "lavfi", "-i", "testsrc2=size=640x480:rate=30,noise=alls=8:allf=t", "-f",
             "lavfi", "-i", "anoisesrc=amplitude=0.2:sample_rate=48000", "-t", "60", "-c:v", "libx264", "-preset",
             "veryfast", "-c:a", "aac", "-b:a", "160k", "-ac", "2", source}) < 0) {
    std::fprintf(stderr, "cannot make the source with ffmpeg\n");
    return 1;
  }
  const std::string out = (dir / "out").string();
  struct Case {
    const char* name;
    std::vector<std::string> evcArgs, ffmpegArgs;
  };
  const std::vector<Case> cases = {
      {".mp4 Normal Quality",
       {evc, "-y", "-i", source, "-vcodec", "mpeg4", "-acodec", "aac", "-b", "768", "-s", "320x240", "-r", "15",
        "-aspect", "4:3", "-ab", "128", "-vol", "200", "-ac", "2", "-ar", "44100", "-ss", "00:00:00", "-t", "60",
        out + "-evc.mp4"},
       {"ffmpeg", "-v", "error", "-y", "-ss", "0", "-t", "60", "-i", source, "-c:v", "mpeg4", "-b:v", "768k", "-bt",
        "768k", "-s", "320x240", "-r", "15", "-aspect", "4:3", "-c:a", "aac", "-b:a", "128k", "-af", "volume=2",
        "-ac", "2", "-ar", "44100", "-f", "psp", out + "-ffmpeg.mp4"}},
      {".mp3 Normal Quality",
       {evc, "-y", "-i", source, "-acodec", "mp3", "-vn", "-ab", "128", "-vol", "200", "-ac", "1", "-ar", "22050",
        "-ss", "00:00:00", "-t", "60", out + "-evc.mp3"},
       {"ffmpeg", "-v", "error", "-y", "-ss", "0", "-t", "60", "-i", source, "-vn", "-c:a", "libmp3lame", "-b:a",
        "128k", "-af", "volume=2", "-ac", "1", "-ar", "22050", out + "-ffmpeg.mp3"}},
  };
  constexpr int kPairs = 5;
  std::printf("%-22s %12s %12s %14s\n", "conversion", "evc s", "ffmpeg s", "ratio (median)");
  for (const auto& c : cases) {
    std::vector<double> evcTimes, ffmpegTimes, ratios;
    for (int i = 0; i < kPairs; ++i) {
      // Alternate which goes first, so that neither always finds a warm cache.
      const bool evcFirst = i % 2 == 0;
      const double a = Timed(evcFirst ? c.evcArgs : c.ffmpegArgs);
      const double b = Timed(evcFirst ? c.ffmpegArgs : c.evcArgs);
      const double e = evcFirst ? a : b, f = evcFirst ? b : a;
      if (e < 0 || f < 0) {
        std::fprintf(stderr, "%s: a run failed\n", c.name);
        return 1;
      }
      evcTimes.push_back(e);
      ffmpegTimes.push_back(f);
      ratios.push_back(e / f);
    }
    std::printf("%-22s %12.2f %12.2f %14.3f\n", c.name, Median(evcTimes), Median(ffmpegTimes), Median(ratios));
  }
  fs::remove_all(dir);
  return 0;
}
