#include "VideoShaper.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

#include "TranscodeCommon.h"

namespace tarquel::encoder {

using namespace tarquel::media;

namespace {

constexpr AVRounding kNearest = static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX);

// A 4:2:0 picture's plane sizes.
int PlaneWidth(int plane, int width) { return plane ? AV_CEIL_RSHIFT(width, 1) : width; }
int PlaneHeight(int plane, int height) { return plane ? AV_CEIL_RSHIFT(height, 1) : height; }

// An empty 4:2:0 picture of the given size, with `like`'s properties.
FramePtr NewPicture(int width, int height, const AVFrame& like) {
  FramePtr picture = MakeFrame();
  if (!picture) Check(AVERROR(ENOMEM), "filtering");
  picture->width = width;
  picture->height = height;
  picture->format = AV_PIX_FMT_YUV420P;
  Check(av_frame_get_buffer(picture.get(), 0), "filtering");
  Check(av_frame_copy_props(picture.get(), &like), "filtering");
  return picture;
}

// Copies a plane of `width` x `height` turned clockwise by `turn` degrees.
void TurnPlane(const uint8_t* from, int fromStride, int width, int height, uint8_t* to, int toStride, int turn) {
  if (turn == 180) {
    for (int y = 0; y < height; ++y) {
      const uint8_t* source = from + static_cast<std::ptrdiff_t>(height - 1 - y) * fromStride + width - 1;
      uint8_t* row = to + static_cast<std::ptrdiff_t>(y) * toStride;
      for (int x = 0; x < width; ++x) row[x] = source[-x];
    }
    return;
  }
  // A quarter turn: the picture's rows become columns, read in blocks so
  // that the rows read stay in the cache.
  constexpr int kBlock = 32;
  for (int y0 = 0; y0 < width; y0 += kBlock) {
    for (int x0 = 0; x0 < height; x0 += kBlock) {
      for (int y = y0; y < std::min(y0 + kBlock, width); ++y) {
        uint8_t* row = to + static_cast<std::ptrdiff_t>(y) * toStride;
        for (int x = x0; x < std::min(x0 + kBlock, height); ++x) {
          // Clockwise the bottom row becomes the left column; the other
          // way the right column becomes the top row.
          row[x] = turn == 90 ? from[static_cast<std::ptrdiff_t>(height - 1 - x) * fromStride + y]
                              : from[static_cast<std::ptrdiff_t>(x) * fromStride + width - 1 - y];
        }
      }
    }
  }
}

}  // namespace

VideoShaper::VideoShaper(const PictureSteps& steps) : S_(steps) {
  const bool sideways = S_.turn == 90 || S_.turn == 270;
  Width_ = sideways ? S_.scaledHeight : S_.scaledWidth;
  Height_ = sideways ? S_.scaledWidth : S_.scaledHeight;
  if (S_.pad) {
    // The bars' frame holds whole chroma samples.
    const int framedWidth = S_.frameWidth & ~1, framedHeight = S_.frameHeight & ~1;
    if (framedWidth < Width_ || framedHeight < Height_) Check(AVERROR(EINVAL), "filter set-up");
    Width_ = framedWidth;
    Height_ = framedHeight;
  }
}

void VideoShaper::Add(FramePtr picture) {
  if (CutEnded_) return;
  const int64_t pts = picture->pts;
  if (pts != AV_NOPTS_VALUE) LastPts_ = pts;
  if (pts == AV_NOPTS_VALUE || pts < S_.cutStart) return;
  if (S_.cutEnd && pts >= *S_.cutEnd) {
    // The first picture past the cut ends it: the last one kept lasts
    // until it starts.
    CutEnded_ = true;
    Finish(pts);
    return;
  }
  picture->pts = static_cast<int64_t>(static_cast<double>(pts) - S_.shift);
  Slot(std::move(picture));
}

void VideoShaper::Close(int64_t endPts) {
  if (CutEnded_) return;
  CutEnded_ = true;
  Finish(endPts != AV_NOPTS_VALUE ? endPts : LastPts_);
}

FramePtr VideoShaper::Next() {
  if (Ready_.empty()) return Produce();
  FramePtr picture = std::move(Ready_.front());
  Ready_.pop_front();
  return picture;
}

