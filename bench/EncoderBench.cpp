// evc.exe against Debian's ffmpeg, side by side in one run:
//  - speed and memory: the same conversion (same encoders, size, rate,
//    bitrates and cut) of 640x480 H.264 and DivX sources, of 720p and
//    1080p, at the ".mp4" Normal Quality preset, a custom profile at the
//    source's full rate and ".mp3", against the ffmpeg CLI with its default
//    settings: wall time, the ratios of wall and CPU seconds with their
//    spread, and peak memory;
//  - start: from the encoder's start to the first packet it reads, split
//    into loading and set-up, on a 2-second clip;
//  - quality at equal bitrate: PSNR-Y and SSIM against the source scaled
//    alike, on a hard source (a zoom into fine detail), an easy one and a
//    DivX one, at the Low, Normal and Superb presets, against ffmpeg's
//    mpeg4 with its defaults and with its best Simple Profile settings;
//    rows whose bitrates differ by more than 3 % are marked and compare
//    nothing;
//  - a late cut: 10 seconds at 2:50 of a 3-minute 720p source against
//    `ffmpeg -ss` doing the same job, and which source frame comes first;
//  - bitrate: the asked video bitrate against the one met over a minute.
// Pairs alternate which program goes first; figures are medians. Every
// run works in a scratch folder of its own and prints each line as soon
// as it is known; the whole default run takes some 8 minutes on 2 cores.
// `bench_encoder_vs_ffmpeg [speed] [start] [quality] [cut] [bitrate]` runs
// only the parts named; with none, all of them. TARQUEL_BENCH_EVC names
// another build's evc.exe to measure instead of this build's.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "Catalogues.h"
#include "ProgramFolder.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Run {
  double wall = -1;  // seconds; -1 when the program failed
  double cpu = 0;    // user + system seconds
  long peakKb = 0;   // largest resident set
  std::string output;
};

// Runs a program; with `capture`, its output (both streams) is kept;
// `environment` is added to this program's; with `anyStatus` its time
// counts whatever it ends with.
Run Start(std::vector<std::string> argv, const fs::path& capture = {},
          const std::vector<std::string>& environment = {}, bool anyStatus = false) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string sink = capture.empty() ? "/dev/null" : capture.string();
  posix_spawn_file_actions_addopen(&actions, 1, sink.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  std::vector<char*> raw;
  for (auto& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);
  std::vector<std::string> added = environment;
  std::vector<char*> env;
  for (char** e = environ; *e; ++e) env.push_back(*e);
  for (auto& e : added) env.push_back(e.data());
  env.push_back(nullptr);
  Run run;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int status = -1;
  rusage usage{};
  if (posix_spawnp(&pid, raw[0], &actions, nullptr, raw.data(), env.data()) == 0) wait4(pid, &status, 0, &usage);
  posix_spawn_file_actions_destroy(&actions);
  const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
  if (WIFEXITED(status) && (anyStatus || WEXITSTATUS(status) == 0)) run.wall = spent.count();
  run.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  run.peakKb = usage.ru_maxrss;
  if (!capture.empty()) {
    std::ifstream in(capture, std::ios::binary);
    run.output.assign(std::istreambuf_iterator<char>(in), {});
  }
  return run;
}

// CLOCK_MONOTONIC, which the preloaded probe reads too, in seconds.
double MonotonicSeconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

std::string Format(const char* pattern, auto... values) {
  char text[256];
  std::snprintf(text, sizeof text, pattern, values...);
  return text;
}

double Number(const std::string& text, const char* pattern) {
  std::smatch m;
  return std::regex_search(text, m, std::regex(pattern)) ? std::stod(m[1]) : -1;
}

bool Make(const fs::path& file, std::vector<std::string> args) {
  args.insert(args.begin(), {"ffmpeg", "-v", "error", "-y"});
  args.push_back(file.string());
  if (Start(args).wall >= 0) return true;
  std::fprintf(stderr, "cannot make %s with ffmpeg\n", file.c_str());
  return false;
}

struct Dir {
  fs::path path;
  fs::path operator/(const std::string& name) const { return path / name; }
};

// A figure's median and its spread over the pairs.
struct Spread {
  double median = 0, low = 0, high = 0;
};

