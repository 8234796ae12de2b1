#include "EncoderOptions.h"

#include <gtest/gtest.h>

#include "AvsScript.h"
#include "EncoderMain.h"
#include "StatusLine.h"
#include "TextFormats.h"

namespace tarquel::encoder {
namespace {

std::vector<std::string> Words(const std::string& line) { return SplitText(line, ' '); }

TEST(EncoderOptions, ReadsTheBuildersCommandLines) {
  std::string error;
  const auto o = ParseEncoderOptions(
      {"-y", "-i", "/a b/holiday.avi", "-vcodec", "mpeg4", "-acodec", "aac", "-b", "768", "-s", "320x240", "-r",
       "29.97", "-aspect", "4:3", "-ab", "128", "-vol", "200", "-ac", "2", "-ar", "44100", "-ss", "00:00:10", "-t",
       "95", "/out/holiday.mp4"},
      error);
  ASSERT_TRUE(o) << error;
  EXPECT_TRUE(o->overwrite);
  EXPECT_EQ(o->input, "/a b/holiday.avi");
  EXPECT_EQ(o->videoCodec, "mpeg4");
  EXPECT_EQ(o->videoKbits, 768);
  EXPECT_EQ(o->width, 320);
  EXPECT_EQ(o->height, 240);
  EXPECT_DOUBLE_EQ(*o->frameRate, 29.97);
  EXPECT_EQ(o->aspectNum, 4);
  EXPECT_EQ(o->aspectDen, 3);
  EXPECT_EQ(o->volumePercent, 200);
  EXPECT_DOUBLE_EQ(o->startSeconds, 10);
  EXPECT_DOUBLE_EQ(*o->durationSeconds, 95);
  EXPECT_EQ(o->output, "/out/holiday.mp4");

  // Any order; a negative length is read (it makes an empty segment).
  const auto audio = ParseEncoderOptions(Words("-t -5 -acodec mp3 -vn -i in.wav -y out.mp3"), error);
  ASSERT_TRUE(audio) << error;
  EXPECT_TRUE(audio->noVideo);
  EXPECT_DOUBLE_EQ(*audio->durationSeconds, -5);
}

TEST(EncoderOptions, RefusesBadCommandLinesWithOneClearLine) {
  const struct {
    const char* line;
    const char* error;
  } cases[] = {
      {"-i in.avi -foo 1 out.mp4", "unknown option -foo"},
      {"-i in.avi -target psp out.mp4", "-target is not supported"},
      {"-i in.avi -b out.mp4", "option -b needs a value"},
      {"-i in.avi -b fast out.mp4", "bad value 'fast' for option -b"},
      {"-i in.avi -s 320x241 out.mp4", "bad value '320x241' for option -s"},
      {"-i in.avi -vcodec h264 out.mp4", "bad value 'h264' for option -vcodec"},
      {"-i in.avi -ac 6 out.mp4", "bad value '6' for option -ac"},
      {"-i in.avi -ss 1:xx out.mp4", "bad value '1:xx' for option -ss"},
      {"-i in.avi -ss 1e306:0:0 out.mp4", "bad value '1e306:0:0' for option -ss"},
      {"-i in.avi -t 1e3 out.mp4", "bad value '1e3' for option -t"},
      {"-i in.avi -t inf out.mp4", "bad value 'inf' for option -t"},
      {"-i in.avi -r 0x1A out.mp4", "bad value '0x1A' for option -r"},
      {"-i in.avi -b +768 out.mp4", "bad value '+768' for option -b"},
      {"-i in.avi -ar 4e4 out.mp4", "bad value '4e4' for option -ar"},
      {"-i in.avi stray out.mp4", "unexpected argument 'stray'"},
      {"-i in.avi -y", "no output file given"},
      {"-y out.mp4", "no input file given (-i)"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(ParseEncoderOptions(Words(c.line), error)) << c.line;
    EXPECT_EQ(error, c.error) << c.line;
  }
  // Whatever a value holds, the error stays one line without "=".
  std::string error;
  EXPECT_FALSE(ParseEncoderOptions({"-i", "in.avi", "-b", "7\r\nframe=1", "out.mp4"}, error));
  EXPECT_EQ(ErrorLine("evc.exe", error), "evc.exe: bad value '7  frame:1' for option -b\n");
}

TEST(EncoderOptions, StartTimes) {
  const struct {
    std::string text;
    double seconds;  // < 0: refused
  } cases[] = {
      {"00:00:10", 10}, {"01:02:03", 3723}, {"100:00:00", 360000}, {"12.5", 12.5}, {"00:01:02.25", 62.25},
      {"", -1},         {"-3", -1},         {"1:2:3:4", -1},       {"1.5:00", -1},  {"00:10:", -1},
      {"1e306:0:0", -1}, {"1e3", -1},       {"inf", -1},           {"nan", -1},     {"0x10", -1},
      {"+5", -1},       {"1..2", -1},       {".", -1},             {" 5", -1},      {"0:0:" + std::string(400, '9'), -1},
      {".5", 0.5},      {std::string(308, '9') + ":0:0", -1},
  };
  for (const auto& c : cases) {
    const auto s = ParseStartTime(c.text);
    if (c.seconds < 0) {
      EXPECT_FALSE(s) << c.text;
    } else {
      ASSERT_TRUE(s) << c.text;
      EXPECT_DOUBLE_EQ(*s, c.seconds) << c.text;
    }
  }
}

TEST(AvsScript, ReadsTheOneLineScriptAndNothingElse) {
  const auto ok = ParseAvsScript("DirectShowSource(\"/v/My \"clip\".rmvb\", fps=29.9700898503294, convertfps=true)\r\n");
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->path, "/v/My \"clip\".rmvb");
  EXPECT_DOUBLE_EQ(ok->fps, 29.9700898503294);
  const auto spaced = ParseAvsScript("  directshowsource ( \"/a.rm\" ,fps = 25 , convertfps = TRUE )  ");
  ASSERT_TRUE(spaced);
  EXPECT_EQ(spaced->path, "/a.rm");
  for (const char* bad : {"", "AviSource(\"/a.rm\", fps=25, convertfps=true)", "DirectShowSource(\"/a.rm\")",
                          "DirectShowSource(\"\", fps=25, convertfps=true)", "DirectShowSource(/a.rm, fps=25, convertfps=true)",
                          "DirectShowSource(\"/a.rm\", fps=0, convertfps=true)",
                          "DirectShowSource(\"/a.rm\", fps=25, convertfps=false)",
                          "DirectShowSource(\"/a.rm\", fps=25, convertfps=true) extra"}) {
    EXPECT_FALSE(ParseAvsScript(bad)) << bad;
  }
}

TEST(StatusLine, PutsTheSecondsAtTheStartOfTheAgreedPiece) {
  Progress video{true, 25, 3.5, 10240, 1.0};
  EXPECT_EQ(StatusLine(video), "frame=   25 q= 3.5 size=      10kB time=1.00 bitrate=  81.9kbits/s\r");
  EXPECT_EQ(SplitText(StatusLine(video), '=')[4].substr(0, 5), "1.00 ");
  Progress audio{false, 0, 0, 2048, 12.25};
  EXPECT_EQ(SplitText(StatusLine(audio), '=')[2].substr(0, 6), "12.25 ");
  // The speed, once known, follows the bitrate and moves no piece before it.
  video.speed = 3.14159;
  EXPECT_EQ(StatusLine(video), "frame=   25 q= 3.5 size=      10kB time=1.00 bitrate=  81.9kbits/s speed=3.14x\r");
  audio.speed = 12.5;
  EXPECT_EQ(SplitText(StatusLine(audio), '=')[2].substr(0, 6), "12.25 ");
}

}  // namespace
}  // namespace tarquel::encoder
