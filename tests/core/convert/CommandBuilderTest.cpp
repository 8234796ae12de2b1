#include "CommandBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TempDir.h"
#include "UtilityFuncs.h"

namespace tarquel {
namespace {
// Folders in the system's spelling, as the program writes them.
const std::string kSep(1, kPathSeparator);


using F = TSettingField;

// A row with its times as typed into the list.
TSourceRow Row(const std::string& path, const char* start, const char* end) {
  TSourceRow row = NewSourceRow(path, 0, 0);
  row.Start = TSourceTime::FromText(start);
  row.End = TSourceTime::FromText(end);
  return row;
}

class CommandBuilder : public ::testing::Test {
 protected:
  CommandBuilder() {
    std::filesystem::create_directories(App());
    std::filesystem::create_directories(dir_.File("Clips"));
  }
  std::string App() const { return dir_.Folder() + "Conv/"; }
  std::string Clip(const std::string& name) const { return dir_.Folder() + "Clips/" + name; }
  std::string Out() const { return dir_.Folder() + "Tarquel"; }

  TCommandBuilder Builder() {
    TBuildEnvironment env{App(), log_, files_, [this] { ++customProfileRuns_; },
                          [this]() -> const TConvertSettings& { return settings_; }, [this] { return outDir_; }};
    if (!typeParams_.empty()) {
      tables_ = {typeParams_, typeParams_, typeParams_, typeParams_};
      exts_ = {ext_, ext_, ext_, ext_};
      env.TypeParamsTable = &tables_;
      env.ExtensionsTable = &exts_;
    }
    return TCommandBuilder(env);
  }

  // The worked example's choices: 768, 320x240, 29.97, 4:3, 128, 200, stereo, 44100.
  void WorkedChoices(int type) {
    const std::pair<F, int> picks[] = {{F::OutputFiletype, type}, {F::VideoBitrate, 2}, {F::VideoSize, 1},
                                       {F::Framerate, 5},         {F::Aspectratio, 0},  {F::AudioBitrate, 5},
                                       {F::AudioVolumeGain, 8},   {F::AudioChannels, 1}, {F::AudioSample, 2}};
    for (const auto& [field, index] : picks) settings_.Set(field, index);
  }
  std::string Log() const { return test::ReadFile(App() + "log.txt"); }