Spread SpreadOf(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? Spread{} : Spread{v[v.size() / 2], v.front(), v.back()};
}

std::string RatioText(const Spread& s) { return Format("%.2f [%.2f-%.2f]", s.median, s.low, s.high); }

// The two sides of one comparison, run in pairs that alternate which goes
// first, so that neither always finds a warm cache.
struct Pairs {
  std::vector<double> evcWall, ffmpegWall, wallRatio, cpuRatio;
  long evcPeak = 0, ffmpegPeak = 0;
};

bool RunPairs(const std::vector<std::string>& evcArgs, const std::vector<std::string>& ffmpegArgs, int pairs,
              Pairs& out) {
  for (int i = 0; i < pairs; ++i) {
    const bool evcFirst = i % 2 == 0;
    const Run a = Start(evcFirst ? evcArgs : ffmpegArgs);
    const Run b = Start(evcFirst ? ffmpegArgs : evcArgs);
    const Run& e = evcFirst ? a : b;
    const Run& f = evcFirst ? b : a;
    if (e.wall < 0 || f.wall < 0) return false;
    out.evcWall.push_back(e.wall);
    out.ffmpegWall.push_back(f.wall);
    out.wallRatio.push_back(e.wall / f.wall);
    out.cpuRatio.push_back(e.cpu / f.cpu);
    out.evcPeak = std::max(out.evcPeak, e.peakKb);
    out.ffmpegPeak = std::max(out.ffmpegPeak, f.peakKb);
  }
  return true;
}

void PrintPairsHeader() {
  std::printf("%-24s %7s %7s %-18s %-18s %7s %7s %6s\n", "conversion", "evc s", "ffm s", "wall ratio",
              "cpu-s ratio", "evc MB", "ffm MB", "MB r.");
}

void PrintPairs(const char* name, const Pairs& p) {
  std::printf("%-24s %7.2f %7.2f %-18s %-18s %7.1f %7.1f %6.2f\n", name, SpreadOf(p.evcWall).median,
              SpreadOf(p.ffmpegWall).median, RatioText(SpreadOf(p.wallRatio)).c_str(),
              RatioText(SpreadOf(p.cpuRatio)).c_str(), p.evcPeak / 1024.0, p.ffmpegPeak / 1024.0,
              static_cast<double>(p.evcPeak) / static_cast<double>(std::max(1L, p.ffmpegPeak)));
}

// A 640x480 DivX file as old rips and cameras made them: MPEG-4 Part 2
// with an MP3 track in AVI.
bool MakeDivx(const fs::path& file, const char* seconds) {
  return Make(file, {"-f", "lavfi", "-i", "testsrc2=size=640x480:rate=30,noise=alls=6:allf=t", "-f", "lavfi", "-i",
                     "anoisesrc=amplitude=0.2:sample_rate=44100", "-t", seconds, "-c:v", "mpeg4", "-vtag", "DIVX",
                     "-b:v", "1800k", "-g", "250", "-c:a", "libmp3lame", "-b:a", "128k", "-ac", "2"});
}

