#include "VideoShaper.h"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <utility>

#include "TranscodeCommon.h"

namespace tarquel::encoder {

using namespace tarquel::media;

namespace {

constexpr AVRounding kNearest = static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX);

// Whether pictures of a format are turned and framed in it: planes of
// one component each, 8 to 16 bits in one or two bytes, little-endian;
// for a quarter turn also chroma subsampled alike both ways.
bool Plain(AVPixelFormat format, int turn) {
  const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
  if (!d || (d->flags & ~(AV_PIX_FMT_FLAG_PLANAR | AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_ALPHA))) return false;
  if (d->nb_components > 1 && !(d->flags & AV_PIX_FMT_FLAG_PLANAR)) return false;
  if ((turn == 90 || turn == 270) && d->log2_chroma_w != d->log2_chroma_h) return false;
  for (int i = 0; i < d->nb_components; ++i) {
    const AVComponentDescriptor& c = d->comp[i];
    if (c.plane != i || c.offset || c.shift || c.depth < 8 || c.depth > 16 || c.step != (c.depth > 8 ? 2 : 1)) {
      return false;
    }
  }
  return true;
}

// A plane's size in a picture of a plain format.
struct PlaneSize {
  int width, height, bytes;
};
PlaneSize SizeOf(const AVPixFmtDescriptor& d, int plane, int width, int height) {
  const bool chroma = (plane == 1 || plane == 2) && !(d.flags & AV_PIX_FMT_FLAG_RGB);
  return {chroma ? AV_CEIL_RSHIFT(width, d.log2_chroma_w) : width,
          chroma ? AV_CEIL_RSHIFT(height, d.log2_chroma_h) : height, d.comp[plane].step};
}

// Each plane's value for opaque black, limited range unless the format is
// a full-range one.
std::array<unsigned, 4> Black(const AVPixFmtDescriptor& d, AVPixelFormat format) {
  const bool rgb = d.flags & AV_PIX_FMT_FLAG_RGB;
  const bool full = rgb || format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P ||
                    format == AV_PIX_FMT_YUVJ444P || format == AV_PIX_FMT_YUVJ411P || format == AV_PIX_FMT_YUVJ440P;
  double levels[4] = {full ? 0. : 16. / 255., full ? (rgb ? 0. : 0.5) : 128. / 255., 0, 1.};
  levels[2] = levels[1];
  if (d.nb_components <= 2) levels[1] = levels[3];
  std::array<unsigned, 4> black{};
  for (int i = 0; i < d.nb_components; ++i) {
    black[static_cast<std::size_t>(i)] = static_cast<unsigned>(levels[i] * ((1 << d.comp[i].depth) - 1) + 0.5);
  }
  return black;
}

// An empty picture of the given size and format, with `like`'s properties.
FramePtr NewPicture(int width, int height, AVPixelFormat format, const AVFrame& like) {
  FramePtr picture = MakeFrame();
  if (!picture) Check(AVERROR(ENOMEM), "filtering");
  picture->width = width;
  picture->height = height;
  picture->format = format;
  Check(av_frame_get_buffer(picture.get(), 0), "filtering");
  Check(av_frame_copy_props(picture.get(), &like), "filtering");
  return picture;
}

// Copies a plane of `width` x `height` samples turned clockwise by `turn`
// degrees.
template <typename Sample>
void TurnPlane(const uint8_t* fromData, int fromStride, int width, int height, uint8_t* toData, int toStride,
               int turn) {
  const auto from = [&](int x, int y) {
    return reinterpret_cast<const Sample*>(fromData + static_cast<std::ptrdiff_t>(y) * fromStride)[x];
  };
  const auto row = [&](int y) { return reinterpret_cast<Sample*>(toData + static_cast<std::ptrdiff_t>(y) * toStride); };
  if (turn == 180) {
    for (int y = 0; y < height; ++y) {
      Sample* to = row(y);
      for (int x = 0; x < width; ++x) to[x] = from(width - 1 - x, height - 1 - y);
    }
    return;
  }
  // A quarter turn: the picture's rows become columns, read in blocks so
  // that the rows read stay in the cache. Clockwise the bottom row becomes
  // the left column; the other way the right column becomes the top row.
  constexpr int kBlock = 32;
  for (int y0 = 0; y0 < width; y0 += kBlock) {
    for (int x0 = 0; x0 < height; x0 += kBlock) {
      for (int y = y0; y < std::min(y0 + kBlock, width); ++y) {
        Sample* to = row(y);
        for (int x = x0; x < std::min(x0 + kBlock, height); ++x) {
          to[x] = turn == 90 ? from(y, height - 1 - x) : from(width - 1 - y, x);
        }
      }
    }
  }
}

}  // namespace