  test::TempDir dir_;
  TAppFunc log_{App()};
  TFileFunc files_;
  TConvertSettings settings_;
  std::string outDir_ = Out();
  int customProfileRuns_ = 0;
  std::string typeParams_, ext_;
  std::array<std::string_view, OutputTypeCount> tables_{}, exts_{};
  TConvertParameterStruct params_;
  TJobState job_;
};

TEST_F(CommandBuilder, WorkedExamplesComeOutCharacterForCharacter) {
  const TSourceRow holiday = Row(Clip("holiday.avi"), "00:00:10", "00:01:45");
  WorkedChoices(0);
  auto builder = Builder();
  EXPECT_EQ(builder.BuildEncoderCommand(holiday, params_, job_),
            App() + "evc.exe -y -i \"" + Clip("holiday.avi") +
                "\" -vcodec mpeg4 -acodec aac -b 768 -s 320x240 -r 29.97 -aspect 4:3 -ab 128 -vol 200 -ac 2 -ar "
                "44100 -ss 00:00:10 -t 95 \"" + Out() + kSep + "holiday.mp4\"");
  EXPECT_EQ(job_.StartTime, "00:00:10");
  EXPECT_EQ(job_.CutLength, "95");
  EXPECT_EQ(params_.OutputDir, Out() + kSep);

  settings_.Set(F::OutputFiletype, 3);
  EXPECT_EQ(builder.BuildEncoderCommand(holiday, params_, job_),
            App() + "evc.exe -y -i \"" + Clip("holiday.avi") +
                "\" -acodec mp3 -vn -ab 128 -vol 200 -ac 2 -ar 44100 -ss 00:00:10 -t 95 \"" + Out() + kSep + "holiday.mp3\"");

  settings_.Set(F::OutputFiletype, 0);
  const std::string rm = builder.BuildEncoderCommand(Row(Clip("trip.rmvb"), "00:00:10", "00:01:45"), params_, job_);
  EXPECT_EQ(rm.rfind(App() + "revc.exe -y -i \"" + App() + "VideoFile.avs\" -vcodec mpeg4", 0), 0u) << rm;
  EXPECT_TRUE(rm.ends_with(" \"" + Out() + kSep + "trip.mp4\"")) << rm;
  EXPECT_EQ(test::ReadFile(App() + "VideoFile.avs"),
            "DirectShowSource(\"" + Clip("trip.rmvb") + "\", fps=29.9700898503294, convertfps=true)\r\n");
  // Every build logs its folder and runs the custom profile.
  EXPECT_NE(Log().find("|Output directory " + Out() + kSep + "\r\n"), std::string::npos);
  EXPECT_EQ(customProfileRuns_, 3);
}

TEST_F(CommandBuilder, EmptySelectionsGiveTheDefaultFragments) {
  const std::string line = Builder().BuildEncoderCommand(Row(Clip("a.avi"), "00:00:00", "00:01:35"), params_, job_);
  // No output type: xvid and mp3 into ".avi", " -f " alone, a single blank for the volume.
  EXPECT_EQ(line, App() + "evc.exe -y -i \"" + Clip("a.avi") +
                      "\" -vcodec xvid -acodec mp3 -b 512 -s 320x240 -r 25 -aspect 4:3 -ab 64  -ac 2 -ar 44100 -f "
                      " -ss 00:00:00 -t 95 \"" + Out() + kSep + "a.avi\"");
  EXPECT_EQ(MakeChannelsArg("1 channel, Mono"), " -ac 1");
  EXPECT_EQ(MakeFormatArg("none"), "");
  EXPECT_EQ(MakeFormatArg("psp"), " -f psp");
}

TEST_F(CommandBuilder, LayoutsFollowTheCodecParameters) {
  WorkedChoices(0);
  const std::string src = "\"" + Clip("m.avi") + "\"";
  const struct {
    const char* typeParams;
    const char* ext;
    std::string middle;  // between the input and the output path; "" = no command
    bool logged;
  } cases[] = {
      {"-target ntsc-dvd", ".mpg", " -target ntsc-dvd -ss 00:00:05 -t 20", false},
      {"-acodec amr_nb", ".3gp", " -acodec amr_nb -s 320x240 -b 768 -ab 128 -vol 200 -ac 1 -ar 8000 -ss 00:00:05 -t 20", false},
      {"  -acodec aac", ".m4a", "   -acodec aac -ab 128 -vol 200 -ac 2 -ar 44100 -ss 00:00:05 -t 20", false},
      {"-none", ".mp4", "", true},
      {"-something", ".mp4", "", false},
  };
  for (const auto& c : cases) {
    typeParams_ = c.typeParams;
    ext_ = c.ext;
    std::filesystem::remove(App() + "log.txt");
    const std::string line = Builder().BuildEncoderCommand(Row(Clip("m.avi"), "00:00:05", "00:00:25"), params_, job_);
    const std::string expected =
        c.middle.empty() ? "" : App() + "evc.exe -y -i " + src + c.middle + " \"" + Out() + kSep + "m" + c.ext + "\"";
    EXPECT_EQ(line, expected) << c.typeParams;
    EXPECT_EQ(Log().find("Create convert parameter failure.") != std::string::npos, c.logged) << c.typeParams;
  }
}

TEST_F(CommandBuilder, EachRowGivesItsOwnCutAndEncoder) {
  const struct {
    TSourceRow row;
    const char* encoder;
    const char* cut;  // the cut fragment; "" for none
  } cases[] = {
      // Upper-case extension: not RealMedia. A Start beyond the End keeps
      // its negative length.
      {Row(Clip("Movie.RM"), "00:01:00", "00:00:30"), "evc.exe", " -ss 00:01:00 -t -30"},
      // An End Time that is no time counts as 0.
      {Row(Clip("movie.rm"), "00:00:02", "bad"), "revc.exe", " -ss 00:00:02 -t -2"},
      // An empty Start cell (the editor's zero, not yet brought into line): no cut at all.
      {Row(Clip("clip.avi"), "", "00:00:09"), "evc.exe", ""},
  };
  auto builder = Builder();
  for (const auto& c : cases) {
    const std::string line = builder.BuildEncoderCommand(c.row, params_, job_);
    EXPECT_EQ(line.rfind(App() + c.encoder, 0), 0u) << line;
    EXPECT_EQ(params_.CutArg, c.cut) << c.row.Path;
    EXPECT_EQ(job_.StartTime, c.row.Start.Text()) << c.row.Path;
  }
}

TEST_F(CommandBuilder, OutputNamesNeverCollideAndFoldersAreMade) {
  const TSourceRow holiday = Row(Clip("holiday.avi"), "00:00:00", "00:00:10");
  WorkedChoices(0);
  outDir_ = dir_.Folder() + "new/deeper/";
  test::WriteFile(dir_.Folder() + "placeholder", "");
  std::filesystem::create_directories(outDir_);
  test::WriteFile(outDir_ + "holiday.avi", "the source itself lies here");
  test::WriteFile(outDir_ + "holiday_1.mp3", "");
  auto builder = Builder();
  EXPECT_TRUE(builder.BuildEncoderCommand(holiday, params_, job_).ends_with(
      "\"" + outDir_ + "holiday_2.mp4\""));
  // A folder that cannot be made is logged, and the build goes on.
  test::WriteFile(dir_.Folder() + "file", "");
  outDir_ = dir_.Folder() + "file/sub";
  EXPECT_FALSE(Builder().BuildEncoderCommand(holiday, params_, job_).empty());
  EXPECT_NE(Log().find("|Output directory error. ->" + outDir_ + kSep + "\r\n"), std::string::npos) << Log();
}

TEST(QuotedPath, GivesBackThePathThroughTheQuotingRules) {
  const struct {
    const char* path;
    const char* quoted;
  } cases[] = {
      {"/a b/c.avi", R"("/a b/c.avi")"},
      {R"(/a "b"/c.avi)", R"("/a \"b\"/c.avi")"},
      {R"(/a\"b)", R"("/a\\\"b")"},
      {R"(/x\)", R"("/x\\")"},
      {R"(/x\y)", R"("/x\y")"},
  };
  for (const auto& c : cases) EXPECT_EQ(QuotedPath(c.path), c.quoted) << c.path;
}

}  // namespace
}  // namespace tarquel