// Speed and memory: the same conversion by both programs (same encoders,
// size, rate, bitrates and cut), evc.exe against the ffmpeg CLI with its
// defaults.
bool Speed(const std::string& evc, const Dir& dir) {
  const std::string source = (dir / "source.mp4").string();
  if (!Make(source, {"-f", "lavfi", "-i", "testsrc2=size=640x480:rate=30,noise=alls=8:allf=t", "-f", "lavfi", "-i",
                     "anoisesrc=amplitude=0.2:sample_rate=48000", "-t", "30", "-c:v", "libx264", "-preset", "veryfast",
                     "-c:a", "aac", "-b:a", "160k", "-ac", "2"})) {
    return false;
  }
  const std::string divx = (dir / "divx.avi").string();
  if (!MakeDivx(divx, "30")) return false;
  const std::string hd = (dir / "hd.mp4").string(), hd720 = (dir / "hd720.mp4").string();
  for (const auto& [file, size] : {std::pair{hd, "1920x1080"}, std::pair{hd720, "1280x720"}}) {
    if (!Make(file, {"-f", "lavfi", "-i", std::string("testsrc2=size=") + size + ":rate=30", "-f", "lavfi", "-i",
                     "sine=sample_rate=48000", "-t", "15", "-c:v", "libx264", "-preset", "veryfast", "-c:a", "aac"})) {
      return false;
    }
  }
  const std::string out = (dir / "out").string();
  struct Case {
    const char* name;
    std::vector<std::string> evcArgs, ffmpegArgs;
  };
  const auto video = [&](const char* name, const std::string& from, const std::string& size, const std::string& rate,
                         const std::string& kbits, const std::string& aspect) {
    return Case{name,
                {evc, "-y", "-i", from, "-vcodec", "mpeg4", "-acodec", "aac", "-b", kbits, "-s", size, "-r", rate,
                 "-aspect", aspect, "-ab", "128", "-vol", "200", "-ac", "2", "-ar", "44100", "-ss", "00:00:00", "-t",
                 "60", out + "-evc.mp4"},
                {"ffmpeg", "-v", "error", "-y", "-ss", "0", "-t", "60", "-i", from, "-c:v", "mpeg4", "-b:v",
                 kbits + "k", "-bt", kbits + "k", "-s", size, "-r", rate, "-aspect", aspect, "-c:a", "aac", "-b:a",
                 "128k", "-af", "volume=2", "-ac", "2", "-ar", "44100", "-f", "psp", out + "-ffmpeg.mp4"}};
  };
  const std::vector<Case> cases = {
      video("640x480 H.264, Normal", source, "320x240", "15", "768", "4:3"),
      video("640x480 DivX, Normal", divx, "320x240", "15", "768", "4:3"),
      video("720p, Normal", hd720, "320x240", "15", "768", "4:3"),
      video("1080p, Normal", hd, "320x240", "15", "768", "4:3"),
      // A custom profile at the source's full rate: every picture decoded
      // and encoded.
      video("368x208 29.97 1500k", source, "368x208", "29.97", "1500", "16:9"),
      {".mp3 Normal Quality",
       {evc, "-y", "-i", source, "-acodec", "mp3", "-vn", "-ab", "128", "-vol", "200", "-ac", "1", "-ar", "22050",
        "-ss", "00:00:00", "-t", "60", out + "-evc.mp3"},
       {"ffmpeg", "-v", "error", "-y", "-ss", "0", "-t", "60", "-i", source, "-vn", "-c:a", "libmp3lame", "-b:a",
        "128k", "-af", "volume=2", "-ac", "1", "-ar", "22050", out + "-ffmpeg.mp3"}},
  };
  constexpr int kPairs = 5;
  std::printf("\nSpeed and memory: 30 s of 640x480 H.264 + AAC and of DivX + MP3, 15 s of 720p and 1080p; %d pairs,\n"
              "medians [lowest-highest] of evc/ffmpeg (goals: cpu-s ratio at most 1.0 on the DivX row, MB ratio at "
              "most 1.1 on 720p and 1080p)\n",
              kPairs);
  PrintPairsHeader();
  for (const auto& c : cases) {
    Pairs pairs;
    if (!RunPairs(c.evcArgs, c.ffmpegArgs, kPairs, pairs)) {
      std::fprintf(stderr, "%s: a run failed\n", c.name);
      return false;
    }
    PrintPairs(c.name, pairs);
  }
  return true;
}

