#include "Transcoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/intreadwrite.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "FfmpegHandles.h"
#include "RegularFiles.h"

namespace tarquel::encoder {

namespace {

using namespace tarquel::media;

struct Failure {
  std::string text;
};

[[noreturn]] void Fail(std::string text) { throw Failure{std::move(text)}; }

void Check(int result, const std::string& what) {
  if (result < 0) Fail(what + ": " + AvErrorText(result));
}

std::string Format(const char* pattern, auto... values) {
  char text[512];
  std::snprintf(text, sizeof text, pattern, values...);
  return text;
}

std::string Rational(AVRational r) { return Format("%d/%d", r.num, r.den); }

// A stream's way from its decoder through its filters to its encoder.
struct Chain {
  bool video = false;
  AVStream* input = nullptr;
  CodecContextPtr decoder;
  FilterGraphPtr graph;
  AVFilterContext* source = nullptr;
  AVFilterContext* sink = nullptr;
  const AVCodec* encoderCodec = nullptr;
  CodecContextPtr encoder;
  AVStream* output = nullptr;
  int64_t timestampOffset = 0;  // the file's start time in the stream's time base
  bool filtersDone = false;     // the filters gave their last frame
  double secondsDone = 0;
};

class Conversion {
 public:
  Conversion(const TranscodeJob& job, const ProgressReport& report) : Job_(job), O_(job.options), Report_(report) {}

  void Run() {
    OpenInput();
    ChooseStreams();
    Muxer_ = ChooseMuxer();
    for (auto& chain : Chains_) {
      chain.encoderCodec = EncoderFor(chain);
      BuildFilters(chain);
      OpenEncoder(chain);
    }
    OpenOutput();
    Convert();
  }

  // Removes an output this conversion created but could not finish.
  void DiscardOutput() {
    if (!Output_) return;
    const bool created = OutputCreated_;
    Output_.reset();
    if (created) std::filesystem::remove(O_.output);
  }

 private:
  void OpenInput() {
    // Only a regular file: a FIFO or a device would hold the encoder forever.
    if (const std::string problem = RegularFileProblem(Job_.mediaPath); !problem.empty()) Fail(problem);
    AVFormatContext* raw = nullptr;
    Check(avformat_open_input(&raw, Job_.mediaPath.c_str(), nullptr, nullptr), "cannot open " + Job_.mediaPath);
    Input_.reset(raw);
    Check(avformat_find_stream_info(Input_.get(), nullptr), "cannot read " + Job_.mediaPath);
  }

  void ChooseStreams() {
    const auto best = [&](AVMediaType type) -> int {
      const int index = av_find_best_stream(Input_.get(), type, -1, -1, nullptr, 0);
      if (index < 0) return -1;
      return (Input_->streams[index]->disposition & AV_DISPOSITION_ATTACHED_PIC) ? -1 : index;
    };
    const int videoIndex = O_.noVideo ? -1 : best(AVMEDIA_TYPE_VIDEO);
    const int audioIndex = best(AVMEDIA_TYPE_AUDIO);
    if (videoIndex < 0 && audioIndex < 0) {
      Fail(O_.noVideo ? "the source has no audio to convert" : "the source has no audio or video to convert");
    }
    const int64_t start = Input_->start_time == AV_NOPTS_VALUE ? 0 : Input_->start_time;
    for (const int index : {videoIndex, audioIndex}) {
      if (index < 0) continue;
      Chain chain;
      chain.video = index == videoIndex;
      chain.input = Input_->streams[index];
      chain.timestampOffset = av_rescale_q(start, AV_TIME_BASE_Q, chain.input->time_base);
      OpenDecoder(chain);
      Chains_.push_back(std::move(chain));
    }
  }

