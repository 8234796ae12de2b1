#include "AudioShaper.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <deque>
#include <utility>

#include "AudioLimiter.h"
#include "TranscodeCommon.h"

namespace tarquel::encoder {

using namespace tarquel::media;

// One step of the way: takes frames in its own time base and hands what
// it makes to the next step.
class AudioStep {
 public:
  virtual ~AudioStep() = default;
  virtual void Take(FramePtr frame) = 0;
  // The input has ended: hands on what is held, then ends the next step.
  virtual void End() = 0;
  void SetNext(AudioStep* next) { Next_ = next; }

 protected:
  AudioStep* Next_ = nullptr;
};

namespace {

// The limiter holds the peaks under -1 dBFS, looking 5 ms ahead and
// recovering over 50 ms.
constexpr double kLimit = 0.891251;
constexpr double kAttackSeconds = 0.005;
constexpr double kReleaseSeconds = 0.05;

int64_t RoundedDivision(int64_t a, int64_t b) { return (a >= 0 ? a + (b >> 1) : a - (b >> 1)) / b; }

// A channel layout of our own, its map freed with it.
class Layout {
 public:
  explicit Layout(const AVChannelLayout& layout) { Check(av_channel_layout_copy(&Value_, &layout), "filter set-up"); }
  explicit Layout(int channels) { av_channel_layout_default(&Value_, channels); }
  Layout(const Layout& other) : Layout(other.Value_) {}
  Layout& operator=(const Layout&) = delete;
  ~Layout() { av_channel_layout_uninit(&Value_); }
  const AVChannelLayout& operator*() const { return Value_; }
  bool operator==(const Layout& other) const { return av_channel_layout_compare(&Value_, &other.Value_) == 0; }

 private:
  AVChannelLayout Value_{};
};

FramePtr NewSamples(int count, AVSampleFormat format, const AVChannelLayout& layout, int rate) {
  FramePtr frame = MakeFrame();
  if (!frame) Check(AVERROR(ENOMEM), "filtering");
  frame->nb_samples = count;
  frame->format = format;
  frame->sample_rate = rate;
  Check(av_channel_layout_copy(&frame->ch_layout, &layout), "filtering");
  Check(av_frame_get_buffer(frame.get(), 0), "filtering");
  return frame;
}

// The cut: drops what lies before the start, and ends the stream at the
// first samples at or after the end, to the sample; then moves the times
// back by the start. The samples must keep the form the source was
// opened with.
class Cut final : public AudioStep {
 public:
  Cut(const SoundSteps& steps, const AVChannelLayout& layout) : S_(steps), Layout_(layout) {}

  void Take(FramePtr frame) override {
    if (Ended_) return;
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
      Check(av_channel_layout_copy(&frame->ch_layout, &*Layout_), "filtering");
    }
    if (frame->format != S_.sampleFormat || frame->sample_rate != S_.sampleRate ||
        av_channel_layout_compare(&frame->ch_layout, &*Layout_) != 0) {
      Check(AVERROR(EINVAL), "filtering");
    }
    const int count = frame->nb_samples;
    const AVRational perSample{1, S_.sampleRate};
    // A frame without a time follows on from the one before.
    const int64_t at = frame->pts != AV_NOPTS_VALUE ? av_rescale_q(frame->pts, S_.timeBase, perSample) : NextAt_;
    NextAt_ = at + count;
    if (at + count <= S_.cutStart) return;
    int64_t first = std::min<int64_t>(count, S_.cutStart - at);
    int64_t last = count;
    if (S_.cutEnd) {
      if (at >= *S_.cutEnd) {
        End();
        return;
      }
      last = *S_.cutEnd - at;
    }
    first = std::max<int64_t>(0, first);
    last = std::min<int64_t>(count, last);
    if (first >= last) return;
    if (first > 0) {
      const int kept = static_cast<int>(last - first);
      const auto format = static_cast<AVSampleFormat>(frame->format);
      FramePtr part = NewSamples(kept, format, frame->ch_layout, frame->sample_rate);
      Check(av_frame_copy_props(part.get(), frame.get()), "filtering");
      av_samples_copy(part->extended_data, frame->extended_data, 0, static_cast<int>(first), kept,
                      frame->ch_layout.nb_channels, format);
      if (part->pts != AV_NOPTS_VALUE) part->pts += av_rescale_q(first, perSample, S_.timeBase);
      frame = std::move(part);
    } else {
      frame->nb_samples = static_cast<int>(last);
    }
    if (frame->pts != AV_NOPTS_VALUE) frame->pts = static_cast<int64_t>(static_cast<double>(frame->pts) - S_.shift);
    Next_->Take(std::move(frame));
  }

  void End() override {
    if (Ended_) return;
    Ended_ = true;
    Next_->End();
  }

