// The encoder stand-in of the runner benchmark: N status lines 100 ms
// apart, then the monotonic time of its end, then it exits at once.
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  const int lines = argc > 1 ? std::atoi(argv[1]) : 0;
  for (int i = 1; i <= lines; ++i) {
    const std::string line = "size=     12kB time=" + std::to_string(i) + ".00 bitrate=  64.0kbits/s\r";
    if (::write(STDOUT_FILENO, line.data(), line.size()) < 0) return 1;
    ::usleep(100000);
  }
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  const std::string stamp = "end=" + std::to_string(now.tv_sec * 1000000000LL + now.tv_nsec);
  return ::write(STDOUT_FILENO, stamp.data(), stamp.size()) < 0;
}
