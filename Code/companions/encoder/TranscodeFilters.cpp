#include "TranscodeFilters.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/display.h>
#include <libavutil/samplefmt.h>
}

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>
#include <string_view>
#include <utility>

#include "TranscodeCommon.h"

namespace tarquel::encoder {

using namespace tarquel::media;

namespace {

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
    AVRational rate = input->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = input->r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0 || av_q2d(rate) > 1000) rate = {25, 1};
    fps = av_q2d(rate);
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
// frame's shape gets no bars and no pad step.
std::string ShapeSteps(const AVStream* input, const AVCodecContext* decoded, AVRational pixelShape,
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
  std::string steps;
  const int scaledW = sideways ? pictureH : pictureW, scaledH = sideways ? pictureW : pictureH;
  if (scaledW != w || scaledH != h) steps += Format(",scale=%d:%d", scaledW, scaledH);
  if (turn == 90) steps += ",transpose=clock";
  if (turn == 180) steps += ",hflip,vflip";
  if (turn == 270) steps += ",transpose=cclock";
  if (pictureW < frameW || pictureH < frameH) {
    steps += Format(",pad=%d:%d:%d:%d:black", frameW, frameH, (frameW - pictureW) / 2 & ~1,
                    (frameH - pictureH) / 2 & ~1);
  }
  return steps + Format(",setsar=sar=%s:max=255", Rational(outSar).c_str());
}

}  // namespace

FilterChain::FilterChain(const InputStream& input, const AVCodecContext* decoded, AVRational pixelShape,
                         const AVCodec* encoder, const AVOutputFormat* muxer, const TranscodeJob& job) {
  const EncoderOptions& o = job.options;
  Graph_.reset(avfilter_graph_alloc());
  const AVCodecContext* d = decoded;
  std::string sourceArgs;
  const AVFilter* sourceFilter;
  const AVFilter* sinkFilter;
  std::string steps;
  const std::string cut = Format("trim=start=%.6f", o.startSeconds) +
                          (o.durationSeconds ? Format(":end=%.6f", o.startSeconds + *o.durationSeconds) : "");
  const std::string rebase = Format("setpts=PTS-%.6f/TB", o.startSeconds);
  if (input.video) {
    AVRational sar = d->sample_aspect_ratio.num > 0 ? d->sample_aspect_ratio : AVRational{1, 1};
    sourceArgs = Format("video_size=%dx%d:pix_fmt=%d:time_base=%s:pixel_aspect=%s", d->width, d->height,
                        static_cast<int>(d->pix_fmt), Rational(input.stream->time_base).c_str(), Rational(sar).c_str());
    sourceFilter = avfilter_get_by_name("buffer");
    sinkFilter = avfilter_get_by_name("buffersink");
    steps += cut + "," + rebase + ",fps=fps=" + Rational(OutputFrameRate(input.stream, job, muxer));
    steps += ShapeSteps(input.stream, d, pixelShape, o) + ",format=yuv420p";
  } else {
    AVChannelLayout layout{};
    if (d->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
      av_channel_layout_default(&layout, d->ch_layout.nb_channels);
    } else {
      av_channel_layout_copy(&layout, &d->ch_layout);
    }
    char layoutText[128] = "";
    av_channel_layout_describe(&layout, layoutText, sizeof layoutText);
    const int sourceChannels = layout.nb_channels;
    av_channel_layout_uninit(&layout);
    sourceArgs = Format("time_base=%s:sample_rate=%d:sample_fmt=%s:channel_layout=%s",
                        Rational(input.stream->time_base).c_str(), d->sample_rate, av_get_sample_fmt_name(d->sample_fmt),
                        layoutText);
    sourceFilter = avfilter_get_by_name("abuffer");
    sinkFilter = avfilter_get_by_name("abuffersink");
    const int channels = o.channels ? *o.channels : std::min(sourceChannels, 2);
    steps += "a" + cut + ",a" + rebase;
    if (o.volumePercent && *o.volumePercent != 100) steps += Format(",volume=%g", *o.volumePercent / 100.0);
    // A gain above one would flatten the peaks of a loud source at full
    // scale; a look-ahead limiter holds them under -1 dBFS instead.
    if (o.volumePercent && *o.volumePercent > 100) steps += ",alimiter=limit=0.891251:level=0:latency=1";
    if (o.sampleRate) steps += Format(",aresample=%d", *o.sampleRate);
    const AVSampleFormat format = encoder->sample_fmts ? encoder->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    steps += Format(",aformat=sample_fmts=%s:channel_layouts=%s", av_get_sample_fmt_name(format),
                    channels == 1 ? "mono" : "stereo");
    // Times counted in samples: a source whose time base counts whole
    // packets (MP3 in AVI) would give the encoder's shorter frames
    // colliding times.
    steps += ",asettb=expr=1/sr";
  }
  Check(avfilter_graph_create_filter(&Source_, sourceFilter, "in", sourceArgs.c_str(), nullptr, Graph_.get()),
        "filter set-up");
  Check(avfilter_graph_create_filter(&Sink_, sinkFilter, "out", nullptr, nullptr, Graph_.get()), "filter set-up");

  FilterInOutPtr outputs(avfilter_inout_alloc()), inputs(avfilter_inout_alloc());
  outputs->name = av_strdup("in");
  outputs->filter_ctx = Source_;
  inputs->name = av_strdup("out");
  inputs->filter_ctx = Sink_;
  AVFilterInOut* in = inputs.release();
  AVFilterInOut* out = outputs.release();
  const int parsed = avfilter_graph_parse_ptr(Graph_.get(), steps.c_str(), &in, &out, nullptr);
  inputs.reset(in);
  outputs.reset(out);
  Check(parsed, "filter set-up");
  Check(avfilter_graph_config(Graph_.get(), nullptr), "filter set-up");
}