  void OpenDecoder(Chain& chain) {
    const AVCodec* codec = avcodec_find_decoder(chain.input->codecpar->codec_id);
    if (!codec) Fail(std::string("no decoder for the source's ") + (chain.video ? "video" : "audio"));
    chain.decoder.reset(avcodec_alloc_context3(codec));
    Check(avcodec_parameters_to_context(chain.decoder.get(), chain.input->codecpar), "decoder set-up");
    chain.decoder->pkt_timebase = chain.input->time_base;
    chain.decoder->thread_count = 0;  // as many as there are cores
    chain.decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    Check(avcodec_open2(chain.decoder.get(), codec, nullptr), "cannot decode the source");
  }

  const AVOutputFormat* ChooseMuxer() {
    const bool hasVideo = std::any_of(Chains_.begin(), Chains_.end(), [](const Chain& c) { return c.video; });
    const bool hasAudio = std::any_of(Chains_.begin(), Chains_.end(), [](const Chain& c) { return !c.video; });
    std::string name = O_.format;
    if (name.empty()) {
      std::string ext = std::filesystem::path(O_.output).extension().string();
      std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
      if (ext == ".mp4") name = hasVideo && hasAudio ? "psp" : "mp4";
      else if (ext == ".m4a") name = "ipod";
      else if (ext == ".aac") name = "adts";
      else if (ext == ".mp3") name = "mp3";
    }
    const AVOutputFormat* muxer =
        name.empty() ? av_guess_format(nullptr, O_.output.c_str(), nullptr) : av_guess_format(name.c_str(), nullptr, nullptr);
    if (!muxer) Fail(name.empty() ? "cannot tell which kind of file to make of " + O_.output : "unknown format " + name);
    return muxer;
  }

  const AVCodec* EncoderFor(const Chain& chain) const {
    const AVOutputFormat* muxer = Muxer_;
    std::string name;
    if (chain.video) {
      name = "mpeg4";  // "xvid" is the same encoder under another tag
    } else {
      name = O_.audioCodec == "mp3" ? "libmp3lame" : O_.audioCodec == "aac" ? "aac" : "";
      if (name.empty()) name = muxer->audio_codec == AV_CODEC_ID_MP3 ? "libmp3lame" : "aac";
    }
    const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
    if (!codec) Fail("the " + name + " encoder is not available");
    // A muxer whose only video is a cover picture (mp3) holds no video stream.
    const AVCodecID usual = chain.video ? muxer->video_codec : muxer->audio_codec;
    if (usual == AV_CODEC_ID_NONE || (chain.video && usual == AV_CODEC_ID_PNG) || avformat_query_codec(muxer, codec->id, FF_COMPLIANCE_NORMAL) == 0) {
      Fail(std::string("a ") + muxer->name + " file cannot hold " + codec->name + (chain.video ? " video" : " audio"));
    }
    return codec;
  }

  AVRational OutputFrameRate(const Chain& chain) const {
    if (O_.frameRate) return av_d2q(*O_.frameRate, 65535);
    AVRational rate = chain.input->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = chain.input->r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0 || av_q2d(rate) > 1000) rate = {25, 1};
    return av_d2q(av_q2d(rate), 65535);
  }