 private:
  const SoundSteps S_;
  const Layout Layout_;
  int64_t NextAt_ = 0;
  bool Ended_ = false;
};

// Converts the samples' format, channels (with libswresample's own mix)
// and rate; its times count samples of the output rate.
class Convert final : public AudioStep {
 public:
  Convert(AVRational timeBase, int rate, AVSampleFormat format, const AVChannelLayout& layout, int toRate,
          AVSampleFormat toFormat, const AVChannelLayout& toLayout)
      : TimeBase_(timeBase), Rate_(rate), ToRate_(toRate), ToFormat_(toFormat), ToLayout_(toLayout) {
    SwrContext* resampler = nullptr;
    // The library's declaration takes the layouts as changeable; it only reads them.
    Check(swr_alloc_set_opts2(&resampler, const_cast<AVChannelLayout*>(&toLayout), toFormat, toRate,
                              const_cast<AVChannelLayout*>(&layout), format, rate, 0, nullptr),
          "filter set-up");
    Resampler_.reset(resampler);
    Check(swr_init(resampler), "filter set-up");
  }

  void Take(FramePtr frame) override {
    SwrContext* s = Resampler_.get();
    const int count = frame->nb_samples;
    // Room for what the samples make and some of what is held back.
    int room = static_cast<int>(count * (static_cast<double>(ToRate_) / Rate_) + 32);
    if (const int64_t delay = swr_get_delay(s, ToRate_); delay > 0) {
      room += static_cast<int>(std::min<int64_t>(delay, std::max(4096, room)));
    }
    FramePtr converted = NewSamples(room, ToFormat_, *ToLayout_, ToRate_);
    Check(av_frame_copy_props(converted.get(), frame.get()), "filtering");
    converted->sample_rate = ToRate_;
    if (frame->pts != AV_NOPTS_VALUE) {
      const int64_t at = av_rescale(frame->pts, TimeBase_.num * int64_t{ToRate_} * Rate_, TimeBase_.den);
      converted->pts = RoundedDivision(swr_next_pts(s, at), Rate_);
    } else {
      converted->pts = AV_NOPTS_VALUE;
    }
    const int made = swr_convert(s, converted->extended_data, room,
                                 const_cast<const uint8_t**>(frame->extended_data), count);
    if (made <= 0) return;
    const bool more = made == room;
    converted->nb_samples = made;
    Next_->Take(std::move(converted));
    // A full frame may have left more behind.
    while (more) {
      FramePtr rest = Drain(false);
      if (!rest) break;
      Next_->Take(std::move(rest));
    }
  }

  void End() override {
    while (FramePtr rest = Drain(true)) Next_->Take(std::move(rest));
    Next_->End();
  }

 private:
  // What the resampler holds back; at the end (`last`) also the samples
  // its filter still needs to look ahead of.
  FramePtr Drain(bool last) {
    constexpr int kRoom = 4096;
    FramePtr rest = NewSamples(kRoom, ToFormat_, *ToLayout_, ToRate_);
    const int64_t pts = RoundedDivision(swr_next_pts(Resampler_.get(), INT64_MIN), Rate_);
    const int made = swr_convert(Resampler_.get(), rest->extended_data, kRoom,
                                 last ? nullptr : const_cast<const uint8_t**>(rest->extended_data), 0);
    if (made <= 0) return nullptr;
    rest->nb_samples = made;
    rest->pts = pts;
    return rest;
  }

  const AVRational TimeBase_;
  const int Rate_, ToRate_;
  const AVSampleFormat ToFormat_;
  const Layout ToLayout_;
  ResampleContextPtr Resampler_;
};

// The volume, on floating-point samples, in single precision.
class Gain final : public AudioStep {
 public:
  explicit Gain(double volume) : Volume_(volume), Steps_(static_cast<int>(volume * 256 + 0.5)) {}

  void Take(FramePtr frame) override {
    if (Volume_ != 1.0 && Steps_ != 256) {
      Check(av_frame_make_writable(frame.get()), "filtering");
      const auto format = static_cast<AVSampleFormat>(frame->format);
      const bool planar = av_sample_fmt_is_planar(format);
      const int channels = frame->ch_layout.nb_channels;
      const int planes = planar ? channels : 1;
      const int samples = planar ? frame->nb_samples : frame->nb_samples * channels;
      const auto factor = static_cast<float>(Volume_);
      for (int p = 0; p < planes; ++p) {
        auto* data = reinterpret_cast<float*>(frame->extended_data[p]);
        for (int i = 0; i < samples; ++i) data[i] = data[i] * factor;
      }
    }
    Next_->Take(std::move(frame));
  }

  void End() override { Next_->End(); }