void FilterChain::SetEncoder(AVRational timeBase, int frameSize) {
  EncoderTimeBase_ = timeBase;
  if (frameSize > 0) av_buffersink_set_frame_size(Sink_, static_cast<unsigned>(frameSize));
}

void FilterChain::Add(AVFrame* frame) { Check(av_buffersrc_add_frame_flags(Source_, frame, 0), "filtering"); }

void FilterChain::Close(int64_t endPts) {
  Check(endPts == AV_NOPTS_VALUE ? av_buffersrc_add_frame(Source_, nullptr) : av_buffersrc_close(Source_, endPts, 0),
        "filtering");
}

FramePtr FilterChain::Next() {
  AVFrame* filtered = Filtered_.get();
  const int got = av_buffersink_get_frame(Sink_, filtered);
  if (got == AVERROR(EAGAIN)) return nullptr;
  if (got == AVERROR_EOF) {
    Done_ = true;
    return nullptr;
  }
  Check(got, "filtering");
  filtered->pts = av_rescale_q(filtered->pts, av_buffersink_get_time_base(Sink_), EncoderTimeBase_);
  filtered->pict_type = AV_PICTURE_TYPE_NONE;
  FramePtr frame = MakeFrame();
  av_frame_move_ref(frame.get(), filtered);
  return frame;
}

SilenceSource::SilenceSource(const AVCodec* encoder, const EncoderOptions& options) {
  Graph_.reset(avfilter_graph_alloc());
  const AVSampleFormat format = encoder->sample_fmts ? encoder->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
  const int channels = options.channels.value_or(2);
  const std::string steps = Format("anullsrc=r=%d:cl=%s,aformat=sample_fmts=%s", options.sampleRate.value_or(44100),
                                   channels == 1 ? "mono" : "stereo", av_get_sample_fmt_name(format));
  Check(avfilter_graph_create_filter(&Sink_, avfilter_get_by_name("abuffersink"), "out", nullptr, nullptr,
                                     Graph_.get()),
        "filter set-up");
  FilterInOutPtr inputs(avfilter_inout_alloc());
  inputs->name = av_strdup("out");
  inputs->filter_ctx = Sink_;
  AVFilterInOut* in = inputs.release();
  AVFilterInOut* out = nullptr;
  const int parsed = avfilter_graph_parse_ptr(Graph_.get(), steps.c_str(), &in, &out, nullptr);
  inputs.reset(in);
  FilterInOutPtr outputs(out);
  Check(parsed, "filter set-up");
  Check(avfilter_graph_config(Graph_.get(), nullptr), "filter set-up");
}

void SilenceSource::SetFrameSize(int frameSize) {
  if (frameSize > 0) av_buffersink_set_frame_size(Sink_, static_cast<unsigned>(frameSize));
}

void SilenceSource::Next(AVFrame* frame) { Check(av_buffersink_get_frame(Sink_, frame), "silent track"); }

}  // namespace tarquel::encoder