  void BuildFilters(Chain& chain) {
    chain.graph.reset(avfilter_graph_alloc());
    const AVCodecContext* d = chain.decoder.get();
    std::string sourceArgs;
    const AVFilter* sourceFilter;
    const AVFilter* sinkFilter;
    std::string steps;
    const std::string cut = Format("trim=start=%.6f", O_.startSeconds) +
                            (O_.durationSeconds ? Format(":end=%.6f", O_.startSeconds + *O_.durationSeconds) : "");
    const std::string rebase = Format("setpts=PTS-%.6f/TB", O_.startSeconds);
    if (chain.video) {
      AVRational sar = d->sample_aspect_ratio.num > 0 ? d->sample_aspect_ratio : AVRational{1, 1};
      sourceArgs = Format("video_size=%dx%d:pix_fmt=%d:time_base=%s:pixel_aspect=%s", d->width, d->height,
                          static_cast<int>(d->pix_fmt), Rational(chain.input->time_base).c_str(), Rational(sar).c_str());
      sourceFilter = avfilter_get_by_name("buffer");
      sinkFilter = avfilter_get_by_name("buffersink");
      if (Job_.sourceFps) steps += Format("fps=fps=%s,", Rational(av_d2q(*Job_.sourceFps, 1000000)).c_str());
      steps += cut + "," + rebase + ",fps=fps=" + Rational(OutputFrameRate(chain));
      if (O_.width) steps += Format(",scale=%d:%d", *O_.width, *O_.height);
      if (O_.aspectNum) steps += Format(",setdar=%d/%d", *O_.aspectNum, *O_.aspectDen);
      steps += ",format=yuv420p";
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
                          Rational(chain.input->time_base).c_str(), d->sample_rate, av_get_sample_fmt_name(d->sample_fmt),
                          layoutText);
      sourceFilter = avfilter_get_by_name("abuffer");
      sinkFilter = avfilter_get_by_name("abuffersink");
      const int channels = O_.channels ? *O_.channels : std::min(sourceChannels, 2);
      steps += "a" + cut + ",a" + rebase;
      if (O_.volumePercent && *O_.volumePercent != 100) steps += Format(",volume=%g", *O_.volumePercent / 100.0);
      if (O_.sampleRate) steps += Format(",aresample=%d", *O_.sampleRate);
      const AVSampleFormat format = chain.encoderCodec->sample_fmts ? chain.encoderCodec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
      steps += Format(",aformat=sample_fmts=%s:channel_layouts=%s", av_get_sample_fmt_name(format),
                      channels == 1 ? "mono" : "stereo");
    }
    Check(avfilter_graph_create_filter(&chain.source, sourceFilter, "in", sourceArgs.c_str(), nullptr, chain.graph.get()),
          "filter set-up");
    Check(avfilter_graph_create_filter(&chain.sink, sinkFilter, "out", nullptr, nullptr, chain.graph.get()), "filter set-up");

    FilterInOutPtr outputs(avfilter_inout_alloc()), inputs(avfilter_inout_alloc());
    outputs->name = av_strdup("in");
    outputs->filter_ctx = chain.source;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = chain.sink;
    AVFilterInOut* in = inputs.release();
    AVFilterInOut* out = outputs.release();
    const int parsed = avfilter_graph_parse_ptr(chain.graph.get(), steps.c_str(), &in, &out, nullptr);
    inputs.reset(in);
    outputs.reset(out);
    Check(parsed, "filter set-up");
    Check(avfilter_graph_config(chain.graph.get(), nullptr), "filter set-up");
  }

  void OpenEncoder(Chain& chain) {
    const AVCodec* codec = chain.encoderCodec;
    chain.encoder.reset(avcodec_alloc_context3(codec));
    AVCodecContext* e = chain.encoder.get();
    const AVFilterContext* sink = chain.sink;
    if (chain.video) {
      e->width = av_buffersink_get_w(sink);
      e->height = av_buffersink_get_h(sink);
      e->pix_fmt = static_cast<AVPixelFormat>(av_buffersink_get_format(sink));
      e->sample_aspect_ratio = av_buffersink_get_sample_aspect_ratio(sink);
      e->framerate = av_buffersink_get_frame_rate(sink);
      e->time_base = av_inv_q(e->framerate);
      e->bit_rate = int64_t{O_.videoKbits.value_or(512)} * 1000;
      // Keep the rate close to the asked one rather than the library's loose
      // default, so that a file of N seconds has about the size it was asked for.
      e->bit_rate_tolerance = static_cast<int>(e->bit_rate);
      // Simple Profile: no B-frames, no quarter-pel.
      e->max_b_frames = 0;
      e->profile = FF_PROFILE_MPEG4_SIMPLE;
      e->thread_count = 0;
    } else {
      e->sample_rate = av_buffersink_get_sample_rate(sink);
      e->sample_fmt = static_cast<AVSampleFormat>(av_buffersink_get_format(sink));
      Check(av_buffersink_get_ch_layout(sink, &e->ch_layout), "audio set-up");
      e->time_base = {1, e->sample_rate};
      e->bit_rate = int64_t{O_.audioKbits.value_or(64)} * 1000;
      if (const int* rates = codec->supported_samplerates) {
        bool supported = false;
        for (; *rates; ++rates) supported = supported || *rates == e->sample_rate;
        if (!supported) Fail(Format("the %s encoder cannot work at %d Hz", codec->name, e->sample_rate));
      }
    }
    if (Muxer_->flags & AVFMT_GLOBALHEADER) e->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    Check(avcodec_open2(e, codec, nullptr), std::string("cannot start the ") + codec->name + " encoder");
    if (!chain.video && !(codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) && e->frame_size > 0) {
      av_buffersink_set_frame_size(chain.sink, static_cast<unsigned>(e->frame_size));
    }
  }

