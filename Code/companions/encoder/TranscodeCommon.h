// What the parts of a conversion share: how a step fails, and the texts
// the filter descriptions and the messages are made of.
#pragma once

extern "C" {
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

inline std::string Format(const char* pattern, auto... values) {
  char text[512];
  std::snprintf(text, sizeof text, pattern, values...);
  return text;
}

inline std::string Rational(AVRational r) { return Format("%d/%d", r.num, r.den); }

}  // namespace tarquel::encoder
