// evc.exe against Debian's ffmpeg, side by side in one run:
//  - speed: the same conversion (same encoders, size, rate, bitrates and cut)
//    on a generated 60-second 640x480 H.264 + AAC source, the ".mp4" Normal
//    Quality preset, a custom profile at the source's full rate and ".mp3",
//    and the preset on 20 seconds of 1080p, against the ffmpeg CLI with its
//    default settings: median wall time, CPU use (user+sys over wall) and
//    peak memory;
//  - quality at equal bitrate: PSNR-Y and SSIM against the source scaled
//    alike, on a hard source (a zoom into fine detail) and an easy one, at the
//    Low, Normal and Superb presets, against ffmpeg's mpeg4 with its defaults
//    and with its best Simple Profile settings;
//  - a late cut: 10 seconds at 2:50 of a 3-minute 720p source against
//    `ffmpeg -ss` doing the same job, and which source frame comes first;
//  - bitrate: the asked video bitrate against the one met over a minute.
// Pairs alternate which program goes first; figures are medians.
// `bench_encoder_vs_ffmpeg [speed] [quality] [cut] [bitrate]` runs only the
// parts named; with none, all of them.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
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

// Runs a program; with `capture`, its output (both streams) is kept.
Run Start(std::vector<std::string> argv, const fs::path& capture = {}) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string sink = capture.empty() ? "/dev/null" : capture.string();
  posix_spawn_file_actions_addopen(&actions, 1, sink.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  std::vector<char*> raw;
  for (auto& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);
  Run run;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int status = -1;
  rusage usage{};
  if (posix_spawnp(&pid, raw[0], &actions, nullptr, raw.data(), environ) == 0) wait4(pid, &status, 0, &usage);
  posix_spawn_file_actions_destroy(&actions);
  const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) run.wall = spent.count();
  run.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  run.peakKb = usage.ru_maxrss;
  if (!capture.empty()) {
    std::ifstream in(capture, std::ios::binary);
    run.output.assign(std::istreambuf_iterator<char>(in), {});
  }
  return run;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
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