VideoShaper::VideoShaper(const PictureSteps& steps) : S_(steps) {
  // A picture that keeps its size keeps its format until it is framed,
  // where the steps take it as it is.
  if (S_.sourceWidth == S_.scaledWidth && S_.sourceHeight == S_.scaledHeight && Plain(S_.sourceFormat, S_.turn)) {
    WorkFormat_ = S_.sourceFormat;
  }
  const bool sideways = S_.turn == 90 || S_.turn == 270;
  Width_ = sideways ? S_.scaledHeight : S_.scaledWidth;
  Height_ = sideways ? S_.scaledWidth : S_.scaledHeight;
  if (S_.pad) {
    // The bars' frame holds whole chroma samples.
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(WorkFormat_);
    const int framedWidth = S_.frameWidth & ~((1 << d->log2_chroma_w) - 1);
    const int framedHeight = S_.frameHeight & ~((1 << d->log2_chroma_h) - 1);
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
  bool later = false;  // made 4:2:0 once turned and framed
  if (decoded.width == S_.scaledWidth && decoded.height == S_.scaledHeight && decoded.format == WorkFormat_) {
    picture.reset(av_frame_clone(&decoded));
    if (!picture) Check(AVERROR(ENOMEM), "filtering");
    later = WorkFormat_ != AV_PIX_FMT_YUV420P;
  } else {
    picture = Scale(decoded, S_.scaledWidth, S_.scaledHeight);
  }
  if (S_.turn) picture = Turn(*picture);
  if (S_.pad) picture = Pad(*picture);
  if (later) picture = Scale(*picture, picture->width, picture->height);
  picture->sample_aspect_ratio = S_.pixelShape;
  return picture;
}

// The picture at the given size in 4:2:0, bicubic. A picture that tells
// its range keeps it (full-range sources become limited range); its colour
// matrix is its own, or BT.601 when it tells none.
FramePtr VideoShaper::Scale(const AVFrame& decoded, int width, int height) {
  if (decoded.color_range != AVCOL_RANGE_UNSPECIFIED) SourceRange_ = decoded.color_range;
  if (!Scaler_ || decoded.width != ScalerWidth_ || decoded.height != ScalerHeight_ || decoded.format != ScalerFormat_ ||
      SourceRange_ != ScalerRange_ || width != ScaledWidth_ || height != ScaledHeight_) {
    Scaler_.reset(sws_alloc_context());
    SwsContext* s = Scaler_.get();
    if (!s) Check(AVERROR(ENOMEM), "filtering");
    av_opt_set_int(s, "srcw", decoded.width, 0);
    av_opt_set_int(s, "srch", decoded.height, 0);
    av_opt_set_int(s, "src_format", decoded.format, 0);
    av_opt_set_int(s, "dstw", width, 0);
    av_opt_set_int(s, "dsth", height, 0);
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
    ScaledWidth_ = width;
    ScaledHeight_ = height;
  }
  SwsContext* s = Scaler_.get();
  int *sourceTable = nullptr, *outputTable = nullptr;
  int sourceFull = 0, outputFull = 0, brightness = 0, contrast = 0, saturation = 0;
  sws_getColorspaceDetails(s, &sourceTable, &sourceFull, &outputTable, &outputFull, &brightness, &contrast,
                           &saturation);
  int space = decoded.colorspace;
  if (space < 1 || space > 10 || space == AVCOL_SPC_YCGCO) space = AVCOL_SPC_BT470BG;
  const int* table = sws_getCoefficients(space);
  if (decoded.color_range != AVCOL_RANGE_UNSPECIFIED) sourceFull = decoded.color_range == AVCOL_RANGE_JPEG;
  sws_setColorspaceDetails(s, table, sourceFull, table, outputFull, brightness, contrast, saturation);

  FramePtr picture = NewPicture(width, height, AV_PIX_FMT_YUV420P, decoded);
  if (picture->colorspace == AVCOL_SPC_RGB) picture->colorspace = AVCOL_SPC_UNSPECIFIED;
  picture->color_range = outputFull ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
  Check(sws_scale_frame(s, picture.get(), &decoded), "filtering");
  return picture;
}

FramePtr VideoShaper::Turn(const AVFrame& picture) const {
  const auto format = static_cast<AVPixelFormat>(picture.format);
  const AVPixFmtDescriptor& d = *av_pix_fmt_desc_get(format);
  const bool sideways = S_.turn == 90 || S_.turn == 270;
  FramePtr turned =
      NewPicture(sideways ? picture.height : picture.width, sideways ? picture.width : picture.height, format, picture);
  for (int plane = 0; plane < d.nb_components; ++plane) {
    const PlaneSize size = SizeOf(d, plane, picture.width, picture.height);
    const auto turn = size.bytes == 2 ? TurnPlane<uint16_t> : TurnPlane<uint8_t>;
    turn(picture.data[plane], picture.linesize[plane], size.width, size.height, turned->data[plane],
         turned->linesize[plane], S_.turn);
  }
  return turned;
}

// The picture in black bars, at the bars' place rounded down to whole
// chroma samples. A picture of a size of part chroma samples loses its
// last columns or rows, which would share chroma with the bars.
FramePtr VideoShaper::Pad(const AVFrame& picture) const {
  const auto format = static_cast<AVPixelFormat>(picture.format);
  const AVPixFmtDescriptor& d = *av_pix_fmt_desc_get(format);
  const int roundW = ~((1 << d.log2_chroma_w) - 1), roundH = ~((1 << d.log2_chroma_h) - 1);
  const int x = S_.padX & roundW, y = S_.padY & roundH;
  const int width = std::min(picture.width & roundW, Width_ - x);
  const int height = std::min(picture.height & roundH, Height_ - y);
  FramePtr framed = NewPicture(Width_, Height_, format, picture);
  const std::array<unsigned, 4> black = Black(d, format);
  for (int plane = 0; plane < d.nb_components; ++plane) {
    const PlaneSize all = SizeOf(d, plane, Width_, Height_);
    const PlaneSize at = SizeOf(d, plane, x, y);
    const PlaneSize shown = SizeOf(d, plane, width, height);
    uint8_t* to = framed->data[plane];
    const std::ptrdiff_t stride = framed->linesize[plane];
    const unsigned value = black[static_cast<std::size_t>(plane)];
    for (int row = 0; row < all.height; ++row) {
      uint8_t* line = to + row * stride;
      if (all.bytes == 1) {
        std::memset(line, static_cast<int>(value), static_cast<std::size_t>(all.width));
      } else {
        std::fill_n(reinterpret_cast<uint16_t*>(line), all.width, static_cast<uint16_t>(value));
      }
    }
    for (int row = 0; row < shown.height; ++row) {
      std::memcpy(to + (at.height + row) * stride + static_cast<std::ptrdiff_t>(at.width) * all.bytes,
                  picture.data[plane] + static_cast<std::ptrdiff_t>(row) * picture.linesize[plane],
                  static_cast<std::size_t>(shown.width) * all.bytes);
    }
  }
  return framed;
}

}  // namespace tarquel::encoder
