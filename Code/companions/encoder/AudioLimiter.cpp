#include "AudioLimiter.h"

extern "C" {
#include <libavutil/macros.h>
}

#include <cmath>

namespace tarquel::encoder {

PeakLimiter::PeakLimiter(int sampleRate, int channels, double limit, double attackSeconds, double releaseSeconds)
    : SampleRate_(sampleRate), Channels_(channels), Limit_(limit), Release_(releaseSeconds) {
  // Room for up to a tenth of a second of look-ahead.
  const int room = static_cast<int>(sampleRate * channels * 100 / 1000. + channels);
  Storage_.assign(static_cast<std::size_t>(room), 0.0);
  NextPos_.assign(static_cast<std::size_t>(room), -1);
  NextDelta_.assign(static_cast<std::size_t>(room), 0.0);
  BufferSize_ = static_cast<int>(sampleRate * attackSeconds * channels);
  BufferSize_ -= BufferSize_ % channels;
  if (BufferSize_ <= 0) BufferSize_ = channels;
}

void PeakLimiter::Process(double* samples, int count) {
  const int channels = Channels_, size = BufferSize_;
  const double limit = Limit_;
  double* buffer = Storage_.data();
  int* nextPos = NextPos_.data();
  double* nextDelta = NextDelta_.data();
  double* frame = samples;
  for (int n = 0; n < count; ++n, frame += channels) {
    // The new sample frame goes into the look-ahead; a peak over the limit
    // sets how fast the gain must fall to be there in time.
    double peak = 0;
    for (int c = 0; c < channels; ++c) {
      const double sample = frame[c];
      buffer[Pos_ + c] = sample;
      peak = FFMAX(peak, std::fabs(sample));
    }
    if (peak > limit) {
      const double peakGain = FFMIN(limit / peak, 1.);
      const double releaseDelta = (1.0 - peakGain) / (SampleRate_ * Release_);
      const double delta = (limit / peak - Gain_) / size * channels;
      if (delta < Delta_) {
        // Steeper than the fall under way: this peak is the next one.
        Delta_ = delta;
        nextPos[0] = Pos_;
        nextPos[1] = -1;
        nextDelta[0] = releaseDelta;
        NextLen_ = 1;
        NextIter_ = 0;
      } else {
        // Else after the first pending peak it would need a steeper fall
        // than planned from there.
        bool found = false;
        int i = NextIter_;
        for (; i < NextIter_ + NextLen_; ++i) {
          const int j = i % size;
          // The pending peak's height, told from its first two samples
          // (a second channel, or the next sample of a single one).
          double pendingPeak = 0;
          if (nextPos[j] >= 0) {
            const double first = std::fabs(buffer[nextPos[j]]), second = std::fabs(buffer[nextPos[j] + 1]);
            pendingPeak = first > second ? first : second;
          }
          const double pendingDelta =
              (limit / peak - limit / pendingPeak) / (((size - nextPos[j] + Pos_) % size) / channels);
          if (pendingDelta < nextDelta[j]) {
            nextDelta[j] = pendingDelta;
            found = true;
            break;
          }
        }
        if (found) {
          NextLen_ = i - NextIter_ + 1;
          nextPos[(NextIter_ + NextLen_) % size] = Pos_;
          nextDelta[(NextIter_ + NextLen_) % size] = releaseDelta;
          nextPos[(NextIter_ + NextLen_ + 1) % size] = -1;
          ++NextLen_;
        }
      }
    }

    // The oldest sample frame of the look-ahead leaves at the current gain.
    const double* leaving = &buffer[(Pos_ + channels) % size];
    peak = 0;
    for (int c = 0; c < channels; ++c) peak = FFMAX(peak, std::fabs(leaving[c]));
    Gain_ += Delta_;
    for (int c = 0; c < channels; ++c) frame[c] = leaving[c] * Gain_;
    if ((Pos_ + channels) % size == nextPos[NextIter_]) {
      // The peak itself: exactly at the limit, then the release.
      Delta_ = nextDelta[NextIter_];
      Gain_ = limit / peak;
      NextLen_ -= 1;
      nextPos[NextIter_] = -1;
      NextIter_ = (NextIter_ + 1) % size;
    }
    if (Gain_ > 1.) {
      Gain_ = 1.;
      Delta_ = 0.;
      NextIter_ = 0;
      NextLen_ = 0;
      nextPos[0] = -1;
    }
    if (Gain_ <= 0.) {
      Gain_ = 0.0000000000001;
      Delta_ = (1.0 - Gain_) / (SampleRate_ * Release_);
    }
    if (Gain_ != 1. && (1. - Gain_) < 0.0000000000001) Gain_ = 1.;
    if (Delta_ != 0. && std::fabs(Delta_) < 0.00000000000001) Delta_ = 0.;
    for (int c = 0; c < channels; ++c) frame[c] = FFMIN(FFMAX(frame[c], -limit), limit);
    Pos_ = (Pos_ + channels) % size;
  }
}

}  // namespace tarquel::encoder