// Speed: the pairs of the original bench, with CPU use and peak memory.
bool Speed(const std::string& evc, const Dir& dir) {
  const std::string source = (dir / "source.mp4").string();
  if (!Make(source, {"-f", "lavfi", "-i", "testsrc2=size=640x480:rate=30,noise=alls=8:allf=t", "-f", "lavfi", "-i",
                     "anoisesrc=amplitude=0.2:sample_rate=48000", "-t", "60", "-c:v", "libx264", "-preset", "veryfast",
                     "-c:a", "aac", "-b:a", "160k", "-ac", "2"})) {
    return false;
  }
  const std::string hd = (dir / "hd.mp4").string();
  if (!Make(hd, {"-f", "lavfi", "-i", "testsrc2=size=1920x1080:rate=30", "-f", "lavfi", "-i",
                 "sine=sample_rate=48000", "-t", "20", "-c:v", "libx264", "-preset", "veryfast", "-c:a", "aac"})) {
    return false;
  }
  const std::string out = (dir / "out").string();
  struct Case {
    const char* name;
    std::vector<std::string> evcArgs, ffmpegArgs;
  };
  // The same video conversion by both programs.
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
      video(".mp4 Normal Quality", source, "320x240", "15", "768", "4:3"),
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
  constexpr int kPairs = 9;
  std::printf("\nSpeed: 60 s of 640x480 (20 s of 1080p) H.264 + AAC, %d pairs (goal: wall ratio at most 0.8)\n",
              kPairs);
  std::printf("%-22s %8s %8s %7s %8s %8s %9s %9s\n", "conversion", "evc s", "ffmpeg s", "ratio", "evc cpu",
              "ffm cpu", "evc MB", "ffmpeg MB");
  for (const auto& c : cases) {
    std::vector<double> evcTimes, ffmpegTimes, ratios, evcCpu, ffmpegCpu;
    long evcPeak = 0, ffmpegPeak = 0;
    for (int i = 0; i < kPairs; ++i) {
      // Alternate which goes first, so that neither always finds a warm cache.
      const bool evcFirst = i % 2 == 0;
      const Run a = Start(evcFirst ? c.evcArgs : c.ffmpegArgs);
      const Run b = Start(evcFirst ? c.ffmpegArgs : c.evcArgs);
      const Run& e = evcFirst ? a : b;
      const Run& f = evcFirst ? b : a;
      if (e.wall < 0 || f.wall < 0) {
        std::fprintf(stderr, "%s: a run failed\n", c.name);
        return false;
      }
      evcTimes.push_back(e.wall);
      ffmpegTimes.push_back(f.wall);
      ratios.push_back(e.wall / f.wall);
      evcCpu.push_back(e.cpu / e.wall);
      ffmpegCpu.push_back(f.cpu / f.wall);
      evcPeak = std::max(evcPeak, e.peakKb);
      ffmpegPeak = std::max(ffmpegPeak, f.peakKb);
    }
    std::printf("%-22s %8.2f %8.2f %7.3f %7.0f%% %7.0f%% %9.1f %9.1f\n", c.name, Median(evcTimes),
                Median(ffmpegTimes), Median(ratios), 100 * Median(evcCpu), 100 * Median(ffmpegCpu), evcPeak / 1024.0,
                ffmpegPeak / 1024.0);
  }
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
    const char* lavfi;
  } sources[] = {
      {"hard", "mandelbrot=size=640x480:rate=30"},
      {"easy", "testsrc2=size=640x480:rate=30"},
  };
  std::printf("\nQuality at equal bitrate: 20 s, PSNR-Y dB / SSIM-Y / video kbit/s (goal: evc at least ffmpeg best;\n"
              "compared only where the bitrates match within 3 %%: * marks a side that does not)\n");
  std::printf("%-6s %-16s %-26s %-26s %-26s\n", "source", "preset", "evc.exe", "ffmpeg defaults", "ffmpeg best SP");
  for (const auto& src : sources) {
    const std::string source = (dir / (std::string(src.name) + ".mp4")).string();
    if (!Make(source, {"-f", "lavfi", "-i", src.lavfi, "-f", "lavfi", "-i", "sine=sample_rate=48000", "-t", "20",
                       "-c:v", "libx264", "-preset", "veryfast", "-crf", "16", "-c:a", "aac", "-ac", "2"})) {
      return false;
    }
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
      bool made = Start({evc, "-y", "-i", source, "-vcodec", "mpeg4", "-acodec", "aac", "-b", kbits, "-s", size, "-r",
                         rate, "-aspect", "4:3", "-ab", "64", "-ac", "2", "-ar", "44100", evcOut})
                      .wall >= 0;
      // The handheld's file runs at the NTSC rate (15000/1001 for "15"):
      // ffmpeg makes the same, and the reference is brought to it alike.
      const std::string written = made ? FrameRate(evcOut, dir) : rate;
      // The finest quantiser allowed, as evc.exe allows it, so that an easy
      // source gets the bits asked for on both sides.
      const std::vector<std::string> ffmpeg = {"ffmpeg", "-v",   "error", "-y",    "-i",   source,
                                               "-an",    "-c:v", "mpeg4", "-b:v",  kbits + "k",
                                               "-bt",    kbits + "k", "-qmin", "1", "-lmin", "118",
                                               "-mblmin", "118", "-vf", "fps=" + written + ",scale=" + scale};
      std::vector<std::string> plain = ffmpeg, best = ffmpeg;
      plain.push_back(plainOut);
      best.insert(best.end(), {"-mbd", "rd", "-trellis", "1", "-flags", "+mv4+aic", bestOut});
      made = made && Start(plain).wall >= 0 && Start(best).wall >= 0;
      if (!made) {
        std::fprintf(stderr, "quality: a conversion failed\n");
        return false;
      }
      const std::string preset =
          std::string(tarquel::QualityNames.EntryText(quality)).substr(0, 7) + " " + size + " " + kbits + "k";
      std::printf("%-6s %-16s", src.name, preset.c_str());
      double evcKbits = 0;
      for (const auto& out : {evcOut, plainOut, bestOut}) {
        const Score score = Measure(out, source, written, size, dir);
        if (out == evcOut) evcKbits = score.kbits;
        // Quality compares only at the same bitrate: a side more than 3 %
        // off evc.exe's is marked and is no comparison.
        const bool matched = evcKbits > 0 && std::abs(score.kbits - evcKbits) <= 0.03 * evcKbits;
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
  std::vector<double> evcTimes, ffmpegTimes, ratios;
  long evcPeak = 0, ffmpegPeak = 0;
  for (int i = 0; i < 5; ++i) {
    const bool evcFirst = i % 2 == 0;
    const Run a = Start(evcFirst ? evcArgs : ffmpegArgs);
    const Run b = Start(evcFirst ? ffmpegArgs : evcArgs);
    const Run& e = evcFirst ? a : b;
    const Run& f = evcFirst ? b : a;
    if (e.wall < 0 || f.wall < 0) {
      std::fprintf(stderr, "late cut: a run failed\n");
      return false;
    }
    evcTimes.push_back(e.wall);
    ffmpegTimes.push_back(f.wall);
    ratios.push_back(e.wall / f.wall);
    evcPeak = std::max(evcPeak, e.peakKb);
    ffmpegPeak = std::max(ffmpegPeak, f.peakKb);
  }
  std::printf("\nLate cut: 10 s at 2:50 of 3 min 720p, 5 pairs (goal: ratio at most 1.5; first frame 5100 at 15/1, 5101 at 15000/1001, whose first slot holds both)\n");
  std::printf("%-22s %8s %8s %7s %12s %12s %9s %9s\n", "conversion", "evc s", "ffmpeg s", "ratio", "evc first",
              "ffm first", "evc MB", "ffmpeg MB");
  std::printf("%-22s %8.2f %8.2f %7.3f %12d %12d %9.1f %9.1f\n", ".mp4 Normal Quality", Median(evcTimes),
              Median(ffmpegTimes), Median(ratios), FirstIndex(evcOut, dir), FirstIndex(ffmpegOut, dir),
              evcPeak / 1024.0, ffmpegPeak / 1024.0);
  return true;
}

bool Bitrate(const std::string& evc, const Dir& dir) {
  std::printf("\nBitrate over a minute at 320x240 15 fps (goal: within 5%% of the asked)\n");
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
  const std::string evc = tarquel::platform::ExecutableFolder() + "../Tarquel/evc.exe";
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
  std::printf("evc.exe against ffmpeg on %ld cores, load average %.2f %.2f %.2f\n", sysconf(_SC_NPROCESSORS_ONLN),
              load[0], load[1], load[2]);
  bool ok = true;
  if (ok && wanted("speed")) ok = Speed(evc, dir);
  if (ok && wanted("quality")) ok = Quality(evc, dir);
  if (ok && wanted("cut")) ok = LateCut(evc, dir);
  if (ok && wanted("bitrate")) ok = Bitrate(evc, dir);
  getloadavg(load, 3);
  std::printf("\nload average at the end %.2f %.2f %.2f\n", load[0], load[1], load[2]);
  fs::remove_all(dir.path);
  return ok ? 0 : 1;
}