 private:
  const double Volume_;
  const int Steps_;  // the volume in 256ths; 256 leaves the samples as they are
};

// The limiter, on interleaved double samples. The output is moved back by
// the limiter's look-ahead, and the look-ahead is flushed with silence at
// the end, so that the sound keeps its place and its length.
class Limit final : public AudioStep {
 public:
  Limit(AVRational timeBase, int rate, const AVChannelLayout& layout)
      : Limiter_(rate, layout.nb_channels, kLimit, kAttackSeconds, kReleaseSeconds), TimeBase_(timeBase),
        Rate_(rate), Layout_(layout), Skip_(Limiter_.Delay()), Flush_(Limiter_.Delay()) {}

  void Take(FramePtr frame) override {
    Check(av_frame_make_writable(frame.get()), "filtering");
    const int channels = frame->ch_layout.nb_channels;
    auto* samples = reinterpret_cast<double*>(frame->data[0]);
    Limiter_.Process(samples, frame->nb_samples);
    Came_.push_back({frame->pts, frame->nb_samples});
    int left = frame->nb_samples;
    if (Skip_ > 0) {
      const int skipped = std::min(left, Skip_);
      left -= skipped;
      Skip_ -= skipped;
    }
    if (left <= 0) return;
    if (left < frame->nb_samples) {
      const int skipped = frame->nb_samples - left;
      std::memmove(samples, samples + static_cast<std::ptrdiff_t>(skipped) * channels,
                   sizeof(double) * static_cast<std::size_t>(left) * channels);
      frame->nb_samples = left;
      Skip_ = 0;
    }
    // Each frame given takes the time of the oldest frame taken, or follows
    // on from the one given before where the frames taken followed on too.
    const Came came = Came_.front();
    Came_.pop_front();
    const AVRational perSample{1, frame->sample_rate};
    const int64_t givenLength = av_rescale_q(frame->nb_samples, TimeBase_, perSample);
    const int64_t cameLength = av_rescale_q(came.samples, TimeBase_, perSample);
    if (NextGiven_ != AV_NOPTS_VALUE && frame->pts != NextGiven_ && NextCame_ != AV_NOPTS_VALUE &&
        came.pts == NextCame_) {
      frame->pts = NextGiven_;
    } else {
      frame->pts = came.pts;
    }
    NextCame_ = came.pts + cameLength;
    NextGiven_ = frame->pts + givenLength;
    Next_->Take(std::move(frame));
  }

  void End() override {
    while (Flush_ > 0) {
      FramePtr silence = NewSamples(std::min(1024, Flush_), AV_SAMPLE_FMT_DBL, *Layout_, Rate_);
      av_samples_set_silence(silence->extended_data, 0, silence->nb_samples, silence->ch_layout.nb_channels,
                             AV_SAMPLE_FMT_DBL);
      Flush_ -= silence->nb_samples;
      silence->pts = NextCame_;
      Take(std::move(silence));
    }
    Next_->End();
  }

 private:
  struct Came {
    int64_t pts;
    int samples;
  };

  PeakLimiter Limiter_;
  const AVRational TimeBase_;
  const int Rate_;
  const Layout Layout_;
  int Skip_;   // samples still to drop at the start: the look-ahead's
  int Flush_;  // samples of silence to flush the look-ahead with at the end
  std::deque<Came> Came_;
  int64_t NextCame_ = AV_NOPTS_VALUE;
  int64_t NextGiven_ = AV_NOPTS_VALUE;
};

// Times counted in samples: a source whose time base counts whole packets
// (MP3 in AVI) would give the encoder's shorter frames colliding times.
class Retime final : public AudioStep {
 public:
  Retime(AVRational from, AVRational to) : From_(from), To_(to) {}

  void Take(FramePtr frame) override {
    if (av_cmp_q(From_, To_) != 0) frame->pts = av_rescale_q(frame->pts, From_, To_);
    Next_->Take(std::move(frame));
  }

  void End() override { Next_->End(); }

 private:
  const AVRational From_, To_;
};

bool IsFloat(AVSampleFormat format) { return format == AV_SAMPLE_FMT_FLT || format == AV_SAMPLE_FMT_FLTP; }

}  // namespace

// The last step: the samples in frames of the encoder's size, each taking
// the time of its first sample, and the frames waiting to be taken.
class AudioShaper::Blocks final : public AudioStep {
 public:
  Blocks(AVSampleFormat format, int channels, int rate)
      : Format_(format), Layout_(channels), Rate_(rate), TimeBase_{1, rate} {}

  int Rate() const { return Rate_; }
  void SetSize(int samples) { Size_ = samples; }

