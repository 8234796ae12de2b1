// A video stream's way from its decoded pictures to what its encoder
// takes: the cut, the output's frame rate, and the picture's size, turn,
// bars and pixel shape, in 4:2:0.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>

#include "FfmpegHandles.h"

namespace tarquel::encoder {

struct PictureSteps {
  AVRational timeBase{1, 1};  // the decoded pictures'
  // The cut, in the time base: the first picture kept is the first that
  // starts at or after `cutStart`, the first dropped again the first that
  // starts at or after `cutEnd`.
  int64_t cutStart = 0;
  std::optional<int64_t> cutEnd;
  // The time the output starts at, in the time base, as a fraction: the
  // pictures' times are moved back by it and cut to whole ticks.
  double shift = 0;
  AVRational frameRate{25, 1};
  // The decoded pictures' size and pixel format.
  int sourceWidth = 0, sourceHeight = 0;
  AVPixelFormat sourceFormat = AV_PIX_FMT_YUV420P;
  // The picture scaled (before it is turned, where there are fewer pixels
  // to turn), then turned clockwise by `turn` degrees (0, 90, 180 or 270).
  int scaledWidth = 0, scaledHeight = 0;
  int turn = 0;
  // Then, if `pad`, centred at `padX`,`padY` in a black frame of
  // `frameWidth` x `frameHeight`.
  bool pad = false;
  int frameWidth = 0, frameHeight = 0, padX = 0, padY = 0;
  AVRational pixelShape{1, 1};
};

class VideoShaper {
 public:
  explicit VideoShaper(const PictureSteps& steps);
  VideoShaper(const VideoShaper&) = delete;
  VideoShaper& operator=(const VideoShaper&) = delete;

  // The size of the pictures given.
  int Width() const { return Width_; }
  int Height() const { return Height_; }
  // The time base of the pictures given: one frame.
  AVRational TimeBase() const { return av_inv_q(S_.frameRate); }

  // Adds a decoded picture, its time in the stream's time base.
  void Add(media::FramePtr picture);
  // Ends the input at `endPts` (AV_NOPTS_VALUE: not known, the last
  // picture's start); the last picture lasts until then.
  void Close(int64_t endPts);
  // The next picture for the encoder, nullptr when there is none yet.
  media::FramePtr Next();
  // No picture will come any more.
  bool Ended() const { return Ended_ && Ready_.empty(); }

 private:
  media::FramePtr Produce();
  void Slot(media::FramePtr picture);
  void Finish(int64_t endPts);
  void Drop();
  media::FramePtr Give();
  media::FramePtr Shape(const AVFrame& decoded);
  media::FramePtr Scale(const AVFrame& decoded, int width, int height);
  media::FramePtr Turn(const AVFrame& picture) const;
  media::FramePtr Pad(const AVFrame& picture) const;

  const PictureSteps S_;
  // The pixel format the picture is turned and framed in: 4:2:0, or a
  // picture of the scaled size in a plain planar format of its own, made
  // 4:2:0 last.
  AVPixelFormat WorkFormat_ = AV_PIX_FMT_YUV420P;
  int Width_ = 0, Height_ = 0;
  // The cut.
  int64_t LastPts_ = AV_NOPTS_VALUE;  // the last picture's time as it came
  bool CutEnded_ = false;
  // The frame rate, its times in output slots: the held picture fills the
  // slots from `NextSlot_` on, until the incoming one, or the end, starts
  // in a slot.
  media::FramePtr Held_;
  media::FramePtr HeldShaped_;  // Held_ made the output's picture, once given
  media::FramePtr Incoming_;
  int64_t NextSlot_ = AV_NOPTS_VALUE;
  bool Closing_ = false;
  int64_t ClosingSlot_ = AV_NOPTS_VALUE;
  bool Ended_ = false;
  std::deque<media::FramePtr> Ready_;
  // The scaler and what it was made for.
  media::ScaleContextPtr Scaler_;
  int ScalerWidth_ = 0, ScalerHeight_ = 0, ScalerFormat_ = AV_PIX_FMT_NONE;
  AVColorRange SourceRange_ = AVCOL_RANGE_UNSPECIFIED;  // the last range a picture told
  AVColorRange ScalerRange_ = AVCOL_RANGE_UNSPECIFIED;
  int ScaledWidth_ = 0, ScaledHeight_ = 0;
};

}  // namespace tarquel::encoder