// The start of a conversion: from the encoder's start to the first packet
// it reads, once its libraries are loaded and its input, decoders,
// filters, encoders and output are set up. A library preloaded into the
// encoder notes when main() begins and when the first packet is read.
bool Startup(const std::string& evc, const Dir& dir) {
  const std::string clip = (dir / "clip2.mp4").string();
  if (!Make(clip, {"-f", "lavfi", "-i", "testsrc2=size=640x480:rate=30", "-f", "lavfi", "-i",
                   "sine=sample_rate=48000", "-t", "2", "-c:v", "libx264", "-preset", "veryfast", "-c:a", "aac"})) {
    return false;
  }
  const std::string probe = tarquel::platform::ExecutableFolder() + "libtarquel_first_read.so";
  const fs::path log = dir / "first-read.txt";
  const std::vector<std::string> convert = {evc, "-y", "-i", clip, "-vcodec", "mpeg4", "-acodec", "aac", "-b", "768",
                                            "-s", "320x240", "-r", "15", "-aspect", "4:3", "-ab", "128", "-vol",
                                            "200", "-ac", "2", "-ar", "44100", "-ss", "00:00:00", "-t", "2",
                                            (dir / "clip-evc.mp4").string()};
  constexpr int kRuns = 15;
  std::vector<double> load, setUp, whole, bare, ffmpegBare, wall;
  for (int i = 0; i < kRuns; ++i) {
    fs::remove(log);
    const double launched = MonotonicSeconds();
    const Run r = Start(convert, {}, {"LD_PRELOAD=" + probe, "TARQUEL_FIRST_READ_LOG=" + log.string()});
    std::ifstream in(log);
    double mainAt = 0, readAt = 0;
    if (r.wall < 0 || !(in >> mainAt >> readAt)) {
      std::fprintf(stderr, "start: the encoder failed or the probe %s noted nothing\n", probe.c_str());
      return false;
    }
    load.push_back(1000 * (mainAt - launched));
    setUp.push_back(1000 * (readAt - mainAt));
    whole.push_back(1000 * (readAt - launched));
    wall.push_back(1000 * r.wall);
    // The loading alone: with no arguments the encoder says how it is used
    // and ends.
    bare.push_back(1000 * Start({evc}, {}, {}, true).wall);
    ffmpegBare.push_back(1000 * Start({"ffmpeg", "-version"}).wall);
  }
  std::printf("\nStart of a 2 s clip's conversion, %d runs, ms: median [lowest-highest]\n", kRuns);
  const auto row = [](const char* what, const std::vector<double>& v) {
    const Spread s = SpreadOf(v);
    std::printf("  %-48s %7.1f [%.1f-%.1f]\n", what, s.median, s.low, s.high);
  };
  row("start to main() (loading the libraries)", load);
  row("main() to the first packet read (set-up)", setUp);
  row("start to the first packet read", whole);
  row("whole conversion", wall);
  row("evc.exe with no arguments (loading alone)", bare);
  row("ffmpeg -version (its loading alone)", ffmpegBare);
  return true;
}

struct Score {
  double psnr = -1, ssim = -1, kbits = -1;
};

// PSNR-Y and SSIM-Y of an encoded file against its source brought to the
// same rate and size the same way, and the video bitrate.
Score Measure(const std::string& encoded, const std::string& source, const std::string& rate, const std::string& size,
              const Dir& dir) {
  std::string scale = size;
  std::replace(scale.begin(), scale.end(), 'x', ':');
  const Run r = Start({"ffmpeg", "-hide_banner", "-i", encoded, "-i", source, "-lavfi",
                       "[1:v]fps=" + rate + ",scale=" + scale + ",split[r1][r2];[0:v]split[a1][a2];[a1][r1]psnr;[a2][r2]ssim",
                       "-f", "null", "-"},
                      dir / "measure.txt");
  Score s;
  s.psnr = Number(r.output, R"(PSNR y:([0-9.]+))");
  s.ssim = Number(r.output, R"(SSIM Y:([0-9.]+))");
  const Run p = Start({"ffprobe", "-v", "error", "-select_streams", "v", "-show_entries", "stream=bit_rate", "-of",
                       "csv=p=0", encoded},
                      dir / "probe.txt");
  s.kbits = Number(p.output, R"(([0-9]+))") / 1000;
  return s;
}

// The video's frame rate as a fraction ("15000/1001").
std::string FrameRate(const std::string& file, const Dir& dir) {
  const Run p = Start({"ffprobe", "-v", "error", "-select_streams", "v", "-show_entries", "stream=r_frame_rate", "-of",
                       "csv=p=0", file},
                      dir / "rate.txt");
  std::smatch m;
  return std::regex_search(p.output, m, std::regex(R"(([0-9]+/[0-9]+))")) ? m[1].str() : std::string("15");
}