  void Take(FramePtr frame) override {
    if (Size_ <= 0) {
      Ready_.push_back(std::move(frame));
      return;
    }
    const int count = frame->nb_samples;
    if (!Fifo_) {
      Fifo_.reset(av_audio_fifo_alloc(Format_, (*Layout_).nb_channels, std::max(Size_, count)));
      if (!Fifo_) Check(AVERROR(ENOMEM), "filtering");
    }
    if (av_audio_fifo_write(Fifo_.get(), reinterpret_cast<void**>(frame->extended_data), count) < count) {
      Check(AVERROR(ENOMEM), "filtering");
    }
    Times_.push_back({frame->pts, count, frame->sample_rate});
    while (av_audio_fifo_size(Fifo_.get()) >= Size_) Give(Size_);
  }

  void End() override {
    // The last frame is short.
    while (Fifo_ && av_audio_fifo_size(Fifo_.get()) > 0) Give(std::min(Size_, av_audio_fifo_size(Fifo_.get())));
    Ended_ = true;
  }

  FramePtr Next() {
    if (Ready_.empty()) return nullptr;
    FramePtr frame = std::move(Ready_.front());
    Ready_.pop_front();
    return frame;
  }
  bool Ended() const { return Ended_ && Ready_.empty(); }

 private:
  struct Time {
    int64_t pts;
    int samples;
    int rate;
  };

  void Give(int count) {
    FramePtr block = NewSamples(count, Format_, *Layout_, Rate_);
    if (av_audio_fifo_read(Fifo_.get(), reinterpret_cast<void**>(block->extended_data), count) < count) {
      Check(AVERROR(EINVAL), "filtering");
    }
    block->pts = Times_.front().pts;
    // The frame a block ends inside starts later by what the block took.
    for (int left = count; left > 0;) {
      Time& first = Times_.front();
      if (first.samples <= left) {
        left -= first.samples;
        Times_.pop_front();
      } else {
        first.samples -= left;
        if (first.pts != AV_NOPTS_VALUE) first.pts += av_rescale_q(left, AVRational{1, first.rate}, TimeBase_);
        left = 0;
      }
    }
    Ready_.push_back(std::move(block));
  }

  const AVSampleFormat Format_;
  const Layout Layout_;
  const int Rate_;
  const AVRational TimeBase_;
  int Size_ = 0;
  AudioFifoPtr Fifo_;
  std::deque<Time> Times_;
  std::deque<FramePtr> Ready_;
  bool Ended_ = false;
};

AudioShaper::AudioShaper(const SoundSteps& steps, const AVChannelLayout& layout) {
  const auto add = [&](std::unique_ptr<AudioStep> step) {
    if (!Steps_.empty()) Steps_.back()->SetNext(step.get());
    Steps_.push_back(std::move(step));
  };
  add(std::make_unique<Cut>(steps, layout));

  // The samples' form as they go.
  AVRational timeBase = steps.timeBase;
  int rate = steps.sampleRate;
  AVSampleFormat format = steps.sampleFormat;
  auto channels = std::make_unique<Layout>(layout);
  const Layout output(steps.outputChannels);
  const auto convert = [&](AVSampleFormat toFormat, const Layout& toLayout, int toRate) {
    add(std::make_unique<Convert>(timeBase, rate, format, **channels, toRate, toFormat, *toLayout));
    timeBase = {1, toRate};
    rate = toRate;
    format = toFormat;
    channels = std::make_unique<Layout>(toLayout);
  };
  if (steps.gain) {
    if (!IsFloat(format)) {
      // Made floating point for the volume, the samples take the output's
      // form there too when nothing after the volume converts them.
      const bool last = !steps.limit && !steps.outputRate && IsFloat(steps.outputFormat);
      convert(last ? steps.outputFormat : AV_SAMPLE_FMT_FLTP, last ? output : Layout(*channels), rate);
    }
    add(std::make_unique<Gain>(*steps.gain));
    if (steps.limit) {
      convert(AV_SAMPLE_FMT_DBL, Layout(*channels), rate);
      add(std::make_unique<Limit>(timeBase, rate, **channels));
    }
  }
  // The output's form: its format and channels, and the asked rate. An
  // asked rate converts even where nothing changes, as its times do.
  if (steps.outputRate || format != steps.outputFormat || !(*channels == output)) {
    convert(steps.outputFormat, output, steps.outputRate.value_or(rate));
  }
  add(std::make_unique<Retime>(timeBase, AVRational{1, rate}));
  auto blocks = std::make_unique<Blocks>(format, steps.outputChannels, rate);
  Output_ = blocks.get();
  add(std::move(blocks));
}

AudioShaper::~AudioShaper() = default;

int AudioShaper::SampleRate() const { return Output_->Rate(); }

void AudioShaper::SetFrameSize(int samples) { Output_->SetSize(samples); }

void AudioShaper::Add(FramePtr frame) { Steps_.front()->Take(std::move(frame)); }

void AudioShaper::Close() { Steps_.front()->End(); }

FramePtr AudioShaper::Next() { return Output_->Next(); }

bool AudioShaper::Ended() const { return Output_->Ended(); }

}  // namespace tarquel::encoder