  void OpenOutput() {
    const AVOutputFormat* muxer = Muxer_;
    AVFormatContext* raw = nullptr;
    Check(avformat_alloc_output_context2(&raw, muxer, nullptr, O_.output.c_str()), "cannot make " + O_.output);
    Output_.reset(raw);
    for (auto& chain : Chains_) {
      chain.output = avformat_new_stream(Output_.get(), nullptr);
      if (!chain.output) Fail("cannot make " + O_.output);
      Check(avcodec_parameters_from_context(chain.output->codecpar, chain.encoder.get()), "output set-up");
      chain.output->time_base = chain.encoder->time_base;
      if (chain.video) {
        chain.output->sample_aspect_ratio = chain.encoder->sample_aspect_ratio;
        chain.output->avg_frame_rate = chain.encoder->framerate;
        const unsigned xvid = MKTAG('X', 'V', 'I', 'D');
        if (O_.videoCodec == "xvid" && muxer->codec_tag && av_codec_get_id(muxer->codec_tag, xvid) == AV_CODEC_ID_MPEG4) {
          chain.output->codecpar->codec_tag = xvid;
        }
      }
    }
    if (!(muxer->flags & AVFMT_NOFILE)) {
      // Opened here, never through a link at the output path, then handed
      // to libavformat by its descriptor's name (the same open file).
      std::string error;
      const int fd = OpenOutputFile(O_.output, O_.overwrite, error);
      if (fd < 0) Fail(error);
      OutputCreated_ = true;
      const int opened = avio_open(&Output_->pb, ("/proc/self/fd/" + std::to_string(fd)).c_str(), AVIO_FLAG_WRITE);
      ::close(fd);
      Check(opened, "cannot create " + O_.output);
    }
    Check(avformat_write_header(Output_.get(), nullptr), "cannot write " + O_.output);
  }

  void Convert() {
    PacketPtr packet = MakePacket();
    Frame_ = MakeFrame();
    Filtered_ = MakeFrame();
    Encoded_ = MakePacket();
    for (;;) {
      if (std::all_of(Chains_.begin(), Chains_.end(), [](const Chain& c) { return c.filtersDone; })) break;
      // A damaged or cut-off file ends where it can no longer be read.
      if (av_read_frame(Input_.get(), packet.get()) < 0) break;
      for (auto& chain : Chains_) {
        if (packet->stream_index == chain.input->index && !chain.filtersDone) Decode(chain, packet.get());
      }
      av_packet_unref(packet.get());
      MaybeReport();
    }
    for (auto& chain : Chains_) {
      if (!chain.filtersDone) {
        Decode(chain, nullptr);
        Check(av_buffersrc_add_frame(chain.source, nullptr), "filtering");
        Pull(chain);
      }
      Encode(chain, nullptr);
    }
    if (Progress_.bytes == 0) Fail("nothing to convert from the start time on");
    Check(av_write_trailer(Output_.get()), "cannot finish " + O_.output);
    Check(avio_closep(&Output_->pb), "cannot finish " + O_.output);
    UpdateTime();
    Report_(Progress_);
  }

