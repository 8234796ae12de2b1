// A corpus of damaged media, generated from one good clip whose index comes
// first, so that cut-off copies are still read in part (cut short, bits
// flipped, empty, random bytes), plus a folder and a FIFO with media names,
// run through the probe and through evc.exe with time limits: nothing
// crashes or hangs, every refusal says why in one line, a zero exit always
// leaves a readable output, and no source is changed. The same corpus, and a
// file known to crash Qt Multimedia's FFmpeg backend, is then played through
// the real preview child: the window's process lives through every one, and
// a good clip played after a child was lost shows pictures.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>

extern "C" {
#include <libavformat/avformat.h>
}

#include <filesystem>
#include <random>

#include "Errors.h"
#include "FfmpegHandles.h"
#include "PreviewRig.h"
#include "ProbeGraph.h"
#include "RunProgram.h"
#include "TempDir.h"

namespace tarquel {
namespace {

namespace fs = std::filesystem;
const std::string kEvc = TARQUEL_PROGRAM_DIR "/evc.exe";

struct Damaged {
  std::string name;
  std::string content;  // unused for the folder and the FIFO
};

std::vector<Damaged> MakeCorpus(const std::string& good) {
  std::mt19937 random(20261209);
  std::vector<Damaged> corpus;
  for (const int percent : {1, 10, 50, 90, 99}) {
    corpus.push_back({"cut" + std::to_string(percent) + ".mp4", good.substr(0, good.size() * percent / 100)});
  }
  for (const int flips : {1, 16, 256}) {
    std::string flipped = good;
    for (int i = 0; i < flips; ++i) flipped[random() % flipped.size()] ^= static_cast<char>(1u << (random() % 8));
    corpus.push_back({"flipped" + std::to_string(flips) + ".mp4", flipped});
  }
  // The same damage far from the header: the data itself is broken.
  std::string tail = good;
  for (std::size_t i = tail.size() / 2; i < tail.size(); i += 97) tail[i] = static_cast<char>(random());
  corpus.push_back({"brokendata.mp4", tail});
  corpus.push_back({"empty.mp4", ""});
  std::string noise(64 * 1024, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  corpus.push_back({"random.avi", noise});
  corpus.push_back({"random.mp3", noise.substr(0, 4096)});
  return corpus;
}

TEST(CorruptMedia, NeitherProbeNorEncoderCrashHangOrLoseAnything) {
  av_log_set_level(AV_LOG_QUIET);
  test::TempDir sources, outputs;
  const auto made = test::RunProgram({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                                      "testsrc=size=176x144:rate=25", "-f", "lavfi", "-i",
                                      "sine=frequency=440:sample_rate=44100", "-t", "2", "-c:v", "mpeg4", "-c:a",
                                      "aac", "-movflags", "+faststart", sources.File("good.mp4")});
  ASSERT_EQ(made.exitCode, 0) << made.output;
  const auto corpus = MakeCorpus(test::ReadFile(sources.File("good.mp4")));
  for (const auto& d : corpus) test::WriteFile(sources.File(d.name), d.content);
  fs::create_directory(sources.File("folder.mp4"));
  ASSERT_EQ(::mkfifo(sources.File("pipe.mp4").c_str(), 0600), 0);

  std::vector<std::string> names = {"folder.mp4", "pipe.mp4"};
  for (const auto& d : corpus) names.push_back(d.name);
  for (const auto& name : names) {
    SCOPED_TRACE(name);
    const std::string source = sources.File(name);

    media::TProbeGraph graph;
    graph.SetActive(true);
    try {
      graph.RenderFile(source);
      graph.Duration();
    } catch (const MediaGraphError&) {
      // A clear refusal: the program shows the codec error for it.
    }

    const std::string output = outputs.File(fs::path(name).stem().string() + ".out.mp4");
    const auto run = test::RunProgram({"timeout", "60", kEvc, "-y", "-i", source, "-vcodec", "mpeg4", "-acodec",
                                       "aac", output});
    ASSERT_TRUE(run.exitCode == 0 || run.exitCode == 1) << "crashed or hung: " << run.exitCode << " " << run.output;
    if (run.exitCode == 0) {
      // Converted what could be read: the output must be a readable file.
      AVFormatContext* raw = nullptr;
      ASSERT_GE(avformat_open_input(&raw, output.c_str(), nullptr, nullptr), 0) << "unreadable output";
      media::InputContextPtr input(raw);
      EXPECT_GE(avformat_find_stream_info(raw, nullptr), 0);
      EXPECT_GT(raw->nb_streams, 0u);
    } else {
      const std::string last = run.output.substr(run.output.rfind('\r') + 1);
      EXPECT_EQ(last.rfind("evc.exe: ", 0), 0u) << run.output;
      EXPECT_EQ(std::count(last.begin(), last.end(), '\n'), 1) << run.output;
      EXPECT_FALSE(fs::exists(output)) << "a failed run left its output";
    }
  }
  for (const auto& d : corpus) EXPECT_EQ(test::ReadFile(sources.File(d.name)), d.content) << d.name;
  EXPECT_TRUE(fs::is_directory(sources.File("folder.mp4")));
  EXPECT_TRUE(fs::is_fifo(sources.File("pipe.mp4")));
}

// A file that crashes Qt Multimedia 6.4's video render thread (SIGFPE),
// played when it is there.
const std::string kCrashFixture = TARQUEL_CRASH_FIXTURE;

TEST(CorruptMedia, ThePreviewChildFailsAloneAndTheNextGoodClipPlays) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "corrupt_media_tests";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  test::TempDir sources;
  const auto made = test::RunProgram({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                                      "testsrc=size=176x144:rate=25", "-f", "lavfi", "-i",
                                      "sine=frequency=440:sample_rate=44100", "-t", "2", "-c:v", "mpeg4", "-c:a",
                                      "aac", "-movflags", "+faststart", sources.File("good.mp4")});
  ASSERT_EQ(made.exitCode, 0) << made.output;
  std::vector<std::string> paths;
  for (const auto& d : MakeCorpus(test::ReadFile(sources.File("good.mp4")))) {
    test::WriteFile(sources.File(d.name), d.content);
    paths.push_back(sources.File(d.name));
  }
  ASSERT_EQ(::mkfifo(sources.File("pipe.mp4").c_str(), 0600), 0);
  fs::create_directory(sources.File("folder.mp4"));
  paths.push_back(sources.File("pipe.mp4"));
  paths.push_back(sources.File("folder.mp4"));
  if (fs::exists(kCrashFixture)) {
    fs::copy_file(kCrashFixture, sources.File("crash.wmv"));
    paths.push_back(sources.File("crash.wmv"));
  }

  test::PreviewRig r(false);
  // Plays `path` for up to `ms` or until it ends or fails; then stops.
  const auto play = [&r](const std::string& path, int ms) {
    r.log.clear();
    r.FrameCount = 0;
    r.SelectFile(path, 2);
    r.player->btnPlayClick();
    test::PreviewRig::WaitFor([&] { return r.loaded.empty(); }, ms);
    r.player->btnStopClick();
  };
  int lost = 0;
  for (const auto& path : paths) {
    SCOPED_TRACE(path);
    play(path, 1500);
    // At most one line, and only the player's.
    ASSERT_LE(r.log.size(), 1u);
    if (!r.log.empty()) {
      EXPECT_EQ(r.log[0].rfind("Playing Video error", 0), 0u) << r.log[0];
    }
    EXPECT_TRUE(!r.video->panLogo->isHidden());
    if (!r.log.empty() && r.log[0] != "Playing Video error.") {
      ++lost;
      std::printf("%s: %s\n", fs::path(path).filename().c_str(), r.log[0].c_str());
      // The child was lost while playing: a fresh one plays the good clip.
      play(sources.File("good.mp4"), 600);
      EXPECT_TRUE(r.log.empty()) << r.log[0];
      EXPECT_GT(r.FrameCount, 0) << "no pictures after the child was lost";
    }
  }
  play(sources.File("good.mp4"), 600);
  EXPECT_GT(r.FrameCount, 0);
  std::printf("preview children lost: %d of %zu files\n", lost, paths.size());
}

}  // namespace
}  // namespace tarquel