// The next picture the frame-rate step gives, nullptr when it needs more.
FramePtr VideoShaper::Produce() {
  for (;;) {
    if (!Held_) {
      if (Incoming_) {
        Held_ = std::move(Incoming_);
        continue;
      }
      if (Closing_) Ended_ = true;
      return nullptr;
    }
    // A picture is given for a slot once it is known what follows it.
    if (!Incoming_ && !Closing_) return nullptr;
    if (NextSlot_ == AV_NOPTS_VALUE) {
      if (Held_->pts == AV_NOPTS_VALUE) {
        Drop();
        continue;
      }
      NextSlot_ = Held_->pts;
    }
    // The next picture, or else the end, takes this slot: the held one has
    // had its slots.
    if (Incoming_ ? Incoming_->pts <= NextSlot_ : ClosingSlot_ <= NextSlot_) {
      Drop();
      continue;
    }
    return Give();
  }
}

// Takes a picture into the frame-rate step, its time moved to the output's
// slots, the nearest slot to its start.
void VideoShaper::Slot(FramePtr picture) {
  // Whatever the caller did not take yet is kept, so that the picture held
  // gets its slots before the next one comes.
  while (Incoming_) {
    FramePtr given = Produce();
    if (!given) break;
    Ready_.push_back(std::move(given));
  }
  picture->pts = av_rescale_q_rnd(picture->pts, S_.timeBase, TimeBase(), kNearest);
  Incoming_ = std::move(picture);
}

void VideoShaper::Finish(int64_t endPts) {
  const int64_t moved =
      endPts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : static_cast<int64_t>(static_cast<double>(endPts) - S_.shift);
  ClosingSlot_ = av_rescale_q_rnd(moved, S_.timeBase, TimeBase(), kNearest);
  Closing_ = true;
}

void VideoShaper::Drop() {
  Held_.reset();
  HeldShaped_.reset();
}

// The held picture for the next slot, shaped once however many slots it fills.
FramePtr VideoShaper::Give() {
  if (!HeldShaped_) HeldShaped_ = Shape(*Held_);
  FramePtr picture(av_frame_clone(HeldShaped_.get()));
  if (!picture) Check(AVERROR(ENOMEM), "filtering");
  picture->pts = NextSlot_++;
  return picture;
}

FramePtr VideoShaper::Shape(const AVFrame& decoded) {
  FramePtr picture;
  if (decoded.width != S_.scaledWidth || decoded.height != S_.scaledHeight || decoded.format != AV_PIX_FMT_YUV420P) {
    picture = Scale(decoded);
  } else {
    picture.reset(av_frame_clone(&decoded));
    if (!picture) Check(AVERROR(ENOMEM), "filtering");
  }
  if (S_.turn) picture = Turn(*picture);
  if (S_.pad) picture = Pad(*picture);
  picture->sample_aspect_ratio = S_.pixelShape;
  return picture;
}