bool Quality(const std::string& evc, const Dir& dir) {
  const struct {
    const char* name;
    const char* lavfi;  // nullptr: the DivX source
  } sources[] = {
      {"hard", "mandelbrot=size=640x480:rate=30"},
      {"easy", "testsrc2=size=640x480:rate=30"},
      {"divx", nullptr},
  };
  std::printf("\nQuality at equal bitrate: 20 s, PSNR-Y dB / SSIM-Y / video kbit/s (goal: evc at least 0.3 dB over\n"
              "ffmpeg's defaults; ffmpeg aims at the bitrate evc.exe met, and a side more than 3 %% off it is marked *\n"
              "and compares nothing)\n");
  std::printf("%-6s %-16s %-26s %-26s %-26s\n", "source", "preset", "evc.exe", "ffmpeg defaults", "ffmpeg best SP");
  for (const auto& src : sources) {
    const std::string source = (dir / (std::string(src.name) + (src.lavfi ? ".mp4" : ".avi"))).string();
    const bool made =
        src.lavfi ? Make(source, {"-f", "lavfi", "-i", src.lavfi, "-f", "lavfi", "-i", "sine=sample_rate=48000", "-t",
                                  "20", "-c:v", "libx264", "-preset", "veryfast", "-crf", "16", "-c:a", "aac", "-ac", "2"})
                  : MakeDivx(source, "20");
    if (!made) return false;
    for (const int quality : {0, 2, 4}) {
      tarquel::TConvertSettings s;
      tarquel::ApplyPresetString(s, tarquel::QualityPresets[0][quality]);
      const std::string size(tarquel::VideoSizes.EntryText(s.VideoSize()));
      const std::string rate(tarquel::FrameRates.EntryText(s.Framerate()));
      const std::string kbits(tarquel::VideoBitrates.EntryText(s.VideoBitrate()));
      const std::string evcOut = (dir / "q-evc.mp4").string(), plainOut = (dir / "q-plain.mp4").string(),
                        bestOut = (dir / "q-best.mp4").string();
      std::string scale = size;
      std::replace(scale.begin(), scale.end(), 'x', ':');
      const bool made = Start({evc, "-y", "-i", source, "-vcodec", "mpeg4", "-acodec", "aac", "-b", kbits, "-s", size, "-r",
                         rate, "-aspect", "4:3", "-ab", "64", "-ac", "2", "-ar", "44100", evcOut})
                      .wall >= 0;
      // The handheld's file runs at the NTSC rate (15000/1001 for "15"):
      // ffmpeg makes the same, and the reference is brought to it alike.
      const std::string written = made ? FrameRate(evcOut, dir) : rate;
      // The finest quantiser allowed, as evc.exe allows it, so that an easy
      // source gets the bits asked for on both sides.
      if (!made) {
        std::fprintf(stderr, "quality: evc.exe failed\n");
        return false;
      }
      const Score evcScore = Measure(evcOut, source, written, size, dir);
      // ffmpeg aims at the bitrate evc.exe met (an easy source can need
      // fewer bits than asked even at the finest quantiser), and again
      // from where it landed until the two are within 3 %.
      const auto ffmpegScore = [&](const std::vector<std::string>& tools, const std::string& out, Score& score) {
        double target = evcScore.kbits;
        for (int attempt = 0; attempt < 3; ++attempt) {
          const std::string aim = std::to_string(std::lround(target)) + "k";
          std::vector<std::string> args = {"ffmpeg", "-v",    "error", "-y",     "-i",  source, "-an",
                                           "-c:v",   "mpeg4", "-b:v",  aim,      "-bt", aim,    "-qmin",
                                           "1",      "-lmin", "118",   "-mblmin", "118", "-vf",  "fps=" + written + ",scale=" + scale};
          args.insert(args.end(), tools.begin(), tools.end());
          args.push_back(out);
          if (Start(args).wall < 0) return false;
          score = Measure(out, source, written, size, dir);
          if (score.kbits <= 0 || std::abs(score.kbits - evcScore.kbits) <= 0.03 * evcScore.kbits) break;
          target *= evcScore.kbits / score.kbits;
        }
        return true;
      };
      Score plainScore, bestScore;
      if (!ffmpegScore({}, plainOut, plainScore) ||
          !ffmpegScore({"-mbd", "rd", "-trellis", "1", "-flags", "+mv4+aic"}, bestOut, bestScore)) {
        std::fprintf(stderr, "quality: ffmpeg failed\n");
        return false;
      }
      const std::string preset =
          std::string(tarquel::QualityNames.EntryText(quality)).substr(0, 7) + " " + size + " " + kbits + "k";
      std::printf("%-6s %-16s", src.name, preset.c_str());
      for (const Score& score : {evcScore, plainScore, bestScore}) {
        // Quality compares only at the same bitrate: a side more than 3 %
        // off evc.exe's is marked and is no comparison.
        const bool matched = evcScore.kbits > 0 && std::abs(score.kbits - evcScore.kbits) <= 0.03 * evcScore.kbits;
        std::printf(" %6.2f / %6.4f / %6.0f%s  ", score.psnr, score.ssim, score.kbits, matched ? " " : "*");
      }
      std::printf("\n");
    }
  }
  return true;
}

