#include "Transcoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/display.h>
#include <libavutil/intreadwrite.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
}

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "FfmpegHandles.h"
#include "Handoff.h"
#include "RegularFiles.h"
#include "TranscodeCommon.h"
#include "TranscodeDecoder.h"
#include "TranscodeFilters.h"
#include "TranscodeInput.h"

namespace tarquel::encoder {

namespace {

using namespace tarquel::media;

// The MPEG-4 Simple Profile level for a frame size and rate: the lowest that
// holds its macroblocks a frame and a second. Never below 3, the level the
// handheld's own recordings declare; above level 6's reach there is no
// Simple Profile level, and 6 is the nearest.
int SimpleProfileLevel(int width, int height, AVRational rate) {
  const double frame = std::ceil(width / 16.0) * std::ceil(height / 16.0);
  const double second = frame * av_q2d(rate);
  const struct {
    int level;
    double frame, second;
  } levels[] = {{3, 396, 11880}, {4, 1200, 36000}, {5, 1620, 40500}, {6, 3600, 108000}};  // 4: level 4a
  for (const auto& l : levels) {
    if (frame <= l.frame && second <= l.second + 1e-6) return l.level;
  }
  return 6;
}

// Room for a couple of seconds of pictures, so that a stream's encoder and
// what feeds it seldom wait for each other.
using FrameHandoff = Handoff<FramePtr, 64>;

// A stream's way from its decoder through its filters to its encoder.
struct Chain {
  bool video = false;
  const InputStream* in = nullptr;
  std::unique_ptr<StreamDecoder> decoder;
  std::unique_ptr<FilterChain> filters;
  std::unique_ptr<SilenceSource> silence;  // the silent track's
  const AVCodec* encoderCodec = nullptr;
  CodecContextPtr encoder;
  AVRational encoderTimeBase{};  // kept apart, for the thread that feeds the encoder
  AVStream* output = nullptr;
  double secondsDone = 0;
  long long packetsWritten = 0;
  FramePtr filtered = MakeFrame();
  PacketPtr encoded = MakePacket();
  std::unique_ptr<FrameHandoff> filteredFrames = std::make_unique<FrameHandoff>();
  std::thread encoding;  // the stream's encoder works on a thread of its own
};

class Conversion {
 public:
  Conversion(const TranscodeJob& job, const ProgressReport& report) : Job_(job), O_(job.options), Report_(report) {}
  ~Conversion() { StopThreads(); }
  Conversion(const Conversion&) = delete;
  Conversion& operator=(const Conversion&) = delete;

  void Run() {
    Input_ = std::make_unique<InputFile>(Job_.mediaPath, O_);
    for (const InputStream& stream : Input_->Streams()) {
      Chain chain;
      chain.video = stream.video;
      chain.in = &stream;
      chain.decoder = std::make_unique<StreamDecoder>(stream, *Input_, O_);
      Chains_.push_back(std::move(chain));
    }
    Muxer_ = ChooseMuxer();
    // A video output type keeps the video form of the status line even when
    // the source has no picture, so that the reader finds its time in place.
    Progress_.video = std::any_of(Chains_.begin(), Chains_.end(), [](const Chain& c) { return c.video; }) ||
                      (!O_.noVideo && !O_.videoCodec.empty());
    for (auto& chain : Chains_) {
      chain.encoderCodec = EncoderFor(chain);
      chain.filters = std::make_unique<FilterChain>(*chain.in, chain.decoder->Context(), Input_->SampleAspectRatio(*chain.in),
                                                    chain.encoderCodec, Muxer_, Job_);
      OpenEncoder(chain);
    }
    // The handheld's type keeps its form for a source without sound: the
    // video gets a silent track of the asked kind.
    const bool hasAudio = std::any_of(Chains_.begin(), Chains_.end(), [](const Chain& c) { return !c.video; });
    if (std::string_view(Muxer_->name) == "psp" && !hasAudio) {
      Silence_ = std::make_unique<Chain>();
      Silence_->encoderCodec = EncoderFor(*Silence_);
      Silence_->silence = std::make_unique<SilenceSource>(Silence_->encoderCodec, O_);
      OpenEncoder(*Silence_);
    }
    OpenOutput();
    Convert();
  }

  // Removes an output this conversion created but could not finish.
  void DiscardOutput() {
    StopThreads();
    if (!Output_) return;
    const bool created = OutputCreated_;
    Output_.reset();
    if (created) std::filesystem::remove(O_.output);
  }

