#include "ConvertingDialog.h"

#include <gtest/gtest.h>

namespace tarquel {
namespace {

TConvertParameterStruct Params(const char* typeParams, const char* ext) {
  TConvertParameterStruct p;
  p.TypeParams = typeParams;
  p.OutputExt = ext;
  p.InputFile = "/v/clip.avi";
  return p;
}

TEST(ConvertingDialog, WorkedExample) {
  TConvertingModel d;
  TJobState job;
  job.CutLength = "95";
  job.TotalCount = 3;
  job.DoneCount = 1;
  const auto p = Params(" -vcodec mpeg4 -acodec aac", ".mp4");
  d.FormShow(p, job);
  EXPECT_EQ(d.lblPersent, "Current: 1, Total: 3");
  const std::string line = "frame=  600 q= 3.0 size=    1200kB time=40.12 bitrate= 245.0kbits/s\r";
  d.OnEncoderOutput(line, p, job);  // the first chunk only shows
  EXPECT_EQ(d.statState, line);
  EXPECT_EQ(d.lblCurFileName, "/v/clip.avi");
  EXPECT_EQ(d.ProgressBar1.Position, 0);
  EXPECT_EQ(d.lblPersent, "Current: 1, Total: 3");
  d.OnEncoderOutput(line, p, job);
  EXPECT_EQ(d.ProgressBar1.Position, 40);
  EXPECT_EQ(d.ProgressBar1.Max, 95);
  d.OnEncoderOutput(line, p, job);
  EXPECT_EQ(d.pbTotal.Position, 141);
  EXPECT_EQ(d.pbTotal.Max, 300);
  EXPECT_EQ(d.lblPersent, "Current: 2 , Total: 3.");
}

TEST(ConvertingDialog, ReadsTheSecondsFromTheRightPiece) {
  const struct {
    const char* typeParams;
    const char* ext;
    const char* line;
    int position;  // -1: unchanged (stays 7)
  } cases[] = {
      {"-acodec mp3 -vn", ".mp3", "size=      10kB time=12.50 bitrate=  64.0kbits/s\r", 12},
      {" -acodec aac -vn", ".m4a", "a=b=33=d", 33},         // exactly four pieces: audio reads it
      {" -vcodec mpeg4 -acodec aac", ".mp4", "a=b=33=d", -1},  // video needs five
      {" -acodec amr_nb", ".3gp", "a=b=c=d=21.0", 21},        // .3gp reads like video
      {" -vcodec mpeg4", ".mp4", "a=b=c=d=12 bitrate", 12},   // no "." in the token
      {" -vcodec mpeg4", ".mp4", "a=b=c=d=10000000000.00", -1},
      {" -vcodec mpeg4", ".mp4", "a=b=c=d=.5", -1},           // nothing before the "."
      {" -vcodec mpeg4", ".mp4", "a=b=c=d=500.0", 95},        // held at the end of the range
      {" -vcodec mpeg4", ".mp4", "", -1},
  };
  for (const auto& c : cases) {
    TConvertingModel d;
    TJobState job;
    job.CutLength = "95";
    job.RefreshCount = 1;  // past the first chunk
    d.ProgressBar1 = {0, 95, 7};
    d.OnEncoderOutput(c.line, Params(c.typeParams, c.ext), job);
    EXPECT_EQ(d.ProgressBar1.Position, c.position < 0 ? 7 : c.position) << c.line;
  }
}

TEST(ConvertingDialog, ALengthThatIsNoWholeNumberKeepsTheRange) {
  for (const char* length : {"-5", "abc", "", "9.5"}) {
    TConvertingModel d;
    TJobState job;
    job.CutLength = length;
    job.RefreshCount = 1;
    d.ProgressBar1 = {0, 60, 0};
    d.OnEncoderOutput("a=b=c=d=30.0", Params(" -vcodec mpeg4", ".mp4"), job);
    EXPECT_EQ(d.ProgressBar1.Max, 60) << length;
    EXPECT_EQ(d.ProgressBar1.Position, 30) << length;
  }
}

TEST(ConvertingDialog, SpinnerAndStop) {
  TConvertingModel d;
  const char* expected[] = {"Installing convert information  |", "Installing convert information  /",
                            "Installing convert information  -", "Installing convert information  \\",
                            "Installing convert information  |", "Installing convert information  |"};
  for (const char* text : expected) {
    d.tmrChangingTimer();
    EXPECT_EQ(d.lblInfo, text);
  }
  d.ProgressBar1 = {0, 100, 3};
  d.tmrChangingTimer();
  EXPECT_EQ(d.lblInfo, "Converting  /");
  d.pbTotal = {0, 300, 150};
  d.ResetAfterStop();
  EXPECT_EQ(d.ProgressBar1.Position, 0);
  EXPECT_EQ(d.pbTotal.Max, 0);
  EXPECT_EQ(d.lblPersent, "Current: 1, Total: ...");
}

}  // namespace
}  // namespace tarquel