// The index a frame of the late-cut source carries in its top band: bit k
// of the index is white or black block k, eight to a row, two rows.
int FirstIndex(const std::string& file, const Dir& dir) {
  const fs::path gray = dir / "first.gray";
  if (Start({"ffmpeg", "-v", "error", "-y", "-i", file, "-frames:v", "1", "-vf", "scale=320:240", "-f", "rawvideo",
             "-pix_fmt", "gray", gray.string()})
          .wall < 0) {
    return -1;
  }
  std::ifstream in(gray, std::ios::binary);
  const std::string pixels((std::istreambuf_iterator<char>(in)), {});
  if (pixels.size() < 320 * 240) return -1;
  int index = 0;
  for (int bit = 0; bit < 16; ++bit) {
    const int x = 40 * (bit % 8) + 20, y = 15 * (bit / 8) + 7;
    if (static_cast<unsigned char>(pixels[static_cast<std::size_t>(y * 320 + x)]) > 125) index |= 1 << bit;
  }
  return index;
}

bool LateCut(const std::string& evc, const Dir& dir) {
  const std::string source = (dir / "long720.mp4").string();
  // testsrc2 with the frame index burnt into the top band.
  if (!Make(source, {"-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=30", "-f", "lavfi", "-i",
                     "color=c=black:s=8x2:r=30,format=yuv444p,"
                     "geq=lum='16+219*mod(floor(N/pow(2\\,X+8*Y))\\,2)':cb=128:cr=128,scale=1280:120:flags=neighbor",
                     "-f", "lavfi", "-i", "sine=sample_rate=48000", "-filter_complex", "[0:v][1:v]overlay[v]", "-map",
                     "[v]", "-map", "2:a", "-t", "180", "-c:v", "libx264", "-preset", "veryfast", "-c:a", "aac"})) {
    return false;
  }
  const std::string evcOut = (dir / "cut-evc.mp4").string(), ffmpegOut = (dir / "cut-ffmpeg.mp4").string();
  // A 16:9 frame for the 16:9 source: the whole frame is picture on both
  // sides (no bars), and the band with the index stays at the top.
  const std::vector<std::string> evcArgs = {evc, "-y", "-i", source, "-vcodec", "mpeg4", "-acodec", "aac", "-b",
                                            "768", "-s", "320x240", "-r", "15", "-aspect", "16:9", "-ab", "128",
                                            "-ac", "2", "-ar", "44100", "-ss", "00:02:50", "-t", "10", evcOut};
  const std::vector<std::string> ffmpegArgs = {
      "ffmpeg", "-v", "error", "-y", "-ss", "170", "-t", "10", "-i", source, "-c:v", "mpeg4", "-b:v", "768k",
      "-bt", "768k", "-s", "320x240", "-r", "15", "-aspect", "16:9", "-c:a", "aac", "-b:a", "128k", "-ac", "2",
      "-ar", "44100", "-f", "psp", ffmpegOut};
  Pairs pairs;
  if (!RunPairs(evcArgs, ffmpegArgs, 5, pairs)) {
    std::fprintf(stderr, "late cut: a run failed\n");
    return false;
  }
  std::printf("\nLate cut: 10 s at 2:50 of 3 min 720p, 5 pairs (goal: wall ratio at most 1.5; first frame 5100 at 15/1,\n"
              "5101 at 15000/1001, whose first slot holds both)\n");
  PrintPairsHeader();
  PrintPairs(".mp4 Normal Quality", pairs);
  std::printf("first source frame: evc %d, ffmpeg %d\n", FirstIndex(evcOut, dir), FirstIndex(ffmpegOut, dir));
  return true;
}

