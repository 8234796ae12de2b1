// A stream's filters, from its decoded frames to what its encoder takes:
// the cut, then for video the output's frame rate, picture shape and pixel
// format, for audio the volume, sample rate, sample format and channels.
// And the source of the silent track a video without sound may get.
#pragma once

#include <cstdint>
#include <memory>

#include "AudioShaper.h"
#include "FfmpegHandles.h"
#include "TranscodeCommon.h"
#include "TranscodeInput.h"
#include "Transcoder.h"
#include "VideoShaper.h"

namespace tarquel::encoder {

class FilterChain {
 public:
  // Builds the steps for one of the input's streams, whose frames have the
  // form of `decoded` and whose pixels the shape `pixelShape` (as the file
  // tells it), to what `encoder` takes in a file of the kind `muxer` makes.
  FilterChain(const InputStream& input, const AVCodecContext* decoded, AVRational pixelShape, const AVCodec* encoder,
              const AVOutputFormat* muxer, const TranscodeJob& job);
  FilterChain(const FilterChain&) = delete;
  FilterChain& operator=(const FilterChain&) = delete;

  // The form of the filtered frames, which the encoder is opened for.
  const FrameForm& Form() const { return Form_; }
  // Told once the encoder is open: the time base it takes its frames in,
  // and how many samples each audio frame must have (0: any number).
  void SetEncoder(AVRational timeBase, int frameSize);

  // The filters gave their last frame.
  bool Done() const { return Done_; }
  // Adds a decoded frame, taking its data.
  void Add(AVFrame* frame);
  // Ends the input at `endPts`, in the stream's time base from the file's
  // start; AV_NOPTS_VALUE leaves the end to the filters.
  void Close(int64_t endPts);
  // The next filtered frame, its time in the encoder's time base; nullptr
  // when the filters need more input or have ended (Done()).
  media::FramePtr Next();

 private:
  FrameForm Form_;
  std::unique_ptr<VideoShaper> Video_;
  std::unique_ptr<AudioShaper> Audio_;
  AVRational TimeBase_{};  // the filtered frames'
  AVRational EncoderTimeBase_{};
  bool Done_ = false;
};

// The silent track's source: zero samples in the asked rate and channels,
// taken a frame at a time.
class SilenceSource {
 public:
  SilenceSource(const AVCodec* encoder, const EncoderOptions& options);
  SilenceSource(const SilenceSource&) = delete;
  SilenceSource& operator=(const SilenceSource&) = delete;

  const FrameForm& Form() const { return Form_; }
  // Told once the encoder is open: how many samples each frame must have
  // (0: any number).
  void SetFrameSize(int frameSize);
  // The next frame of silence.
  void Next(AVFrame* frame);

 private:
  FrameForm Form_;
  int FrameSize_ = 1024;
};

}  // namespace tarquel::encoder
