// A look-ahead peak limiter: holds every sample's magnitude at or under a
// limit, lowering the gain over the attack time before a peak arrives
// rather than flattening the peak, and raising it again over the release
// time. All channels share one gain, so that the picture of the sound
// stays where it was.
//
// Its arithmetic is that of FFmpeg 5.1's alimiter filter (Paul B Mahol's
// libavfilter/af_alimiter.c, LGPL-2.1-or-later), which the encoder ran
// before, so that a raised volume sounds the same as it did.
#pragma once

#include <vector>

namespace tarquel::encoder {

class PeakLimiter {
 public:
  PeakLimiter(int sampleRate, int channels, double limit, double attackSeconds, double releaseSeconds);

  // Limits `count` interleaved sample frames in place. The output lags
  // the input by the look-ahead: Delay() frames at the start are the
  // silence before the sound.
  void Process(double* samples, int count);
  // How many sample frames the output lags.
  int Delay() const { return BufferSize_ / Channels_ - 1; }

 private:
  const int SampleRate_;
  const int Channels_;
  const double Limit_;
  const double Release_;
  int BufferSize_ = 0;  // the look-ahead, in samples of all channels
  // The samples of the look-ahead, and room after it.
  std::vector<double> Storage_;
  // The peaks ahead: where each is in the look-ahead and how fast the gain
  // falls towards it, a ring from `NextIter_` of `NextLen_` entries.
  std::vector<int> NextPos_;
  std::vector<double> NextDelta_;
  int NextIter_ = 0;
  int NextLen_ = 0;
  int Pos_ = 0;
  double Gain_ = 1;
  double Delta_ = 0;  // the gain's change a sample frame
};

}  // namespace tarquel::encoder
