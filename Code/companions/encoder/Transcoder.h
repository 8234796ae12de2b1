// One conversion: decode, filter (cut, constant frame rate, size, aspect,
// volume, resampling), encode and mux, over the FFmpeg libraries.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "EncoderOptions.h"
#include "StatusLine.h"

namespace tarquel::encoder {

struct TranscodeJob {
  EncoderOptions options;
  // The media file to open (for revc.exe, the one its script names).
  std::string mediaPath;
  // When set, the output's frame rate unless the options give one.
  std::optional<double> sourceFps;
};

// Called about twice a second while working, and once more at the end.
using ProgressReport = std::function<void(const Progress&)>;

// Converts; returns the empty text on success, otherwise one line saying
// what went wrong. A failed conversion leaves no output file behind.
std::string Transcode(const TranscodeJob& job, const ProgressReport& report);

}  // namespace tarquel::encoder
