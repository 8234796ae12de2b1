// How long the free-name search takes when many earlier outputs of the same
// name exist: the folder is listed once per candidate, so the cost grows
// with (collisions x folder size). Prints one line per folder size.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "UtilityFuncs.h"

int main() {
  namespace fs = std::filesystem;
  std::string pattern = (fs::temp_directory_path() / "tarquel-bench-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) return 1;
  const std::string folder = pattern + "/";
  std::printf("%10s %14s\n", "taken", "ms per call");
  int made = 0;
  for (int taken : {1, 10, 100, 500, 1000}) {
    for (; made < taken; ++made) {
      std::ofstream(folder + (made == 0 ? "clip.mp4" : "clip_" + std::to_string(made) + ".mp4"));
    }
    tarquel::TFileFunc files;
    const auto start = std::chrono::steady_clock::now();
    const int calls = taken >= 500 ? 3 : 20;
    for (int i = 0; i < calls; ++i) files.GetUniqueFileName(folder + "clip.mp4");
    const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
    std::printf("%10d %14.3f\n", taken, spent.count() / calls);
  }
  fs::remove_all(pattern);
  return 0;
}
