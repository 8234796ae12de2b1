#include "ProbeGraph.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>

#include "Errors.h"
#include "SourceFiles.h"
#include "TempDir.h"
#include "TextFormats.h"

namespace tarquel {
namespace {

namespace fs = std::filesystem;

// Real media, made once for the whole program with the ffmpeg tool.
class Media : public ::testing::Environment {
 public:
  static std::string Path(const std::string& name) { return Dir_->File(name); }

  void SetUp() override {
    av_log_set_level(AV_LOG_QUIET);
    Dir_ = std::make_unique<test::TempDir>();
    const std::string video = "-f lavfi -i testsrc=size=176x144:rate=25";
    const std::string audio = "-f lavfi -i sine=frequency=440:sample_rate=44100";
    Make("clip15.mp4", video + " " + audio + " -t 1.5 -c:v mpeg4 -c:a aac");
    Make("clip09.mp4", video + " " + audio + " -t 0.9 -c:v mpeg4 -c:a aac");
    Make("noaudio.avi", video + " -t 1.5 -c:v mpeg4");
    Make("UPPER.MPG", video + " " + audio + " -t 1.5 -c:v mpeg1video -c:a mp2");
    Make("clip.vob", video + " " + audio + " -t 1.5 -c:v mpeg2video -c:a mp2 -f vob");
    Make("clip.3g2", video + " " + audio + " -t 1.5 -c:v mpeg4 -c:a aac -ac 1");
    // A video stream whose codec no decoder knows: the AVI's fourcc renamed.
    Make("partial.avi", video + " " + audio + " -t 1.5 -c:v mpeg4 -c:a libmp3lame");
    std::string avi = test::ReadFile(Path("partial.avi"));
    for (auto pos = avi.find("FMP4"); pos != std::string::npos; pos = avi.find("FMP4", pos)) {
      avi.replace(pos, 4, "QQQQ");
    }
    test::WriteFile(Path("partial.avi"), avi);

    // Variable-rate MP3 without the header that counts its frames: its
    // length can only be guessed from its size.
    Make("guessed.mp3", "-f lavfi -i anoisesrc=d=3 -c:a libmp3lame -q:a 0 -write_xing 0");

    // A colon in a name must not be taken for a protocol.
    fs::copy_file(Path("noaudio.avi"), Path("with:colon.avi"));

    std::mt19937 random(20240601);
    std::string noise(64 * 1024, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    test::WriteFile(Path("random.avi"), noise);

    // Named like media but no regular files: opening must not wait.
    if (::mkfifo(Path("pipe.mp4").c_str(), 0600) != 0) throw std::runtime_error("cannot make pipe.mp4");
    fs::create_directory(Path("folder.avi"));
  }
  void TearDown() override { Dir_.reset(); }

 private:
  static void Make(const std::string& name, const std::string& args) {
    const std::string command = "ffmpeg -nostdin -v error -y " + args + " '" + Path(name) + "'";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("cannot make " + name);
  }
  static inline std::unique_ptr<test::TempDir> Dir_;
};

const auto* const kMedia = ::testing::AddGlobalTestEnvironment(new Media);

constexpr int kFails = -1;

TEST(ProbeGraph, RendersAndMeasuresRealFiles) {
  const struct {
    const char* name;
    int render;  // kRenderedAll, a positive code, or kFails
    std::int32_t minMs, maxMs, seconds;
  } cases[] = {
      {"clip15.mp4", kRenderedAll, 1450, 1600, 1},
      {"clip09.mp4", kRenderedAll, 850, 999, 0},
      {"noaudio.avi", kRenderedAll, 1450, 1600, 1},
      {"with:colon.avi", kRenderedAll, 1450, 1600, 1},
      {"UPPER.MPG", kRenderedAll, 1450, 1600, 1},
      {"clip.vob", kRenderedAll, 1450, 1600, 1},
      {"clip.3g2", kRenderedAll, 1450, 1600, 1},
      {"partial.avi", 1, 1450, 1600, 1},
      {"random.avi", kFails, 0, 0, 0},
      {"missing.avi", kFails, 0, 0, 0},
      {"pipe.mp4", kFails, 0, 0, 0},
      {"folder.avi", kFails, 0, 0, 0},
  };
  for (const auto& c : cases) {
    const std::string path = Media::Path(c.name);
    media::TProbeGraph graph;
    EXPECT_THROW(graph.RenderFile(path), MediaGraphError) << "inactive " << c.name;
    graph.SetActive(true);
    if (c.render == kFails) {
      EXPECT_THROW(graph.RenderFile(path), MediaGraphError) << c.name;
    } else {
      EXPECT_EQ(graph.RenderFile(path), c.render) << c.name;
      const std::int32_t ms = graph.Duration();
      EXPECT_GE(ms, c.minMs) << c.name;
      EXPECT_LE(ms, c.maxMs) << c.name;
    }
    graph.SetActive(false);
    EXPECT_EQ(ProbeDuration(graph, path), c.seconds) << c.name;
    EXPECT_FALSE(graph.Active()) << c.name;
  }
}

TEST(ProbeGraph, TellsAGuessedDurationFromAKnownOne) {
  for (const auto& [name, guessed] : {std::pair{"guessed.mp3", true}, std::pair{"clip15.mp4", false}}) {
    media::TProbeGraph graph;
    graph.SetActive(true);
    graph.RenderFile(Media::Path(name));
    EXPECT_EQ(graph.DurationIsEstimate(), guessed) << name;
  }
}

TEST(AddSourceFiles, RealFilesInOrder) {
  test::TempDir dir;
  // Same name in another letter case, and a path longer than 255 characters.
  const std::string upper = dir.File("CLIP15.mp4");
  fs::copy_file(Media::Path("clip15.mp4"), upper);
  fs::path deep = dir.Path();
  for (int i = 0; i < 3; ++i) deep /= std::string(100, static_cast<char>('k' + i));
  fs::create_directories(deep);
  const std::string longPath = (deep / "long.avi").string();
  ASSERT_GT(longPath.size(), 300u);
  fs::copy_file(Media::Path("noaudio.avi"), longPath);
  const std::string mkv = dir.File("clip.mkv");
  fs::copy_file(Media::Path("clip15.mp4"), mkv);
  const std::string text = dir.File("clip.txt");  // a media file by content, not by name
  fs::copy_file(Media::Path("clip15.mp4"), text);

  const std::vector<std::string> paths = {
      Media::Path("clip15.mp4"), Media::Path("clip09.mp4"), Media::Path("noaudio.avi"),
      Media::Path("random.avi"), Media::Path("UPPER.MPG"),  Media::Path("clip.vob"),
      Media::Path("clip.3g2"),   mkv,                       Media::Path("clip15.mp4"),
      upper,                     text,                      longPath,
      Media::Path("partial.avi"),
  };
  TSourceList list;
  int refreshes = 0;
  std::vector<std::string> unreadable, reports;
  AddSourceFiles(list, paths,
                 {media::MakeProbeGraph, [&](const std::string& path) { unreadable.push_back(path); },
                  [&](const std::string& report) { reports.push_back(report); }, [&] { ++refreshes; }});

  const std::vector<std::string> expected = {
      Media::Path("clip15.mp4"), Media::Path("noaudio.avi"), Media::Path("UPPER.MPG"),
      Media::Path("clip.vob"),   Media::Path("clip.3g2"),    mkv,
      upper,                     longPath,                  Media::Path("partial.avi"),
  };
  ASSERT_EQ(list.Count(), static_cast<int>(expected.size()));
  for (int i = 0; i < list.Count(); ++i) {
    const std::string size = FormatFileSize(static_cast<std::int64_t>(fs::file_size(expected[i])));
    EXPECT_EQ(list.Texts(i), (TSourceCells{"True", expected[i], size, "00:00:01", "00:00:00", "00:00:01",
                                         "00:00:01"}));
  }
  EXPECT_EQ(unreadable, (std::vector<std::string>{Media::Path("clip09.mp4"), Media::Path("random.avi")}));
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0], "This file was not added to the list:\n\n" + text +
                            "\n    Files of the type \".txt\" are not media files that Tarquel reads.\n");
  EXPECT_EQ(refreshes, 1);
  EXPECT_EQ(list.SelectedRows(), std::vector<int>{0});
}

}  // namespace
}  // namespace tarquel