 private:
  const AVOutputFormat* ChooseMuxer() {
    const bool hasVideo = std::any_of(Chains_.begin(), Chains_.end(), [](const Chain& c) { return c.video; });
    std::string name = O_.format;
    if (name.empty()) {
      std::string ext = std::filesystem::path(O_.output).extension().string();
      std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
      if (ext == ".mp4") {
        // The handheld's type is a movie: a source without pictures cannot
        // be one.
        if (!hasVideo && !O_.noVideo && !O_.videoCodec.empty()) Fail("the source has no video");
        name = hasVideo ? "psp" : "mp4";
      } else if (ext == ".m4a") name = "ipod";
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

  void OpenEncoder(Chain& chain) {
    const AVCodec* codec = chain.encoderCodec;
    chain.encoder.reset(avcodec_alloc_context3(codec));
    AVCodecContext* e = chain.encoder.get();
    const AVFilterContext* sink = chain.filters ? chain.filters->Sink() : chain.silence->Sink();
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
      // Declared in the header as the content needs it, rather than the
      // library's level 1.
      e->level = SimpleProfileLevel(e->width, e->height, e->framerate);
      // One thread: the encoder has a thread of its own, and in slices on
      // several threads the search from the previous frame's vectors (below)
      // would read them while another slice rewrites them, so that the same
      // source would not always give the same file.
      e->thread_count = 1;
      // The tools Simple Profile has: trellis quantisation, four motion
      // vectors a macroblock and AC prediction, with a wider motion search
      // that also starts from the previous frame's vectors, and modes and
      // sub-pel vectors judged on transformed differences (SATD). Choosing
      // each macroblock's mode by full rate-distortion trials as well would
      // add half again to the encoder's time for at most half a dB more.
      e->mb_decision = FF_MB_DECISION_SIMPLE;
      e->mb_cmp = FF_CMP_SATD;
      e->me_sub_cmp = FF_CMP_SATD;
      e->dia_size = 2;
      e->last_predictor_count = 2;
      e->flags |= AV_CODEC_FLAG_4MV | AV_CODEC_FLAG_AC_PRED;
      av_opt_set_int(e, "trellis", 1, AV_OPT_SEARCH_CHILDREN);
      // With a key frame every five seconds rather than every twelve frames,
      // the same bits buy more picture.
      e->gop_size = std::clamp(static_cast<int>(std::lround(5 * av_q2d(e->framerate))), 12, 300);
      // The finest quantiser too, so that an easy picture gets the bits asked
      // for rather than stopping short of them.
      e->qmin = 1;
      e->mb_lmin = FF_QP2LAMBDA;
      av_opt_set_int(e, "lmin", FF_QP2LAMBDA, AV_OPT_SEARCH_CHILDREN);
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
    chain.encoderTimeBase = e->time_base;
    if (chain.decoder) chain.decoder->SetOutputTimeBase(e->time_base);
    const bool fixed = !chain.video && !(codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) && e->frame_size > 0;
    if (chain.filters) chain.filters->SetEncoder(e->time_base, fixed ? e->frame_size : 0);
    else chain.silence->SetFrameSize(fixed ? e->frame_size : 0);
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
    if (Silence_) {
      Silence_->output = avformat_new_stream(Output_.get(), nullptr);
      if (!Silence_->output) Fail("cannot make " + O_.output);
      Check(avcodec_parameters_from_context(Silence_->output->codecpar, Silence_->encoder.get()), "output set-up");
      Silence_->output->time_base = Silence_->encoder->time_base;
    }
    // The handheld shows the movie under its title: the source's name.
    if (std::string_view(muxer->name) == "psp") {
      const std::string title = std::filesystem::path(Job_.mediaPath).stem().string();
      Check(av_dict_set(&Output_->metadata, "title", title.c_str(), 0), "output set-up");
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
    std::vector<PacketPtr> held = Input_->SeekToCut();
    // Each stream's encoder works on a thread of its own, and the video's
    // decoding (itself threaded) and filtering on another, while this one
    // reads the input and decodes and filters the audio.
    for (auto& chain : Chains_) {
      chain.encoding = std::thread([this, &chain] { Work([&] { EncodeStream(chain); }); });
      if (chain.video) DecodingThread_ = std::thread([this, &chain] { Work([&] { DecodeVideo(chain); }); });
    }
    const auto allDone = [&] {
      return std::all_of(Chains_.begin(), Chains_.end(),
                         [&](const Chain& c) { return c.video ? VideoDone_.load() : c.filters->Done(); });
    };
    for (PacketPtr& packet : held) {
      if (allDone()) break;
      Feed(std::move(packet));
    }
    held.clear();
    for (;;) {
      if (allDone()) break;
      // A damaged or cut-off file ends where it can no longer be read.
      PacketPtr packet = MakePacket();
      if (!Input_->Read(packet.get())) break;
      Feed(std::move(packet));
    }
    if (DecodingThread_.joinable()) VideoPackets_.Push(nullptr);
    for (auto& chain : Chains_) {
      if (!chain.video) Finish(chain);
    }
    JoinThreads();
    if (!WorkerFailure_.empty()) Fail(WorkerFailure_);
    if (Progress_.bytes == 0) Fail("nothing to convert from the start time on");
    // An output that takes both pictures and sound from a source that has
    // both gets both, or it is no conversion.
    for (const auto& chain : Chains_) {
      if (chain.packetsWritten == 0) {
        Fail(std::string("the source's ") + (chain.video ? "video" : "audio") + " could not be converted");
      }
    }
    // The streams may differ in length: the longest one counts.
    double done = 0;
    for (const auto& chain : Chains_) done = std::max(done, chain.secondsDone);
    Input_->CheckTheSourceLasted(done);
    Check(av_write_trailer(Output_.get()), "cannot finish " + O_.output);
    Check(avio_closep(&Output_->pb), "cannot finish " + O_.output);
    UpdateTime();
    Report_(Progress_);
  }

  void Feed(PacketPtr packet) {
    for (auto& chain : Chains_) {
      if (packet->stream_index != chain.in->stream->index) continue;
      if (chain.video) {
        if (!VideoPackets_.Push(std::move(packet))) Fail(WorkerFailureText());
      } else if (!chain.filters->Done()) {
        Decode(chain, packet.get());
      }
      break;
    }
    MaybeReport();
  }

  // Drains a stream's decoder and filters at the end of the input, and
  // hands the end to its encoder.
  void Finish(Chain& chain) {
    if (!chain.filters->Done()) {
      Decode(chain, nullptr);
      // The end is where the last frame ends, not where it starts, so that
      // the frame-rate filter keeps the last frame.
      chain.filters->Close(chain.decoder->EndPts());
      Pull(chain);
    }
    chain.filteredFrames->Push(nullptr);
  }

  // Runs the work of one of the other threads; a failure there ends them all
  // and is reported by the reading thread.
  void Work(const std::function<void()>& work) {
    try {
      work();
    } catch (const Failure& failure) {
      {
        std::lock_guard lock(Mutex_);
        if (WorkerFailure_.empty()) WorkerFailure_ = failure.text;
      }
      VideoDone_ = true;
      CloseHandoffs();
    }
  }

  // The video's decoding thread: its packets until the end of the input.
  void DecodeVideo(Chain& chain) {
    PacketPtr packet;
    while (VideoPackets_.Pop(packet)) {
      if (!packet) {
        Finish(chain);
        break;
      }
      if (!chain.filters->Done()) Decode(chain, packet.get());
    }
    VideoDone_ = true;
    VideoPackets_.Close();
  }

  // A stream's encoding thread: its filtered frames until the last.
  void EncodeStream(Chain& chain) {
    FramePtr frame;
    while (chain.filteredFrames->Pop(frame)) {
      Encode(chain, frame.get());
      if (chain.video && Silence_) EncodeSilence(chain.secondsDone, !frame);
      if (!frame) break;
    }
  }

  // Encodes silence up to where the video written so far ends, on the
  // video's encoding thread right after its packets, so that the two stay
  // interleaved; whole encoder frames until the last, which ends with the
  // video.
  void EncodeSilence(double videoSeconds, bool last) {
    Chain& silence = *Silence_;
    const AVCodecContext* e = silence.encoder.get();
    const int64_t until = std::llround(videoSeconds * e->sample_rate);
    const int64_t step = e->frame_size > 0 ? e->frame_size : 1024;
    AVFrame* frame = silence.filtered.get();
    while (SilentSamples_ < until && (last || SilentSamples_ + step <= until)) {
      silence.silence->Next(frame);
      frame->nb_samples = static_cast<int>(std::min<int64_t>(frame->nb_samples, until - SilentSamples_));
      frame->pts = SilentSamples_;
      SilentSamples_ += frame->nb_samples;
      Encode(silence, frame);
      av_frame_unref(frame);
    }
    if (last) Encode(silence, nullptr);
  }

  std::string WorkerFailureText() {
    std::lock_guard lock(Mutex_);
    return WorkerFailure_.empty() ? "the conversion stopped" : WorkerFailure_;
  }

  void CloseHandoffs() {
    VideoPackets_.Close();
    for (auto& chain : Chains_) chain.filteredFrames->Close();
  }

  void JoinThreads() {
    if (DecodingThread_.joinable()) DecodingThread_.join();
    for (auto& chain : Chains_) {
      if (chain.encoding.joinable()) chain.encoding.join();
    }
  }

  void StopThreads() {
    CloseHandoffs();
    JoinThreads();
  }

  void Decode(Chain& chain, const AVPacket* packet) {
    chain.decoder->Decode(packet, [&](AVFrame* frame) {
      if (chain.filters->Done()) return;
      chain.filters->Add(frame);
      Pull(chain);
    });
  }

  // Hands the filtered frames to the stream's encoding thread.
  void Pull(Chain& chain) {
    while (FramePtr frame = chain.filters->Next()) {
      if (!chain.filteredFrames->Push(std::move(frame))) Fail(WorkerFailureText());
    }
    if (chain.video && chain.filters->Done()) VideoDone_ = true;
  }

  void Encode(Chain& chain, const AVFrame* frame) {
    const int sent = avcodec_send_frame(chain.encoder.get(), frame);
    if (sent == AVERROR_EOF) return;
    Check(sent, "encoding");
    AVPacket* encoded = chain.encoded.get();
    for (;;) {
      const int got = avcodec_receive_packet(chain.encoder.get(), encoded);
      if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return;
      Check(got, "encoding");
      // The muxer and the progress are shared with the other thread.
      std::lock_guard lock(Mutex_);
      encoded->stream_index = chain.output->index;
      // A picture lasts one frame; the encoder leaves its packets without a
      // duration, and the output's time would end a frame short.
      if (chain.video && encoded->duration <= 0) encoded->duration = 1;
      av_packet_rescale_ts(encoded, chain.encoder->time_base, chain.output->time_base);
      Progress_.bytes += encoded->size;
      ++chain.packetsWritten;
      if (chain.video) {
        ++Progress_.frames;
        size_t size = 0;
        if (const uint8_t* stats = av_packet_get_side_data(encoded, AV_PKT_DATA_QUALITY_STATS, &size);
            stats && size >= 4) {
          Progress_.quality = static_cast<double>(AV_RL32(stats)) / FF_QP2LAMBDA;
        }
      }
      if (encoded->pts != AV_NOPTS_VALUE) {
        const double end = static_cast<double>(encoded->pts + encoded->duration) * av_q2d(chain.output->time_base);
        chain.secondsDone = std::max(chain.secondsDone, end);
      }
      Check(av_interleaved_write_frame(Output_.get(), encoded), "cannot write " + O_.output);
    }
  }

  void MaybeReport() {
    const auto now = std::chrono::steady_clock::now();
    if (now - LastReport_ < std::chrono::milliseconds(500)) return;
    LastReport_ = now;
    Progress progress;
    {
      std::lock_guard lock(Mutex_);
      UpdateTime();
      progress = Progress_;
    }
    Report_(progress);
  }

  void UpdateTime() {
    // The time of the output done: its video's when it has video.
    const auto video = std::find_if(Chains_.begin(), Chains_.end(), [](const Chain& c) { return c.video; });
    Progress_.seconds = (video != Chains_.end() ? *video : Chains_.front()).secondsDone;
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - Started_;
    Progress_.speed = spent.count() > 0 ? Progress_.seconds / spent.count() : 0;
  }

  const AVOutputFormat* Muxer_ = nullptr;
  const TranscodeJob& Job_;
  const EncoderOptions& O_;
  const ProgressReport& Report_;
  std::unique_ptr<InputFile> Input_;
  OutputContextPtr Output_;
  bool OutputCreated_ = false;
  std::vector<Chain> Chains_;
  std::unique_ptr<Chain> Silence_;  // the silent track a video without sound gets, if any
  int64_t SilentSamples_ = 0;       // how much of it is encoded
  Progress Progress_;
  std::mutex Mutex_;  // guards the output, the progress and the other threads' failure
  Handoff<PacketPtr, 128> VideoPackets_;
  std::atomic<bool> VideoDone_ = false;  // the video needs no more packets
  std::string WorkerFailure_;
  std::thread DecodingThread_;
  const std::chrono::steady_clock::time_point Started_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point LastReport_ = Started_;
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
