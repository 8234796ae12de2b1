// evc.exe and revc.exe converting generated media for real.
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

#include <sys/stat.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <regex>
#include <string_view>

#include "Catalogues.h"
#include "FfmpegHandles.h"
#include "RunProgram.h"
#include "TextFormats.h"

namespace tarquel {
namespace {

using test::RunProgram;

const std::string kEvc = TARQUEL_PROGRAM_DIR "/evc.exe";
const std::string kRevc = TARQUEL_PROGRAM_DIR "/revc.exe";

struct StreamInfo {
  AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
  std::string codec, profile;
  int width = 0, height = 0, sampleRate = 0, channels = 0;
  double fps = 0, displayAspect = 0, seconds = 0, kbits = 0;
  AVRational rate{};
  int profileAndLevel = -1;  // MPEG-4 video: the byte after the header's 00 00 01 B0
  long long packets = 0;
};

struct FileInfo {
  std::string format, brand;
  std::vector<StreamInfo> streams;
  const StreamInfo* Find(AVMediaType type) const {
    for (const auto& s : streams) {
      if (s.type == type) return &s;
    }
    return nullptr;
  }
};

std::string Rational(AVRational r) { return std::to_string(r.num) + "/" + std::to_string(r.den); }

// ASCII text as UTF-16BE, the form the handheld's title takes in the file.
std::string Utf16(const std::string& text) {
  std::string wide;
  for (const char c : text) wide += {'\0', c};
  return wide;
}

// Reads every packet, so that length and bitrate come from the data itself.
FileInfo Probe(const std::string& path) {
  FileInfo info;
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return info;
  media::InputContextPtr input(raw);
  avformat_find_stream_info(raw, nullptr);
  info.format = raw->iformat->name;
  if (const AVDictionaryEntry* brand = av_dict_get(raw->metadata, "major_brand", nullptr, 0)) info.brand = brand->value;
  std::vector<int64_t> bytes(raw->nb_streams, 0), packets(raw->nb_streams, 0), first(raw->nb_streams, INT64_MAX), end(raw->nb_streams, INT64_MIN);
  media::PacketPtr packet = media::MakePacket();
  while (av_read_frame(raw, packet.get()) >= 0) {
    const int i = packet->stream_index;
    bytes[i] += packet->size;
    ++packets[i];
    if (packet->pts != AV_NOPTS_VALUE) {
      first[i] = std::min(first[i], packet->pts);
      end[i] = std::max(end[i], packet->pts + packet->duration);
    }
    av_packet_unref(packet.get());
  }
  for (unsigned i = 0; i < raw->nb_streams; ++i) {
    const AVStream* st = raw->streams[i];
    const AVCodecParameters* p = st->codecpar;
    StreamInfo s;
    s.type = p->codec_type;
    s.codec = avcodec_get_name(p->codec_id);
    if (const char* profile = avcodec_profile_name(p->codec_id, p->profile)) s.profile = profile;
    s.width = p->width;
    s.height = p->height;
    s.sampleRate = p->sample_rate;
    s.channels = p->ch_layout.nb_channels;
    s.rate = st->avg_frame_rate.num ? st->avg_frame_rate : st->r_frame_rate;
    s.fps = av_q2d(s.rate);
    const std::string_view header(reinterpret_cast<const char*>(p->extradata), p->extradata ? p->extradata_size : 0);
    if (const auto at = header.find(std::string_view("\0\0\1\xB0", 4)); at != header.npos && at + 4 < header.size()) {
      s.profileAndLevel = static_cast<unsigned char>(header[at + 4]);
    }
    const AVRational sar = st->sample_aspect_ratio.num ? st->sample_aspect_ratio : AVRational{1, 1};
    if (p->height) s.displayAspect = av_q2d(sar) * p->width / p->height;
    // Time from the start of the output: priming samples before it do not count.
    if (end[i] > first[i]) s.seconds = static_cast<double>(end[i] - std::max<int64_t>(first[i], 0)) * av_q2d(st->time_base);
    if (s.seconds > 0) s.kbits = bytes[i] * 8.0 / s.seconds / 1000.0;
    s.packets = packets[i];
    info.streams.push_back(s);
  }
  return info;
}

// The seconds each status line reports, read as the progress dialog reads
// them: piece 4 of the line split at "=" for video, piece 2 for audio.
std::vector<double> StatusSeconds(const std::string& output, bool video) {
  std::vector<double> seconds;
  for (const auto& line : SplitText(output, '\r')) {
    const auto pieces = SplitText(line, '=');
    const std::size_t piece = video ? 4 : 2;
    if (pieces.size() > piece) seconds.push_back(std::stod(pieces[piece]));
  }
  return seconds;
}

class Encoder : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::TempDir;  // lives for the suite; freed in TearDownTestSuite
    const auto make = [](std::vector<std::string> args) {
      args.insert(args.begin(), {"ffmpeg", "-v", "error", "-y"});
      const auto r = RunProgram(args);
      ASSERT_EQ(r.exitCode, 0) << r.output;
    };
    make({"-f", "lavfi", "-i", "mandelbrot=size=640x480:rate=30,noise=alls=10:allf=t", "-f", "lavfi", "-i",
          "anoisesrc=amplitude=0.3:sample_rate=48000", "-t", "6", "-c:v", "libx264", "-preset", "ultrafast", "-c:a",
          "aac", "-b:a", "192k", "-ac", "2", "-crf", "12", Src("noisy.mp4")});
    make({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100", "-t", "3", Src("tone.wav")});
    make({"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-t", "2", "-c:v", "libx264", "-preset",
          "ultrafast", Src("video only.mp4")});
    make({"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-f", "lavfi", "-i", "sine=sample_rate=44100", "-t",
          "3", "-c:v", "rv20", "-c:a", "ac3", Src("clip.rm")});
    make({"-i", Src("noisy.mp4"), "-c", "copy", "-movflags", "+faststart", Src("indexed.mp4")});
    std::string noisy = test::ReadFile(Src("noisy.mp4"));
    test::WriteFile(Src("truncated.mp4"), noisy.substr(0, noisy.size() / 2));
    // Its index says 6 seconds; its data stops at about 3.
    const std::string indexed = test::ReadFile(Src("indexed.mp4"));
    test::WriteFile(Src("cut short.mp4"), indexed.substr(0, indexed.size() / 2));
    test::WriteFile(Src("random.avi"), std::string(50000, '\x5a') + "random bytes");
    test::WriteFile(Src("letter.avi"), "Dear reader, this is no video.\n");
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static std::string Src(const std::string& name) { return dir_->File(name); }
  std::string Out(const std::string& name) const { return out_.File(name); }

  static test::TempDir* dir_;
  test::TempDir out_;
};
test::TempDir* Encoder::dir_ = nullptr;

TEST_F(Encoder, ConvertsEveryOutputTypeAtItsQualityPresets) {
  for (int type = 0; type < OutputTypeCount; ++type) {
    for (const int quality : {0, 2, 4}) {
      TConvertSettings s;
      ApplyPresetString(s, QualityPresets[type][quality]);
      const std::string size(VideoSizes.EntryText(s.VideoSize()));
      const std::string rate(FrameRates.EntryText(s.Framerate()));
      const std::string vkbits(VideoBitrates.EntryText(s.VideoBitrate()));
      const std::string akbits(AudioBitrates.EntryText(s.AudioBitrate()));
      const std::string channels(1, AudioChannelModes.EntryText(s.AudioChannels())[0]);
      const std::string hz(AudioSamples.EntryText(s.AudioSample()));
      const std::string ext(OutputExtensions[type]);
      const std::string output = Out("out " + std::to_string(quality) + ext);
      std::vector<std::string> args = {kEvc, "-y", "-i", Src("noisy.mp4")};
      for (const auto& part : SplitText(OutputTypeParams[type], ' ')) args.push_back(part);
      if (type == 0) args.insert(args.end(), {"-b", vkbits, "-s", size, "-r", rate, "-aspect", "4:3"});
      args.insert(args.end(), {"-ab", akbits, "-ac", channels, "-ar", hz, "-ss", "00:00:01", "-t", "4", output});
      const auto run = RunProgram(args);
      const std::string what = ext + " quality " + std::to_string(quality);
      ASSERT_EQ(run.exitCode, 0) << what << ": " << run.output;

      const FileInfo info = Probe(output);
      const StreamInfo* audio = info.Find(AVMEDIA_TYPE_AUDIO);
      ASSERT_TRUE(audio) << what;
      EXPECT_EQ(audio->codec, type == 3 ? "mp3" : "aac") << what;
      EXPECT_EQ(audio->sampleRate, std::stoi(hz)) << what;
      EXPECT_EQ(audio->channels, std::stoi(channels)) << what;
      // Within one audio frame. ADTS and MP3 streams have no way to mark the
      // encoder's priming frame, so there the first frame counts as well.
      const double frame = (type == 3 ? 1152.0 : 1024.0) / std::stoi(hz);
      EXPECT_NEAR(audio->seconds, 4.0, (type == 1 || type == 3 ? 2 : 1) * frame) << what << " " << audio->seconds;
      // At 22050 Hz the formats cap the rate, whatever is asked: MP3 (MPEG-2
      // Layer III) at 160 kbit/s, and FFmpeg's AAC encoder gives at most
      // about 100 kbit/s for one channel.
      double ceiling = 1e9;
      if (hz == "22050") ceiling = type == 3 ? 160 : channels == "1" ? 100 : ceiling;
      const double asked = std::min(ceiling, std::stod(akbits));
      EXPECT_NEAR(audio->kbits, asked, 0.15 * asked) << what;
      const StreamInfo* video = info.Find(AVMEDIA_TYPE_VIDEO);
      if (type == 0) {
        ASSERT_TRUE(video) << what;
        EXPECT_EQ(info.streams[0].type, AVMEDIA_TYPE_VIDEO) << "video first";
        EXPECT_EQ(info.brand, "MSNV") << "the console's own mp4 flavour";
        EXPECT_EQ(video->codec, "mpeg4");
        EXPECT_EQ(video->profile, "Simple Profile");
        EXPECT_EQ(std::to_string(video->width) + "x" + std::to_string(video->height), size);
        // The handheld's NTSC rates, exactly.
        if (std::abs(std::stod(rate) - 15) < 0.02) {
          EXPECT_EQ(Rational(video->rate), "15000/1001") << what;
        } else {
          EXPECT_NEAR(video->fps, std::stod(rate), 0.001) << what;
        }
        EXPECT_EQ(video->profileAndLevel, 0x03) << "Simple Profile level 3, " << what;
        EXPECT_NE(test::ReadFile(output).find(Utf16("noisy")), std::string::npos) << "the title, " << what;
        EXPECT_NEAR(video->displayAspect, 4.0 / 3.0, 0.01) << what;
        EXPECT_NEAR(video->seconds, 4.0, 1.0 / std::stod(rate) + 1e-6) << what;
        EXPECT_NEAR(video->kbits, std::stod(vkbits), 0.15 * std::stod(vkbits)) << what;
      } else {
        EXPECT_FALSE(video) << what;
      }
      // The status text: non-decreasing seconds that end near the length.
      const auto seconds = StatusSeconds(run.output, type == 0);
      ASSERT_FALSE(seconds.empty()) << run.output;
      EXPECT_TRUE(std::is_sorted(seconds.begin(), seconds.end())) << run.output;
      EXPECT_NEAR(seconds.back(), 4.0, 0.25) << run.output;
    }
  }
}

double MeanVolumeDb(const std::string& file) {
  const auto r = RunProgram({"ffmpeg", "-hide_banner", "-i", file, "-af", "volumedetect", "-f", "null", "-"});
  std::smatch m;
  if (!std::regex_search(r.output, m, std::regex(R"(mean_volume: (-?[0-9.]+|-inf) dB)"))) return NAN;
  return m[1] == "-inf" ? -200 : std::stod(m[1]);
}

TEST_F(Encoder, VolumeIsAPercentage) {
  double level[3];
  const int percents[3] = {100, 200, 0};
  for (int i = 0; i < 3; ++i) {
    const std::string out = Out("tone " + std::to_string(percents[i]) + ".m4a");
    const auto run = RunProgram({kEvc, "-y", "-i", Src("tone.wav"), "-acodec", "aac", "-vn", "-ab", "128", "-vol",
                                 std::to_string(percents[i]), "-ac", "1", "-ar", "44100", out});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    level[i] = MeanVolumeDb(out);
  }
  EXPECT_NEAR(level[1] - level[0], 6.0, 1.0);
  EXPECT_LT(level[2], -80.0);
}

// The checksum of each decoded picture of a file's video.
std::string FrameMd5s(const std::string& file) {
  const auto r = RunProgram({"ffmpeg", "-v", "error", "-i", file, "-an", "-f", "framemd5", "-"});
  return r.exitCode == 0 ? r.output : "unreadable: " + r.output;
}

TEST_F(Encoder, RevcReadsTheSourceItsScriptNames) {
  const std::string script = Out("VideoFile.avs");
  test::WriteFile(script, "DirectShowSource(\"" + Src("clip.rm") + "\", fps=29.9700898503294, convertfps=true)\r\n");
  const std::vector<std::string> args = {"-y", "-vcodec", "mpeg4", "-acodec", "aac", "-b", "512", "-s", "368x208",
                                         "-aspect", "16:9", "-ab", "64", "-ac", "1", "-ar", "32000", "-ss", "00:00:00",
                                         "-t", "2"};
  const auto convert = [&](const std::string& program, const std::string& input, std::vector<std::string> more,
                           const std::string& output) {
    std::vector<std::string> all = {program, "-i", input};
    all.insert(all.end(), args.begin(), args.end());
    all.insert(all.end(), more.begin(), more.end());
    all.push_back(output);
    return RunProgram(all);
  };
  const auto run = convert(kRevc, script, {"-r", "23.967"}, Out("clip.mp4"));
  ASSERT_EQ(run.exitCode, 0) << run.output;
  // One frame-rate step, from the source to the output's: the same pictures
  // as evc.exe gives from the file itself.
  ASSERT_EQ(convert(kEvc, Src("clip.rm"), {"-r", "23.967"}, Out("direct.mp4")).exitCode, 0);
  EXPECT_EQ(FrameMd5s(Out("clip.mp4")), FrameMd5s(Out("direct.mp4")));
  // Without -r the script's rate is the output's.
  ASSERT_EQ(convert(kRevc, script, {}, Out("script rate.mp4")).exitCode, 0);
  EXPECT_NEAR(Probe(Out("script rate.mp4")).streams[0].fps, 29.97, 0.001);
  const FileInfo info = Probe(Out("clip.mp4"));
  ASSERT_EQ(info.streams.size(), 2u);
  EXPECT_EQ(info.streams[0].width, 368);
  EXPECT_NEAR(info.streams[0].fps, 23.967, 0.001);
  EXPECT_NEAR(info.streams[0].displayAspect, 16.0 / 9.0, 0.01);
  EXPECT_NEAR(info.streams[0].seconds, 2.0, 1 / 23.967 + 1e-6);
  EXPECT_EQ(info.streams[1].sampleRate, 32000);
  // The movie's title is the name of the media file, not of the script.
  const std::string written = test::ReadFile(Out("clip.mp4"));
  EXPECT_NE(written.find(Utf16("clip")), std::string::npos);
  EXPECT_EQ(written.find(Utf16("VideoFile")), std::string::npos);

  // evc.exe cannot take the script itself, and revc.exe takes no other form.
  EXPECT_EQ(RunProgram({kEvc, "-y", "-i", script, Out("x.mp4")}).exitCode, 1);
  test::WriteFile(Out("other.avs"), "AviSource(\"" + Src("clip.rm") + "\")\r\n");
  const auto refused = RunProgram({kRevc, "-y", "-i", Out("other.avs"), Out("y.mp4")});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.output.find("revc.exe: "), std::string::npos) << refused.output;
}

TEST_F(Encoder, SourcesWithoutAStreamTheOutputWants) {
  // A source without audio gets a silent track of the asked kind, as long as
  // the video, so that the file keeps the handheld's form.
  ASSERT_EQ(RunProgram({kEvc, "-y", "-i", Src("video only.mp4"), "-vcodec", "mpeg4", "-acodec", "aac", "-s",
                        "160x112", "-ab", "48", "-ac", "1", "-ar", "32000", Out("v.mp4")}).exitCode, 0);
  const FileInfo info = Probe(Out("v.mp4"));
  ASSERT_EQ(info.streams.size(), 2u);
  EXPECT_EQ(info.streams[0].type, AVMEDIA_TYPE_VIDEO);
  EXPECT_EQ(info.brand, "MSNV");
  const StreamInfo& silent = info.streams[1];
  EXPECT_EQ(silent.codec, "aac");
  EXPECT_EQ(silent.channels, 1);
  EXPECT_EQ(silent.sampleRate, 32000);
  EXPECT_NEAR(silent.seconds, info.streams[0].seconds, 0.002);
  EXPECT_LT(MeanVolumeDb(Out("v.mp4")), -80.0);
  // Audio only from it leaves no stream at all.
  const auto none = RunProgram({kEvc, "-y", "-i", Src("video only.mp4"), "-acodec", "mp3", "-vn", Out("a.mp3")});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_FALSE(std::filesystem::exists(Out("a.mp3")));
}

TEST_F(Encoder, BadInputsFailWithOneClearLineAndLoseNothing) {
  std::vector<std::pair<std::string, std::string>> sources;
  for (const char* name : {"noisy.mp4", "truncated.mp4", "cut short.mp4", "random.avi", "letter.avi", "tone.wav"}) {
    sources.emplace_back(Src(name), test::ReadFile(Src(name)));
  }
  test::WriteFile(Out("taken.mp4"), "an earlier output");
  const struct {
    std::vector<std::string> args;
    const char* output;  // must not exist afterwards (unless it did before)
    const char* says;
  } cases[] = {
      {{"-y", "-i", Src("missing.avi")}, "o1.mp4", "cannot open"},
      {{"-y", "-i", Src("random.avi")}, "o2.mp4", "cannot open"},
      {{"-y", "-i", Src("truncated.mp4")}, "o3.mp4", "cannot"},
      {{"-y", "-i", Src("letter.avi")}, "o4.mp4", "cannot open"},
      {{"-y", "-i", Src("noisy.mp4"), "-quality", "9"}, "o5.mp4", "unknown option -quality"},
      {{"-y", "-i", Src("noisy.mp4"), "-ss", "00:00:01", "-t", "0"}, "o6.mp4", "the segment is empty"},
      {{"-y", "-i", Src("noisy.mp4"), "-ss", "00:01:00"}, "o7.mp4", "nothing to convert"},
      {{"-y", "-i", Src("noisy.mp4"), "-f", "nosuchformat"}, "o8.mp4", "unknown format"},
      {{"-y", "-i", Src("noisy.mp4"), "-vcodec", "mpeg4"}, "o9.mp3", "cannot hold"},
      {{"-i", Src("noisy.mp4")}, "taken.mp4", "already exists"},
      {{"-y", "-i", Src("noisy.mp4")}, "no such folder/o10.mp4", "cannot create"},
      {{"-y", "-i", Src("missing\nframe=1.avi")}, "o11.mp4", "cannot open"},
      {{"-y", "-i", Src("tone.wav"), "-vcodec", "mpeg4", "-acodec", "aac"}, "o12.mp4", "the source has no video"},
      {{"-y", "-i", Src("cut short.mp4"), "-t", "600"}, "o14.mp4", "the source ended at 00:00:0"},
      {{"-y", "-i", Src("cut short.mp4"), "-acodec", "aac", "-vn", "-ss", "00:00:01"}, "o13.m4a",
       "the source ended at 00:00:0"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {kEvc};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.push_back(Out(c.output));
    const auto run = RunProgram(args);
    EXPECT_EQ(run.exitCode, 1) << c.output << ": " << run.output;
    // Status lines may come first; the error is the one line at the end.
    const std::string last = run.output.substr(run.output.rfind('\r') + 1);
    EXPECT_EQ(last.rfind("evc.exe: ", 0), 0u) << run.output;
    EXPECT_NE(last.find(c.says), std::string::npos) << run.output;
    EXPECT_EQ(std::count(last.begin(), last.end(), '\n'), 1) << run.output;
    EXPECT_EQ(last.find('='), std::string::npos) << run.output;
    if (std::string(c.output) != "taken.mp4") {
      EXPECT_FALSE(std::filesystem::exists(Out(c.output))) << c.output;
    }
  }
  EXPECT_EQ(test::ReadFile(Out("taken.mp4")), "an earlier output");
  // The output may never be the input, not even with -y.
  const auto same = RunProgram({kEvc, "-y", "-i", Src("noisy.mp4"), Src("noisy.mp4")});
  EXPECT_EQ(same.exitCode, 1);
  EXPECT_NE(same.output.find("would replace the input"), std::string::npos);
  for (const auto& [path, content] : sources) EXPECT_EQ(test::ReadFile(path), content) << path;
}

TEST_F(Encoder, AFullDiskIsAFailureAndLeavesNoFile) {
  // A limit on the file's size stands in for a full disk: a write past it
  // fails (EFBIG; the signal it also sends is ignored). Half-way, and at the
  // very last byte, which only the end of the file writes.
  const struct {
    const char* output;
    std::vector<std::string> args;
  } outputs[] = {
      {"full.mp4", {"-vcodec", "mpeg4", "-acodec", "aac", "-s", "320x240", "-ab", "64", "-ac", "1", "-ar", "44100"}},
      {"full.mp3", {"-acodec", "mp3", "-vn", "-ab", "128", "-ac", "2", "-ar", "44100"}},
  };
  for (const auto& o : outputs) {
    std::vector<std::string> convert = {kEvc, "-y", "-i", Src("noisy.mp4"), "-t", "2"};
    convert.insert(convert.end(), o.args.begin(), o.args.end());
    convert.push_back(Out(o.output));
    ASSERT_EQ(RunProgram(convert).exitCode, 0) << o.output;
    const auto size = std::filesystem::file_size(Out(o.output));
    for (const auto limit : {size / 2, size - 1}) {
      std::vector<std::string> args = {"sh", "-c", "trap '' XFSZ; exec prlimit --fsize=\"$0\" \"$@\"",
                                       std::to_string(limit)};
      args.insert(args.end(), convert.begin(), convert.end());
      const auto run = RunProgram(args);
      EXPECT_EQ(run.exitCode, 1) << o.output << " limited to " << limit << ": " << run.output;
      EXPECT_NE(run.output.find("File too large"), std::string::npos) << run.output;
      EXPECT_FALSE(std::filesystem::exists(Out(o.output))) << o.output << " limited to " << limit;
    }
  }
}

TEST_F(Encoder, SpecialFilesAndLinksNeitherHoldNorRedirectTheEncoder) {
  namespace fs = std::filesystem;
  ASSERT_EQ(::mkfifo(Out("pipe.mp4").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo(Out("pipe.avs").c_str(), 0600), 0);
  test::WriteFile(Out("precious.txt"), "the user's file");
  fs::create_symlink(Out("precious.txt"), Out("link.mp4"));
  fs::create_symlink(Out("nowhere.mp4"), Out("dangling.mp4"));
  const struct {
    std::string program;
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {kEvc, {"-y", "-i", Out("pipe.mp4"), Out("o1.mp4")}, "is not a regular file"},
      {kEvc, {"-y", "-i", out_.Folder(), Out("o2.mp4")}, "is not a regular file"},
      {kRevc, {"-y", "-i", Out("pipe.avs"), Out("o3.mp4")}, "is not a regular file"},
      {kEvc, {"-y", "-i", Src("tone.wav"), "-vn", Out("pipe.mp4")}, "pipe.mp4"},
      {kEvc, {"-y", "-i", Src("tone.wav"), "-vn", Out("link.mp4")}, "is a symbolic link"},
      {kEvc, {"-y", "-i", Src("tone.wav"), "-vn", Out("dangling.mp4")}, "is a symbolic link"},
  };
  for (const auto& c : cases) {
    // Bounded: a run held by a FIFO would otherwise wait forever.
    std::vector<std::string> args = {"timeout", "30", c.program};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto run = RunProgram(args);
    EXPECT_EQ(run.exitCode, 1) << c.args.back() << ": " << run.output;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
  }
  EXPECT_FALSE(fs::exists(Out("o1.mp4")) || fs::exists(Out("o2.mp4")) || fs::exists(Out("o3.mp4")));
  EXPECT_EQ(test::ReadFile(Out("precious.txt")), "the user's file");
  EXPECT_TRUE(fs::is_symlink(Out("link.mp4")) && fs::is_symlink(Out("dangling.mp4")));
  EXPECT_FALSE(fs::exists(Out("nowhere.mp4")));
  EXPECT_TRUE(fs::is_fifo(Out("pipe.mp4")));
}

// Each source frame carries its index in sixteen black or white blocks
// (bit k of the index in block k, eight to a row), which survive any codec.
std::vector<int> FrameIndices(const std::string& file) {
  const std::string gray = file + ".gray";
  const auto r = RunProgram({"ffmpeg", "-v", "error", "-y", "-i", file, "-an", "-vsync", "passthrough", "-s", "320x240", "-f", "rawvideo",
                             "-pix_fmt", "gray", gray});
  std::vector<int> indices;
  if (r.exitCode != 0) return indices;
  const std::string pixels = test::ReadFile(gray);
  for (std::size_t frame = 0; (frame + 1) * 320 * 240 <= pixels.size(); ++frame) {
    int index = 0;
    for (int bit = 0; bit < 16; ++bit) {
      const std::size_t x = 40 * (bit % 8) + 20, y = 120 * (bit / 8) + 60;
      if (static_cast<unsigned char>(pixels[frame * 320 * 240 + y * 320 + x]) > 125) index |= 1 << bit;
    }
    indices.push_back(index);
  }
  return indices;
}

// The index of the first frame of a file at or after a time from its start,
// by the file's own timestamps (an AVI with B-frames, for one, starts its
// pictures a frame late).
int FirstFrameFrom(const std::string& file, double seconds) {
  const auto r = RunProgram({"ffprobe", "-v", "error", "-select_streams", "v", "-show_entries",
                             "format=start_time:frame=best_effort_timestamp_time", "-of", "compact", file});
  double start = 0;
  std::vector<double> times;
  // The value after `key` on a line that starts with it, when it is a number.
  const auto number = [](std::string_view line, std::string_view key) -> std::optional<double> {
    if (!line.starts_with(key)) return std::nullopt;
    const std::string text(line.substr(key.size()));
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str()) return std::nullopt;
    return value;
  };
  for (const auto& line : SplitText(r.output, '\n')) {
    if (const auto value = number(line, "format|start_time=")) start = *value;
    if (const auto value = number(line, "frame|best_effort_timestamp_time=")) times.push_back(*value);
  }
  return static_cast<int>(std::count_if(times.begin(), times.end(), [&](double t) { return t - start < seconds - 0.001; }));
}

TEST_F(Encoder, CutsAreExactToTheFrameInEveryContainer) {
  // 8 seconds, 25 frames a second, key frames every 2 seconds (1 for MPEG-2).
  const std::string counter =
      "color=c=black:s=8x2:r=25,format=yuv444p,geq=lum='16+219*mod(floor(N/pow(2\\,X+8*Y))\\,2)':cb=128:cr=128,"
      "scale=320:240:flags=neighbor,setsar=1,format=yuv420p";
  const struct {
    const char* name;
    std::vector<std::string> codecs;
  } containers[] = {
      {"c.mkv", {"-c:v", "libx264", "-preset", "ultrafast", "-g", "50", "-c:a", "flac"}},
      {"c.mp4", {"-c:v", "libx264", "-preset", "veryfast", "-bf", "3", "-g", "50", "-c:a", "aac"}},
      {"c.avi", {"-c:v", "mpeg4", "-q:v", "3", "-bf", "2", "-g", "50", "-c:a", "libmp3lame"}},
      {"c.mpg", {"-c:v", "mpeg2video", "-q:v", "3", "-bf", "2", "-g", "25", "-c:a", "mp2", "-f", "mpeg"}},
      {"c.ts", {"-c:v", "mpeg2video", "-q:v", "3", "-g", "25", "-c:a", "mp2", "-output_ts_offset", "30"}},
  };
  for (const auto& c : containers) {
    std::vector<std::string> args = {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", counter, "-f", "lavfi",
                                     "-i", "sine=frequency=300:sample_rate=44100", "-t", "8"};
    args.insert(args.end(), c.codecs.begin(), c.codecs.end());
    args.push_back(Out(c.name));
    const auto made = RunProgram(args);
    ASSERT_EQ(made.exitCode, 0) << c.name << made.output;
  }
  const std::string script = Out("c.avs");
  test::WriteFile(script, "DirectShowSource(\"" + Out("c.mkv") + "\", fps=25, convertfps=true)\r\n");

  const struct {
    const char* start;
    double seconds;
    const char* length;
    int frames;    // 0: to the last of the 200 frames
    int step = 1;  // source frames an output frame, at 25 / step frames a second
  } cuts[] = {
      {"00:00:03", 3, "2", 50},          // between key frames
      {"00:00:04", 4, "2", 50},          // on a key frame
      {"00:00:05.52", 5.52, "1", 25},    // a fraction of a second
      {"00:00:07", 7, "10", 0},          // past the end: the last frame is kept
      {"00:00:01", 1, "6", 150, 2},      // every other frame; the others need not be decoded
  };
  std::vector<std::pair<std::string, std::string>> sources;
  for (const auto& c : containers) sources.emplace_back(kEvc, Out(c.name));
  sources.emplace_back(kRevc, script);
  for (const auto& [program, source] : sources) {
    for (const auto& cut : cuts) {
      const int first = FirstFrameFrom(program == kRevc ? Out("c.mkv") : source, cut.seconds);
      const int frames = cut.frames ? cut.frames : 200 - first;
      const int outputFrames = frames / cut.step;
      const std::string what = source + " from " + cut.start;
      const std::string output = Out("cut.mp4");
      const char* rate = cut.step == 1 ? "25" : "12.5";
      const auto run = RunProgram({program, "-y", "-i", source, "-vcodec", "mpeg4", "-acodec", "aac", "-b", "1500",
                                   "-s", "320x240", "-r", rate, "-aspect", "4:3", "-ab", "64", "-ac", "1", "-ar",
                                   "44100", "-ss", cut.start, "-t", cut.length, output});
      ASSERT_EQ(run.exitCode, 0) << what << ": " << run.output;
      const auto indices = FrameIndices(output);
      std::vector<int> expected(static_cast<std::size_t>(outputFrames));
      for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = first + static_cast<int>(i) * cut.step;
      EXPECT_EQ(indices, expected) << what;
      const FileInfo info = Probe(output);
      const StreamInfo* audio = info.Find(AVMEDIA_TYPE_AUDIO);
      ASSERT_TRUE(audio) << what;
      EXPECT_NEAR(audio->seconds, frames / 25.0, 0.05) << what;
      // The last status line reports the whole output.
      const auto seconds = StatusSeconds(run.output, true);
      ASSERT_FALSE(seconds.empty()) << what;
      EXPECT_NEAR(seconds.back(), frames / 25.0, 0.001) << what << run.output;
    }
  }
}

// Decoded samples of an output, as floats of one channel.
std::vector<float> Samples(const std::string& file) {
  const std::string raw = file + ".f32";
  const auto r =
      RunProgram({"ffmpeg", "-v", "error", "-y", "-i", file, "-ac", "1", "-f", "f32le", "-c:a", "pcm_f32le", raw});
  std::vector<float> samples;
  if (r.exitCode != 0) return samples;
  const std::string bytes = test::ReadFile(raw);
  samples.resize(bytes.size() / sizeof(float));
  std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
  return samples;
}

TEST_F(Encoder, LoudVolumesAreLimitedBelowFullScale) {
  // A master whose peaks reach -3.9 dBFS.
  const std::string master = Out("master.wav");
  ASSERT_EQ(RunProgram({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                        "aevalsrc=0.638*sin(2*PI*220*t)*(0.6+0.4*sin(2*PI*3*t)):s=44100", "-t", "3", master})
                .exitCode,
            0);
  for (const char* type : {".m4a", ".mp3"}) {
    for (const int percent : {100, 200, 500}) {
      const std::string out = Out("loud" + std::to_string(percent) + type);
      const auto run = RunProgram({kEvc, "-y", "-i", master, "-acodec", type == std::string(".mp3") ? "mp3" : "aac",
                                   "-vn", "-ab", "192", "-vol", std::to_string(percent), "-ac", "1", "-ar", "44100",
                                   out});
      ASSERT_EQ(run.exitCode, 0) << run.output;
      const auto samples = Samples(out);
      ASSERT_GT(samples.size(), 44100u * 2);
      float peak = 0;
      int clipped = 0;
      for (const float v : samples) {
        peak = std::max(peak, std::abs(v));
        clipped += std::abs(v) >= 0.99f;
      }
      const double peakDb = 20 * std::log10(peak);
      const std::string what = type + std::string(" at ") + std::to_string(percent) + "%";
      EXPECT_EQ(clipped, 0) << what;
      if (percent == 100) {
        EXPECT_NEAR(peakDb, -3.9, 0.3) << what;  // untouched
      } else {
        // The ceiling, with a little room for the lossy codec's ripple.
        EXPECT_LT(peakDb, -0.6) << what;
        EXPECT_GT(peakDb, -1.6) << what;  // and loud up to it
      }
    }
  }
}

TEST_F(Encoder, VideoOutputGetsBothStreamsAndItsStatusForm) {
  // RealAudio 1.0 whose packets all say time zero: the audio follows on by
  // its sample count.
  ASSERT_EQ(RunProgram({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-f",
                        "lavfi", "-i", "sine=sample_rate=8000", "-t", "3", "-c:v", "rv20", "-c:a", "real_144",
                        "-ac", "1", Out("ra144.rm")})
                .exitCode,
            0);
  // Video for 3 seconds, audio for the first one only.
  ASSERT_EQ(RunProgram({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:d=3",
                        "-f", "lavfi", "-i", "sine=sample_rate=44100:d=1", "-c:v", "libx264", "-preset", "ultrafast",
                        "-c:a", "aac", Out("short audio.mkv")})
                .exitCode,
            0);
  const std::vector<std::string> psp = {"-vcodec", "mpeg4", "-acodec", "aac", "-b", "768", "-s", "320x240", "-r",
                                        "25", "-ab", "64", "-ac", "1", "-ar", "44100"};
  const auto convert = [&](const std::string& source, std::vector<std::string> more, const std::string& output) {
    std::vector<std::string> args = {kEvc, "-y", "-i", source};
    args.insert(args.end(), psp.begin(), psp.end());
    args.insert(args.end(), more.begin(), more.end());
    args.push_back(output);
    return RunProgram(args);
  };

  const auto real = convert(Out("ra144.rm"), {}, Out("real.mp4"));
  ASSERT_EQ(real.exitCode, 0) << real.output;
  const FileInfo info = Probe(Out("real.mp4"));
  ASSERT_TRUE(info.Find(AVMEDIA_TYPE_VIDEO));
  ASSERT_TRUE(info.Find(AVMEDIA_TYPE_AUDIO));
  EXPECT_NEAR(info.Find(AVMEDIA_TYPE_AUDIO)->seconds, 3.0, 0.05);

  // Past the end of the audio there is none to take: a failure, not a silent file.
  const auto missing = convert(Out("short audio.mkv"), {"-ss", "00:00:02"}, Out("silent.mp4"));
  EXPECT_EQ(missing.exitCode, 1) << missing.output;
  EXPECT_NE(missing.output.find("evc.exe: the source's audio could not be converted\n"), std::string::npos)
      << missing.output;
  EXPECT_FALSE(std::filesystem::exists(Out("silent.mp4")));
  // Its sound alone ends before the file does, yet the source has not ended early.
  const auto sound = RunProgram({kEvc, "-y", "-i", Out("short audio.mkv"), "-acodec", "aac", "-vn", Out("sound.m4a")});
  EXPECT_EQ(sound.exitCode, 0) << sound.output;

  // An audio-only source with a video codec asked for (the handheld's type
  // refuses it): the video form of the status line.
  const auto tone = convert(Src("tone.wav"), {}, Out("tone.mkv"));
  ASSERT_EQ(tone.exitCode, 0) << tone.output;
  EXPECT_NE(tone.output.find("frame=    0 q= 0.0 size="), std::string::npos) << tone.output;
  const auto seconds = StatusSeconds(tone.output, true);
  ASSERT_FALSE(seconds.empty()) << tone.output;
  EXPECT_NEAR(seconds.back(), 3.0, 0.05) << tone.output;
}

// The bright box in a decoded frame (one second in), by luma against black
// bars: {left, right, top, bottom}; with `whiteOnly`, the white part of it.
std::array<int, 4> BrightBox(const std::string& file, bool whiteOnly) {
  const std::string threshold = whiteOnly ? "lutyuv=y='if(gt(val,180),235,16)'," : "";
  const auto r = RunProgram({"ffmpeg", "-hide_banner", "-ss", "1", "-i", file, "-an", "-frames:v", "3", "-vf",
                             threshold + "cropdetect=limit=60:round=2:reset=1", "-f", "null", "-"});
  std::array<int, 4> box{};
  const std::regex found(R"(x1:(\d+) x2:(\d+) y1:(\d+) y2:(\d+))");
  for (auto m = std::sregex_iterator(r.output.begin(), r.output.end(), found); m != std::sregex_iterator(); ++m) {
    for (int i = 0; i < 4; ++i) box[i] = std::stoi((*m)[i + 1]);
  }
  return box;
}

TEST_F(Encoder, PicturesKeepTheirShapeWholeAndUpright) {
  // White on the coded left half, gray on the right: 16:9 in 4:3-wide
  // pixels, 4:3, and 16:9 tagged to be turned upright (FFmpeg's tools show
  // its coded left edge at the bottom).
  const std::pair<std::string, std::string> sources[] = {
      {"wide.mp4", "480x360,setsar=4/3"}, {"flat.mp4", "640x360"}, {"square.mp4", "640x480"}};
  for (const auto& [name, size] : sources) {
    const std::string picture = "color=gray:r=30:s=" + size + ",drawbox=w=iw/2:color=white:t=fill";
    ASSERT_EQ(RunProgram({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", picture, "-f", "lavfi", "-i", "sine",
                          "-t", "2", "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac", Out(name)})
                  .exitCode,
              0);
  }
  ASSERT_EQ(RunProgram({"ffmpeg", "-v", "error", "-i", Out("flat.mp4"), "-c", "copy", "-metadata:s:v", "rotate=90",
                        Out("tall.mp4")}).exitCode, 0);
  // The Normal preset's command line (320x240 at 15), other frames where a row says.
  const struct {
    const char *source, *size, *aspect, *rate;
    int width, height;  // the picture in the frame
    char whiteAt;
    int level;
  } rows[] = {
      {"wide.mp4", "320x240", "4:3", "15", 320, 180, 'L', 3},    // letterboxed
      {"wide.mp4", "368x208", "16:9", "15", 368, 208, 'L', 3},   // the same shape: no bars
      {"tall.mp4", "320x240", "4:3", "15", 135, 240, 'B', 3},    // upright, pillarboxed
      {"square.mp4", "368x208", "16:9", "15", 276, 208, 'L', 3},  // pillarboxed
      {"square.mp4", "640x480", "4:3", "30", 640, 480, 'L', 4},  // 1200 macroblocks at 29.97: level 4a
  };
  for (const auto& row : rows) {
    const std::string what = std::string(row.source) + " into " + row.size + " " + row.aspect;
    const auto run = RunProgram({kEvc, "-y", "-i", Out(row.source), "-vcodec", "mpeg4", "-acodec", "aac", "-b", "768",
                                 "-s", row.size, "-r", row.rate, "-aspect", row.aspect, "-ab", "128", "-ac", "2", "-ar",
                                 "44100", Out("shaped.mp4")});
    ASSERT_EQ(run.exitCode, 0) << what << ": " << run.output;
    const FileInfo info = Probe(Out("shaped.mp4"));
    const StreamInfo* video = info.Find(AVMEDIA_TYPE_VIDEO);
    ASSERT_TRUE(video) << what;
    EXPECT_EQ(Rational(video->rate), row.rate == std::string("15") ? "15000/1001" : "30000/1001") << what;
    EXPECT_EQ(video->profileAndLevel, row.level) << what;
    EXPECT_NEAR(video->displayAspect, row.aspect == std::string("4:3") ? 4.0 / 3 : 16.0 / 9, 0.005) << what;
    const auto [left, right, top, bottom] = BrightBox(Out("shaped.mp4"), false);
    EXPECT_NEAR(right - left + 1, row.width, 2) << what;
    EXPECT_NEAR(bottom - top + 1, row.height, 2) << what;
    // The white half: the left one, or turned upright the bottom one.
    const auto white = BrightBox(Out("shaped.mp4"), true);
    const std::array<int, 4> half = row.whiteAt == 'L' ? std::array{left, (left + right) / 2, top, bottom}
                                                       : std::array{left, right, (top + bottom) / 2 + 1, bottom};
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(white[i], half[i], 2) << what << " side " << i;
  }
}

TEST_F(Encoder, SegmentsJoinedByStreamCopyConvertWhole) {
  // Twelve one-second parts, each with its own audio priming, joined as the
  // ffmpeg CLI joins them: at each join the audio overlaps by some 30 ms.
  std::string list;
  for (int i = 0; i < 12; ++i) {
    const std::string part = Out("part" + std::to_string(i) + ".mp4");
    ASSERT_EQ(RunProgram({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=160x120:rate=15", "-f",
                          "lavfi", "-i", "sine=frequency=" + std::to_string(300 + 50 * i) + ":sample_rate=48000",
                          "-t", "1", "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac", "-b:a", "64k", part})
                  .exitCode,
              0);
    list += "file '" + part + "'\n";
  }
  test::WriteFile(Out("parts.txt"), list);
  const std::vector<std::string> psp = {"-vcodec", "mpeg4", "-acodec", "aac", "-b", "768", "-s", "320x240", "-r",
                                        "15", "-aspect", "4:3", "-ab", "128", "-vol", "200", "-ac", "2", "-ar",
                                        "44100", "-ss", "00:00:00", "-t", "600"};
  const std::vector<std::string> m4a = {"-acodec", "aac", "-vn", "-ab", "128", "-vol", "200", "-ac", "2", "-ar", "44100"};
  for (const char* joined : {"joined.mp4", "joined.mkv"}) {
    ASSERT_EQ(RunProgram({"ffmpeg", "-v", "error", "-y", "-f", "concat", "-safe", "0", "-i", Out("parts.txt"), "-c",
                          "copy", Out(joined)})
                  .exitCode,
              0);
    for (const auto& [type, options] : {std::pair{".mp4", psp}, std::pair{".m4a", m4a}}) {
      const std::string output = Out(joined + std::string(type));
      std::vector<std::string> args = {kEvc, "-y", "-i", Out(joined)};
      args.insert(args.end(), options.begin(), options.end());
      args.push_back(output);
      const auto run = RunProgram(args);
      const std::string what = joined + std::string(" to ") + type;
      ASSERT_EQ(run.exitCode, 0) << what << ": " << run.output;
      const FileInfo info = Probe(output);
      const StreamInfo* audio = info.Find(AVMEDIA_TYPE_AUDIO);
      ASSERT_TRUE(audio) << what;
      const double frame = 1024.0 / 44100;
      EXPECT_NEAR(audio->seconds, 12, 2 * frame) << what;
      // As many samples, less the encoder's priming frame, as the time they
      // fill: overlapping audio kept would play ever later than the picture.
      EXPECT_NEAR((audio->packets - 1) * frame, audio->seconds, 2 * frame) << what;
      const StreamInfo* video = info.Find(AVMEDIA_TYPE_VIDEO);
      EXPECT_EQ(video != nullptr, type == std::string(".mp4")) << what;
      if (video) {
        EXPECT_NEAR(video->seconds, 12, 2 / 15.0) << what;
      }
    }
  }
}

}  // namespace
}  // namespace tarquel
