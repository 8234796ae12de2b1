// What the parts of a conversion share: how a step fails, the form of the
// frames an encoder is opened for, and the texts the messages are made of.
#pragma once

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/rational.h>
}

#include <cstdio>
#include <string>
#include <utility>

#include "FfmpegHandles.h"

namespace tarquel::encoder {

// A step that cannot go on; its text is the line the encoder reports.
struct Failure {
  std::string text;
};

[[noreturn]] inline void Fail(std::string text) { throw Failure{std::move(text)}; }

inline void Check(int result, const std::string& what) {
  if (result < 0) Fail(what + ": " + media::AvErrorText(result));
}

// The form of the frames a stream's encoder is given.
struct FrameForm {
  // Video: the picture's size, pixel format and pixel shape, and the rate.
  int width = 0, height = 0;
  AVPixelFormat pixelFormat = AV_PIX_FMT_NONE;
  AVRational pixelShape{0, 1};
  AVRational frameRate{0, 1};
  // Audio: the sample rate and format, and the channels (1: mono, 2: stereo).
  int sampleRate = 0;
  AVSampleFormat sampleFormat = AV_SAMPLE_FMT_NONE;
  int channels = 0;
};

// A video stream's rate as the file tells it: its average, else its base
// rate, else 25 frames a second.
inline AVRational StreamFrameRate(const AVStream* stream) {
  AVRational rate = stream->avg_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) rate = stream->r_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) rate = {25, 1};
  return rate;
}

inline std::string Format(const char* pattern, auto... values) {
  char text[512];
  std::snprintf(text, sizeof text, pattern, values...);
  return text;
}

inline std::string Rational(AVRational r) { return Format("%d/%d", r.num, r.den); }

}  // namespace tarquel::encoder
