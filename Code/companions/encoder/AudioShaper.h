// An audio stream's way from its decoded samples to what its encoder
// takes: the cut, the volume (under a limiter when raised), the sample
// rate, the sample format and channels, and frames of the encoder's size.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "FfmpegHandles.h"

namespace tarquel::encoder {

struct SoundSteps {
  AVRational timeBase{1, 1};  // the decoded samples'
  int sampleRate = 0;
  AVSampleFormat sampleFormat = AV_SAMPLE_FMT_NONE;
  // The cut, in samples from the file's start: the samples from
  // `cutStart` up to `cutEnd` are kept.
  int64_t cutStart = 0;
  std::optional<int64_t> cutEnd;
  // The time the output starts at, in the time base, as a fraction: the
  // times are moved back by it and cut to whole ticks.
  double shift = 0;
  std::optional<double> gain;  // the volume, as a factor
  bool limit = false;          // a limiter holds the raised volume's peaks
  std::optional<int> outputRate;  // else the source's
  AVSampleFormat outputFormat = AV_SAMPLE_FMT_FLTP;
  int outputChannels = 2;
};

// One step of the way (AudioShaper.cpp).
class AudioStep;

class AudioShaper {
 public:
  // `layout`: the decoded samples' channels.
  AudioShaper(const SoundSteps& steps, const AVChannelLayout& layout);
  AudioShaper(const AudioShaper&) = delete;
  AudioShaper& operator=(const AudioShaper&) = delete;
  ~AudioShaper();

  // The rate of the samples given, and their time base: one sample.
  int SampleRate() const;
  AVRational TimeBase() const { return {1, SampleRate()}; }
  // Each frame given has `samples` samples but the last (0: as they come).
  void SetFrameSize(int samples);

  // Adds decoded samples, their time in the stream's time base.
  void Add(media::FramePtr frame);
  // Ends the input.
  void Close();
  // The next frame for the encoder, nullptr when there is none yet.
  media::FramePtr Next();
  // No frame will come any more.
  bool Ended() const;

 private:
  class Blocks;
  std::vector<std::unique_ptr<AudioStep>> Steps_;
  Blocks* Output_ = nullptr;  // the last step
};

}  // namespace tarquel::encoder
