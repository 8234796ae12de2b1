// A stream's decoder: the input's packets made frames on a clock that
// starts with the file, without gaps in the times or overlapping sound.
#pragma once

#include <cstdint>
#include <functional>

#include "EncoderOptions.h"
#include "FfmpegHandles.h"
#include "TranscodeInput.h"

namespace tarquel::encoder {

class StreamDecoder {
 public:
  // Opens the decoder for one of the file's streams taken.
  StreamDecoder(const InputStream& input, const InputFile& file, const EncoderOptions& options);
  StreamDecoder(const StreamDecoder&) = delete;
  StreamDecoder& operator=(const StreamDecoder&) = delete;

  // The decoded frames' form.
  const AVCodecContext* Context() const { return Decoder_.get(); }
  // The time base of the video encoder, whose frame slots tell which
  // pictures the frame-rate filter drops; given once the encoder is open.
  void SetOutputTimeBase(AVRational timeBase) { OutputTimeBase_ = timeBase; }

  // Decodes a packet, or with nullptr what the decoder still holds, and
  // hands `take` each frame, its time from the file's start. A damaged
  // packet is skipped.
  void Decode(const AVPacket* packet, const std::function<void(AVFrame*)>& take);
  // Where the decoded frames end, from the file's start; AV_NOPTS_VALUE
  // before the first frame with a time.
  int64_t EndPts() const { return EndPts_; }

 private:
  int64_t FollowOn(int64_t pts);
  bool DropOverlap(AVFrame* frame) const;
  int64_t FrameDuration(const AVFrame* frame) const;
  bool SurelyDropped(const AVPacket* packet) const;

  const InputStream& In_;
  const InputFile& File_;
  const EncoderOptions& O_;
  media::CodecContextPtr Decoder_;
  AVRational OutputTimeBase_{};
  int64_t LastPts_ = AV_NOPTS_VALUE;  // the last time the source gave a decoded frame, in the stream's time base
  int64_t EndPts_ = AV_NOPTS_VALUE;
  media::FramePtr Decoded_ = media::MakeFrame();
};

}  // namespace tarquel::encoder