  void Decode(Chain& chain, const AVPacket* packet) {
    const int sent = avcodec_send_packet(chain.decoder.get(), packet);
    if (sent < 0 && sent != AVERROR_EOF) return;  // a damaged packet is skipped
    while (avcodec_receive_frame(chain.decoder.get(), Frame_.get()) >= 0) {
      const int64_t pts = Frame_->best_effort_timestamp;
      Frame_->pts = pts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : pts - chain.timestampOffset;
      if (!chain.filtersDone) {
        Check(av_buffersrc_add_frame_flags(chain.source, Frame_.get(), 0), "filtering");
        Pull(chain);
      }
      av_frame_unref(Frame_.get());
    }
  }

  void Pull(Chain& chain) {
    for (;;) {
      const int got = av_buffersink_get_frame(chain.sink, Filtered_.get());
      if (got == AVERROR(EAGAIN)) return;
      if (got == AVERROR_EOF) {
        chain.filtersDone = true;
        return;
      }
      Check(got, "filtering");
      Filtered_->pts = av_rescale_q(Filtered_->pts, av_buffersink_get_time_base(chain.sink), chain.encoder->time_base);
      Filtered_->pict_type = AV_PICTURE_TYPE_NONE;
      Encode(chain, Filtered_.get());
      av_frame_unref(Filtered_.get());
    }
  }

  void Encode(Chain& chain, const AVFrame* frame) {
    const int sent = avcodec_send_frame(chain.encoder.get(), frame);
    if (sent == AVERROR_EOF) return;
    Check(sent, "encoding");
    for (;;) {
      const int got = avcodec_receive_packet(chain.encoder.get(), Encoded_.get());
      if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return;
      Check(got, "encoding");
      Encoded_->stream_index = chain.output->index;
      av_packet_rescale_ts(Encoded_.get(), chain.encoder->time_base, chain.output->time_base);
      Progress_.bytes += Encoded_->size;
      if (chain.video) {
        ++Progress_.frames;
        size_t size = 0;
        if (const uint8_t* stats = av_packet_get_side_data(Encoded_.get(), AV_PKT_DATA_QUALITY_STATS, &size);
            stats && size >= 4) {
          Progress_.quality = static_cast<double>(AV_RL32(stats)) / FF_QP2LAMBDA;
        }
      }
      if (Encoded_->pts != AV_NOPTS_VALUE) {
        const double end = static_cast<double>(Encoded_->pts + Encoded_->duration) * av_q2d(chain.output->time_base);
        chain.secondsDone = std::max(chain.secondsDone, end);
      }
      Check(av_interleaved_write_frame(Output_.get(), Encoded_.get()), "cannot write " + O_.output);
    }
  }

  void MaybeReport() {
    const auto now = std::chrono::steady_clock::now();
    if (now - LastReport_ < std::chrono::milliseconds(500)) return;
    LastReport_ = now;
    UpdateTime();
    Report_(Progress_);
  }

  void UpdateTime() {
    // The time of the output done: its video's when it has video.
    const auto video = std::find_if(Chains_.begin(), Chains_.end(), [](const Chain& c) { return c.video; });
    Progress_.video = video != Chains_.end();
    Progress_.seconds = (Progress_.video ? *video : Chains_.front()).secondsDone;
  }

  const AVOutputFormat* Muxer_ = nullptr;
  const TranscodeJob& Job_;
  const EncoderOptions& O_;
  const ProgressReport& Report_;
  InputContextPtr Input_;
  OutputContextPtr Output_;
  bool OutputCreated_ = false;
  std::vector<Chain> Chains_;
  FramePtr Frame_, Filtered_;
  PacketPtr Encoded_;
  Progress Progress_;
  std::chrono::steady_clock::time_point LastReport_ = std::chrono::steady_clock::now();
};

}  // namespace

std::string Transcode(const TranscodeJob& job, const ProgressReport& report) {
  Conversion conversion(job, report);
  try {
    conversion.Run();
    return std::string();
  } catch (const Failure& failure) {
    conversion.DiscardOutput();
    return failure.text;
  }
}

}  // namespace tarquel::encoder
