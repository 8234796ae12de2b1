#include "TranscodeDecoder.h"

extern "C" {
#include <libavutil/samplefmt.h>
}

#include <algorithm>
#include <cmath>
#include <string>

#include "TranscodeCommon.h"

namespace tarquel::encoder {

using namespace tarquel::media;

StreamDecoder::StreamDecoder(const InputStream& input, const InputFile& file, const EncoderOptions& options)
    : In_(input), File_(file), O_(options) {
  const AVCodec* codec = avcodec_find_decoder(In_.stream->codecpar->codec_id);
  if (!codec) Fail(std::string("no decoder for the source's ") + (In_.video ? "video" : "audio"));
  Decoder_.reset(avcodec_alloc_context3(codec));
  Check(avcodec_parameters_to_context(Decoder_.get(), In_.stream->codecpar), "decoder set-up");
  Decoder_->pkt_timebase = In_.stream->time_base;
  Decoder_->thread_count = 0;  // as many as there are cores
  Decoder_->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
  Check(avcodec_open2(Decoder_.get(), codec, nullptr), "cannot decode the source");
}

// Frames whose decoder gives no time, and audio frames whose times do not
// advance, follow on from the one before. Whether a time advances is told
// from the time the source gave the frame before, not the one it was
// moved to: a frame moved past its neighbours would otherwise drag those
// after it along, with the rounding of each frame's length, until their
// own times caught up.
int64_t StreamDecoder::FollowOn(int64_t pts) {
  const int64_t given = pts;
  if (LastPts_ != AV_NOPTS_VALUE && EndPts_ != AV_NOPTS_VALUE &&
      (pts == AV_NOPTS_VALUE || (!In_.video && pts <= LastPts_))) {
    pts = EndPts_ + In_.timestampOffset;
  }
  if (given != AV_NOPTS_VALUE) LastPts_ = given;
  return pts;
}

// Audio that begins before the audio already decoded ends loses the
// samples that time already holds; returns false when none are left.
// Files joined by copying their packets overlap so at each join: a part's
// last packet decodes to a whole frame where its time leaves room for a
// part of one, and the next part's priming packet is squeezed in a tick
// after it. Kept, the overlapping samples would play the sound later than
// the picture by some 30 ms a join, and where they fall within one of the
// encoder's frames its times go back and the muxer refuses the packet.
// An overlap of one tick of a coarse time base (a millisecond in Matroska)
// is rounding, and one under a millisecond a wandering clock: both are
// left as they are.
bool StreamDecoder::DropOverlap(AVFrame* frame) const {
  if (In_.video || frame->pts == AV_NOPTS_VALUE || EndPts_ == AV_NOPTS_VALUE) return true;
  const AVRational tb = In_.stream->time_base;
  const int64_t overlap = EndPts_ - frame->pts;
  if (overlap <= 1 || av_compare_ts(overlap, tb, 1, AVRational{1, 1000}) < 0) return true;
  const int64_t covered = av_rescale_q(overlap, tb, AVRational{1, frame->sample_rate});
  if (covered >= frame->nb_samples) return false;
  const int left = frame->nb_samples - static_cast<int>(covered);
  Check(av_frame_make_writable(frame), "decoding");
  av_samples_copy(frame->extended_data, frame->extended_data, 0, static_cast<int>(covered), left,
                  frame->ch_layout.nb_channels, static_cast<AVSampleFormat>(frame->format));
  frame->nb_samples = left;
  frame->pts = EndPts_;
  return true;
}

// How long a decoded frame lasts, in the stream's time base.
int64_t StreamDecoder::FrameDuration(const AVFrame* frame) const {
  const AVRational tb = In_.stream->time_base;
  if (!In_.video) return av_rescale_q(frame->nb_samples, AVRational{1, frame->sample_rate}, tb);
  if (frame->pkt_duration > 0) return frame->pkt_duration;
  return std::max<int64_t>(1, av_rescale_q(1, av_inv_q(StreamFrameRate(In_.stream)), tb));
}

// Whether the picture in a video packet is surely one the frame-rate
// filter drops: one that the next picture replaces in the same output
// slot, or one before the cut. Such a picture need not be decoded when no
// other picture refers to it; a source at 30 frames a second made into 15
// drops every other one. Near the cut's ends, where the slots begin and the
// last picture must stay, and wherever the times are not plain, everything
// is decoded.
bool StreamDecoder::SurelyDropped(const AVPacket* packet) const {
  if (!In_.video || !packet || packet->pts == AV_NOPTS_VALUE || packet->duration <= 0) {
    return false;
  }
  const AVStream* input = In_.stream;
  // Only at a steady rate can the next picture be told from this one's
  // length.
  const AVRational average = input->avg_frame_rate, base = input->r_frame_rate;
  if (average.num <= 0 || average.den <= 0 || base.num <= 0 || av_cmp_q(average, base) != 0) return false;
  const double tb = av_q2d(input->time_base);
  const double at = static_cast<double>(packet->pts - In_.timestampOffset) * tb - O_.startSeconds;
  const double lasts = static_cast<double>(packet->duration) * tb;
  if (at < -0.1) return true;  // the cut drops it
  // Where the stream ends, from its own length or else the file's.
  double length = NAN;
  if (input->duration != AV_NOPTS_VALUE && input->duration > 0) {
    length = static_cast<double>(input->duration) * tb;
  } else if (File_.Duration() != AV_NOPTS_VALUE && File_.Duration() > 0) {
    length = static_cast<double>(File_.Duration()) / AV_TIME_BASE;
  }
  if (at < 1 || std::isnan(length)) return false;
  const double streamEnd = length - O_.startSeconds;
  const double end = O_.durationSeconds ? std::min(*O_.durationSeconds, streamEnd) : streamEnd;
  if (at + 2 * lasts > end - 1) return false;
  // The output slots the filters give the picture and the next one: the
  // cut moves the times back as a double truncated to the time base, and
  // the frame-rate filter rounds them to the nearest slot.
  const auto slot = [&](int64_t pts) {
    const auto moved = static_cast<int64_t>(static_cast<double>(pts - In_.timestampOffset) - O_.startSeconds / tb);
    return av_rescale_q_rnd(moved, input->time_base, OutputTimeBase_,
                            static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
  };
  return slot(packet->pts + packet->duration) <= slot(packet->pts);
}

void StreamDecoder::Decode(const AVPacket* packet, const std::function<void(AVFrame*)>& take) {
  // Set for each packet: a threaded decoder takes its settings with it.
  if (In_.video) Decoder_->skip_frame = SurelyDropped(packet) ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
  const int sent = avcodec_send_packet(Decoder_.get(), packet);
  if (sent < 0 && sent != AVERROR_EOF) return;  // a damaged packet is skipped
  AVFrame* frame = Decoded_.get();
  while (avcodec_receive_frame(Decoder_.get(), frame) >= 0) {
    int64_t pts = frame->best_effort_timestamp;
    pts = FollowOn(pts);
    frame->pts = pts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : pts - In_.timestampOffset;
    if (!DropOverlap(frame)) {
      av_frame_unref(frame);
      continue;
    }
    if (frame->pts != AV_NOPTS_VALUE) {
      const int64_t end = frame->pts + FrameDuration(frame);
      EndPts_ = EndPts_ == AV_NOPTS_VALUE ? end : std::max(EndPts_, end);
    }
    take(frame);
    av_frame_unref(frame);
  }
}

}  // namespace tarquel::encoder