// The picture at the scaled size in 4:2:0, bicubic. A picture that tells
// its range keeps it (full-range sources become limited range); its colour
// matrix is its own, or BT.601 when it tells none.
FramePtr VideoShaper::Scale(const AVFrame& decoded) {
  if (decoded.color_range != AVCOL_RANGE_UNSPECIFIED) SourceRange_ = decoded.color_range;
  if (!Scaler_ || decoded.width != ScalerWidth_ || decoded.height != ScalerHeight_ || decoded.format != ScalerFormat_ ||
      SourceRange_ != ScalerRange_) {
    Scaler_.reset(sws_alloc_context());
    SwsContext* s = Scaler_.get();
    if (!s) Check(AVERROR(ENOMEM), "filtering");
    av_opt_set_int(s, "srcw", decoded.width, 0);
    av_opt_set_int(s, "srch", decoded.height, 0);
    av_opt_set_int(s, "src_format", decoded.format, 0);
    av_opt_set_int(s, "dstw", S_.scaledWidth, 0);
    av_opt_set_int(s, "dsth", S_.scaledHeight, 0);
    av_opt_set_int(s, "dst_format", AV_PIX_FMT_YUV420P, 0);
    av_opt_set_int(s, "sws_flags", SWS_BICUBIC, 0);
    av_opt_set_int(s, "threads", 0, 0);  // as many as there are cores
    if (SourceRange_ != AVCOL_RANGE_UNSPECIFIED) av_opt_set_int(s, "src_range", SourceRange_ == AVCOL_RANGE_JPEG, 0);
    // 4:2:0 chroma sits between the lines, as in MPEG-2.
    if (decoded.format == AV_PIX_FMT_YUV420P) av_opt_set_int(s, "src_v_chr_pos", 128, 0);
    av_opt_set_int(s, "dst_v_chr_pos", 128, 0);
    Check(sws_init_context(s, nullptr, nullptr), "filtering");
    ScalerWidth_ = decoded.width;
    ScalerHeight_ = decoded.height;
    ScalerFormat_ = decoded.format;
    ScalerRange_ = SourceRange_;
  }
  SwsContext* s = Scaler_.get();
  int *sourceTable = nullptr, *outputTable = nullptr;
  int sourceFull = 0, outputFull = 0, brightness = 0, contrast = 0, saturation = 0;
  sws_getColorspaceDetails(s, &sourceTable, &sourceFull, &outputTable, &outputFull, &brightness, &contrast, &saturation);
  int space = decoded.colorspace;
  if (space < 1 || space > 10 || space == AVCOL_SPC_YCGCO) space = AVCOL_SPC_BT470BG;
  const int* table = sws_getCoefficients(space);
  if (decoded.color_range != AVCOL_RANGE_UNSPECIFIED) sourceFull = decoded.color_range == AVCOL_RANGE_JPEG;
  sws_setColorspaceDetails(s, table, sourceFull, table, outputFull, brightness, contrast, saturation);

  FramePtr picture = NewPicture(S_.scaledWidth, S_.scaledHeight, decoded);
  if (picture->colorspace == AVCOL_SPC_RGB) picture->colorspace = AVCOL_SPC_UNSPECIFIED;
  picture->color_range = outputFull ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
  Check(sws_scale_frame(s, picture.get(), &decoded), "filtering");
  return picture;
}

FramePtr VideoShaper::Turn(const AVFrame& picture) const {
  const bool sideways = S_.turn == 90 || S_.turn == 270;
  FramePtr turned = NewPicture(sideways ? picture.height : picture.width, sideways ? picture.width : picture.height, picture);
  for (int plane = 0; plane < 3; ++plane) {
    TurnPlane(picture.data[plane], picture.linesize[plane], PlaneWidth(plane, picture.width),
              PlaneHeight(plane, picture.height), turned->data[plane], turned->linesize[plane], S_.turn);
  }
  return turned;
}

// The picture centred in black bars. A picture of an odd size loses its
// last column or row, which would share chroma with the bars.
FramePtr VideoShaper::Pad(const AVFrame& picture) const {
  FramePtr framed = NewPicture(Width_, Height_, picture);
  const int width = std::min(picture.width & ~1, Width_ - S_.padX);
  const int height = std::min(picture.height & ~1, Height_ - S_.padY);
  for (int plane = 0; plane < 3; ++plane) {
    const int black = plane ? 128 : 16;
    const int shift = plane ? 1 : 0;
    for (int y = 0; y < PlaneHeight(plane, Height_); ++y) {
      std::memset(framed->data[plane] + static_cast<std::ptrdiff_t>(y) * framed->linesize[plane], black,
                  static_cast<std::size_t>(PlaneWidth(plane, Width_)));
    }
    uint8_t* to = framed->data[plane] + static_cast<std::ptrdiff_t>(S_.padY >> shift) * framed->linesize[plane] +
                  (S_.padX >> shift);
    for (int y = 0; y < height >> shift; ++y) {
      std::memcpy(to + static_cast<std::ptrdiff_t>(y) * framed->linesize[plane],
                  picture.data[plane] + static_cast<std::ptrdiff_t>(y) * picture.linesize[plane],
                  static_cast<std::size_t>(width >> shift));
    }
  }
  return framed;
}

}  // namespace tarquel::encoder
