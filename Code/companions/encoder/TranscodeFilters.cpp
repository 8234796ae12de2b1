#include "TranscodeFilters.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/display.h>
#include <libavutil/samplefmt.h>
}

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

namespace tarquel::encoder {

using namespace tarquel::media;

namespace {

// The cut's times are taken to the microsecond, as "%.6f" prints them.
std::string TimeText(double seconds) { return Format("%.6f", seconds); }

// Whole microseconds of a time printed by TimeText.
int64_t Microseconds(const std::string& text) {
  const char* p = text.c_str();
  const bool negative = *p == '-';
  if (negative) ++p;
  char* rest = nullptr;
  int64_t micros = std::strtoll(p, &rest, 10) * 1000000;
  if (*rest == '.') {
    ++rest;
    for (int unit = 100000; unit >= 1 && *rest >= '0' && *rest <= '9'; unit /= 10, ++rest) {
      micros += unit * (*rest - '0');
    }
  }
  return negative ? -micros : micros;
}

// How far a stream's picture is turned clockwise to be shown upright: 0, 90,
// 180 or 270 degrees, from its display matrix, as FFmpeg's own tools read it.
int Turn(const AVStream* stream) {
  std::size_t size = 0;
  const uint8_t* matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
  if (!matrix || size < 9 * sizeof(int32_t)) return 0;
  const double counterclockwise = av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
  if (std::isnan(counterclockwise)) return 0;
  const int turn = static_cast<int>(std::lround(-counterclockwise / 90)) % 4 * 90;
  return turn < 0 ? turn + 360 : turn;
}

AVRational OutputFrameRate(const AVStream* input, const TranscodeJob& job, const AVOutputFormat* muxer) {
  const EncoderOptions& o = job.options;
  double fps = 0;
  if (o.frameRate) {
    fps = *o.frameRate;
  } else if (job.sourceFps) {
    // A script's rate is the output's when the command line gives none;
    // the source goes to it in the one frame-rate step, as a second step
    // before it would double and drop pictures twice over.
    fps = *job.sourceFps;
  } else {
    const AVRational rate = StreamFrameRate(input);
    fps = av_q2d(rate) > 1000 ? 25 : av_q2d(rate);
  }
  // The handheld plays only the NTSC rates: 15 and 30 (and their rounded
  // 14.985 and 29.97) become exactly 15000/1001 and 30000/1001.
  if (std::string_view(muxer->name) == "psp") {
    if (std::abs(fps - 15) < 0.02) return {15000, 1001};
    if (std::abs(fps - 30) < 0.04) return {30000, 1001};
  }
  return av_d2q(fps, 65535);
}

// The steps that fit the source's picture, as it is meant to be seen (its
// pixels' shape, turned upright), whole and centred into the output frame
// at the output's display aspect, black around it. The frame is -s (else
// the turned source's size), its display aspect -aspect (else that of the
// frame with square pixels under -s, else the source's). A picture of the
// frame's shape gets no bars.
PictureSteps ShapeSteps(const AVStream* input, const AVCodecContext* decoded, AVRational pixelShape,
                        const EncoderOptions& o) {
  const int w = decoded->width, h = decoded->height;
  AVRational sar = pixelShape;
  if (sar.num <= 0 || sar.den <= 0) sar = {1, 1};
  const int turn = Turn(input);
  const bool sideways = turn == 90 || turn == 270;
  // The source's display aspect, as a ratio.
  int64_t shownNum = int64_t{w} * sar.num, shownDen = int64_t{h} * sar.den;
  if (sideways) std::swap(shownNum, shownDen);
  AVRational shown{};
  av_reduce(&shown.num, &shown.den, shownNum, shownDen, INT_MAX);
  const int frameW = o.width ? *o.width : sideways ? h : w;
  const int frameH = o.width ? *o.height : sideways ? w : h;
  AVRational aspect = shown;
  if (o.aspectNum) aspect = {*o.aspectNum, *o.aspectDen};
  else if (o.width) aspect = {frameW, frameH};
  // The output's pixel shape, within what the MPEG-4 header can say.
  AVRational outSar = av_mul_q(aspect, AVRational{frameH, frameW});
  av_reduce(&outSar.num, &outSar.den, outSar.num, outSar.den, 255);
  // The picture's width over height in output pixels, fitted to the frame
  // in even sizes (4:2:0 chroma); a pixel short of the frame is the frame.
  const double pixelRatio = av_q2d(shown) / av_q2d(outSar);
  const auto even = [](double size, int limit) {
    const int rounded = std::max(2, 2 * static_cast<int>(std::lround(size / 2)));
    return rounded >= limit - 1 ? limit : rounded;
  };
  int pictureW = frameW, pictureH = frameH;
  if (pixelRatio > static_cast<double>(frameW) / frameH) pictureH = even(frameW / pixelRatio, frameH);
  else pictureW = even(frameH * pixelRatio, frameW);
  // Scaled before it is turned, where there are fewer pixels to turn.
  PictureSteps steps;
  steps.scaledWidth = sideways ? pictureH : pictureW;
  steps.scaledHeight = sideways ? pictureW : pictureH;
  steps.turn = turn;
  if (pictureW < frameW || pictureH < frameH) {
    steps.pad = true;
    steps.frameWidth = frameW;
    steps.frameHeight = frameH;
    steps.padX = (frameW - pictureW) / 2 & ~1;
    steps.padY = (frameH - pictureH) / 2 & ~1;
  }
  steps.pixelShape = av_d2q(av_q2d(outSar), 255);
  return steps;
}

}  // namespace

FilterChain::FilterChain(const InputStream& input, const AVCodecContext* decoded, AVRational pixelShape,
                         const AVCodec* encoder, const AVOutputFormat* muxer, const TranscodeJob& job) {
  const EncoderOptions& o = job.options;
  const AVCodecContext* d = decoded;
  const AVRational timeBase = input.stream->time_base;
  if (timeBase.num <= 0 || timeBase.den <= 0) Check(AVERROR(EINVAL), "filter set-up");
  const std::string start = TimeText(o.startSeconds);
  const std::string end = o.durationSeconds ? TimeText(o.startSeconds + *o.durationSeconds) : std::string();
  // The output starts at the cut's start.
  const double shift = std::strtod(start.c_str(), nullptr) / av_q2d(timeBase);
  if (input.video) {
    if (d->pix_fmt == AV_PIX_FMT_NONE || d->width <= 0 || d->height <= 0) Check(AVERROR(EINVAL), "filter set-up");
    PictureSteps steps = ShapeSteps(input.stream, d, pixelShape, o);
    steps.timeBase = timeBase;
    steps.cutStart = av_rescale_q(Microseconds(start), AV_TIME_BASE_Q, timeBase);
    if (!end.empty()) steps.cutEnd = av_rescale_q(Microseconds(end), AV_TIME_BASE_Q, timeBase);
    steps.shift = shift;
    steps.frameRate = av_d2q(av_q2d(OutputFrameRate(input.stream, job, muxer)), INT_MAX);
    steps.sourceWidth = d->width;
    steps.sourceHeight = d->height;
    steps.sourceFormat = d->pix_fmt;
    Video_ = std::make_unique<VideoShaper>(steps);
    Form_.width = Video_->Width();
    Form_.height = Video_->Height();
    Form_.pixelFormat = AV_PIX_FMT_YUV420P;
    Form_.pixelShape = steps.pixelShape;
    Form_.frameRate = steps.frameRate;
    TimeBase_ = Video_->TimeBase();
  } else {
    if (d->sample_fmt == AV_SAMPLE_FMT_NONE || d->sample_rate <= 0 || d->ch_layout.nb_channels <= 0) {
      Check(AVERROR(EINVAL), "filter set-up");
    }
    AVChannelLayout layout{};
    if (d->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
      av_channel_layout_default(&layout, d->ch_layout.nb_channels);
    } else {
      Check(av_channel_layout_copy(&layout, &d->ch_layout), "filter set-up");
    }
    SoundSteps steps;
    steps.timeBase = timeBase;
    steps.sampleRate = d->sample_rate;
    steps.sampleFormat = d->sample_fmt;
    const AVRational perSample{1, d->sample_rate};
    steps.cutStart = av_rescale_q(Microseconds(start), AV_TIME_BASE_Q, perSample);
    if (!end.empty()) steps.cutEnd = av_rescale_q(Microseconds(end), AV_TIME_BASE_Q, perSample);
    steps.shift = shift;
    if (o.volumePercent && *o.volumePercent != 100) {
      steps.gain = std::strtod(Format("%g", *o.volumePercent / 100.0).c_str(), nullptr);
      // A gain above one would flatten the peaks of a loud source at full
      // scale; a look-ahead limiter holds them under -1 dBFS instead.
      steps.limit = *o.volumePercent > 100;
    }
    steps.outputRate = o.sampleRate;
    steps.outputFormat = encoder->sample_fmts ? encoder->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    steps.outputChannels = o.channels ? *o.channels : std::min(layout.nb_channels, 2);
    try {
      Audio_ = std::make_unique<AudioShaper>(steps, layout);
    } catch (...) {
      av_channel_layout_uninit(&layout);
      throw;
    }
    av_channel_layout_uninit(&layout);
    Form_.sampleRate = Audio_->SampleRate();
    Form_.sampleFormat = steps.outputFormat;
    Form_.channels = steps.outputChannels;
    TimeBase_ = Audio_->TimeBase();
  }
}

void FilterChain::SetEncoder(AVRational timeBase, int frameSize) {
  EncoderTimeBase_ = timeBase;
  if (Audio_ && frameSize > 0) Audio_->SetFrameSize(frameSize);
}

void FilterChain::Add(AVFrame* frame) {
  FramePtr taken = MakeFrame();
  if (!taken) Check(AVERROR(ENOMEM), "filtering");
  av_frame_move_ref(taken.get(), frame);
  if (Video_) Video_->Add(std::move(taken));
  else Audio_->Add(std::move(taken));
}

void FilterChain::Close(int64_t endPts) {
  if (Video_) Video_->Close(endPts);
  else Audio_->Close();
}

FramePtr FilterChain::Next() {
  FramePtr frame = Video_ ? Video_->Next() : Audio_->Next();
  if (!frame) {
    Done_ = Video_ ? Video_->Ended() : Audio_->Ended();
    return nullptr;
  }
  frame->pts = av_rescale_q(frame->pts, TimeBase_, EncoderTimeBase_);
  frame->pict_type = AV_PICTURE_TYPE_NONE;
  return frame;
}

SilenceSource::SilenceSource(const AVCodec* encoder, const EncoderOptions& options) {
  Form_.sampleRate = options.sampleRate.value_or(44100);
  Form_.sampleFormat = encoder->sample_fmts ? encoder->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
  Form_.channels = options.channels.value_or(2);
}

void SilenceSource::SetFrameSize(int frameSize) {
  if (frameSize > 0) FrameSize_ = frameSize;
}

void SilenceSource::Next(AVFrame* frame) {
  frame->nb_samples = FrameSize_;
  frame->format = Form_.sampleFormat;
  frame->sample_rate = Form_.sampleRate;
  av_channel_layout_default(&frame->ch_layout, Form_.channels);
  Check(av_frame_get_buffer(frame, 0), "silent track");
  av_samples_set_silence(frame->extended_data, 0, FrameSize_, Form_.channels, Form_.sampleFormat);
}

}  // namespace tarquel::encoder