bool Bitrate(const std::string& evc, const Dir& dir) {
  std::printf("\nBitrate over a minute at 320x240 15 fps (goal: within 5%% of the asked where the picture can use\n"
              "the bits; a still scene is whole at the finest quantiser with fewer)\n");
  std::printf("%-8s %8s %10s %8s\n", "source", "asked", "evc kbit/s", "off");
  const struct {
    const char* name;
    const char* lavfi;
  } sources[] = {{"static", "testsrc2=size=640x480:rate=30,trim=end_frame=1,loop=loop=-1:size=1,noise=alls=6:allf=t"},
                 {"hard", "mandelbrot=size=640x480:rate=30"}};  // a still scene with camera noise, and motion
  for (const auto& src : sources) {
    const std::string source = (dir / (std::string("minute-") + src.name + ".mp4")).string();
    if (!Make(source, {"-f", "lavfi", "-i", src.lavfi, "-f", "lavfi", "-i", "sine=sample_rate=48000", "-t", "60",
                       "-c:v", "libx264", "-preset", "veryfast", "-c:a", "aac"})) {
      return false;
    }
    const std::string out = (dir / "minute-evc.mp4").string();
    if (Start({evc, "-y", "-i", source, "-vcodec", "mpeg4", "-acodec", "aac", "-b", "768", "-s", "320x240", "-r",
               "15", "-aspect", "4:3", "-ab", "128", "-ac", "2", "-ar", "44100", out})
            .wall < 0) {
      return false;
    }
    const Run p = Start({"ffprobe", "-v", "error", "-select_streams", "v", "-show_entries", "stream=bit_rate", "-of",
                         "csv=p=0", out},
                        dir / "probe.txt");
    const double kbits = Number(p.output, R"(([0-9]+))") / 1000;
    std::printf("%-8s %8d %10.0f %7.1f%%\n", src.name, 768, kbits, 100 * (kbits - 768) / 768);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // With arguments, only the named parts: speed, quality, cut, bitrate.
  const std::vector<std::string> parts(argv + 1, argv + argc);
  const auto wanted = [&](const char* part) {
    return parts.empty() || std::find(parts.begin(), parts.end(), part) != parts.end();
  };
  // The build's own encoder, or another build's to compare with.
  const char* other = std::getenv("TARQUEL_BENCH_EVC");
  const std::string evc = other ? other : tarquel::platform::ExecutableFolder() + "../Tarquel/evc.exe";
  // Each line as soon as it is known, also into a pipe.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  // A scratch folder of this run's own: sources of a stopped or concurrent
  // run are never taken for finished ones.
  std::string scratch = (fs::temp_directory_path() / "tarquel-encoder-bench-XXXXXX").string();
  if (!::mkdtemp(scratch.data())) {
    std::perror("cannot make a scratch folder");
    return 1;
  }
  const Dir dir{scratch};
  double load[3] = {};
  getloadavg(load, 3);
  std::printf("%s\n", evc.c_str());
  std::printf("evc.exe against ffmpeg on %ld cores, load average %.2f %.2f %.2f\n", sysconf(_SC_NPROCESSORS_ONLN),
              load[0], load[1], load[2]);
  bool ok = true;
  const auto began = std::chrono::steady_clock::now();
  if (ok && wanted("speed")) ok = Speed(evc, dir);
  if (ok && wanted("start")) ok = Startup(evc, dir);
  if (ok && wanted("quality")) ok = Quality(evc, dir);
  if (ok && wanted("cut")) ok = LateCut(evc, dir);
  if (ok && wanted("bitrate")) ok = Bitrate(evc, dir);
  getloadavg(load, 3);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - began;
  std::printf("\nload average at the end %.2f %.2f %.2f; the run took %.0f s\n", load[0], load[1], load[2],
              took.count());
  fs::remove_all(dir.path);
  return ok ? 0 : 1;
}
