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
#include "TranscodeOutput.h"

namespace tarquel::encoder {

namespace {

using namespace tarquel::media;

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
  StreamEncoder* encoder = nullptr;  // the output's
  FramePtr filtered = MakeFrame();
  std::unique_ptr<FrameHandoff> filteredFrames = std::make_unique<FrameHandoff>();
  std::thread encoding;  // the stream's encoder works on a thread of its own
};

class Conversion {
 public:
  Conversion(const TranscodeJob& job, const ProgressReport& report)
      : Job_(job), O_(job.options), Report_(report), Output_(job) {}
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
    Output_.ChooseMuxer(Input_->HasVideo());
    // A video output type keeps the video form of the status line even when
    // the source has no picture, so that the reader finds its time in place.
    Video_ = Input_->HasVideo() || (!O_.noVideo && !O_.videoCodec.empty());
    for (auto& chain : Chains_) {
      const AVCodec* codec = Output_.EncoderFor(chain.video);
      chain.filters = std::make_unique<FilterChain>(*chain.in, chain.decoder->Context(), Input_->SampleAspectRatio(*chain.in),
                                                    codec, Output_.Muxer(), Job_);
      chain.encoder = &Output_.AddStream(chain.video, codec, chain.filters->Sink());
      // Kept apart, for the thread that feeds the encoder.
      const AVRational timeBase = chain.encoder->Context()->time_base;
      chain.filters->SetEncoder(timeBase, chain.encoder->FixedFrameSize());
      chain.decoder->SetOutputTimeBase(timeBase);
    }
    // The handheld's type keeps its form for a source without sound: the
    // video gets a silent track of the asked kind.
    if (std::string_view(Output_.Muxer()->name) == "psp" && !Input_->HasAudio()) {
      Silence_ = std::make_unique<Chain>();
      const AVCodec* codec = Output_.EncoderFor(false);
      Silence_->silence = std::make_unique<SilenceSource>(codec, O_);
      Silence_->encoder = &Output_.AddStream(false, codec, Silence_->silence->Sink());
      Silence_->silence->SetFrameSize(Silence_->encoder->FixedFrameSize());
    }
    Output_.Open();
    Convert();
  }

  // Removes an output this conversion created but could not finish.
  void DiscardOutput() {
    StopThreads();
    Output_.Discard();
  }

 private:
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
    if (Output_.Written().bytes == 0) Fail("nothing to convert from the start time on");
    // An output that takes both pictures and sound from a source that has
    // both gets both, or it is no conversion.
    for (const auto& chain : Chains_) {
      if (chain.encoder->PacketsWritten() == 0) {
        Fail(std::string("the source's ") + (chain.video ? "video" : "audio") + " could not be converted");
      }
    }
    // The streams may differ in length: the longest one counts.
    double done = 0;
    for (const auto& chain : Chains_) done = std::max(done, chain.encoder->SecondsDone());
    Input_->CheckTheSourceLasted(done);
    Output_.Finish();
    Report_(Now());
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
      Output_.Encode(*chain.encoder, frame.get());
      if (chain.video && Silence_) EncodeSilence(chain.encoder->SecondsDone(), !frame);
      if (!frame) break;
    }
  }

  // Encodes silence up to where the video written so far ends, on the
  // video's encoding thread right after its packets, so that the two stay
  // interleaved; whole encoder frames until the last, which ends with the
  // video.
  void EncodeSilence(double videoSeconds, bool last) {
    Chain& silence = *Silence_;
    const AVCodecContext* e = silence.encoder->Context();
    const int64_t until = std::llround(videoSeconds * e->sample_rate);
    const int64_t step = e->frame_size > 0 ? e->frame_size : 1024;
    AVFrame* frame = silence.filtered.get();
    while (SilentSamples_ < until && (last || SilentSamples_ + step <= until)) {
      silence.silence->Next(frame);
      frame->nb_samples = static_cast<int>(std::min<int64_t>(frame->nb_samples, until - SilentSamples_));
      frame->pts = SilentSamples_;
      SilentSamples_ += frame->nb_samples;
      Output_.Encode(*silence.encoder, frame);
      av_frame_unref(frame);
    }
    if (last) Output_.Encode(*silence.encoder, nullptr);
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

  void MaybeReport() {
    const auto now = std::chrono::steady_clock::now();
    if (now - LastReport_ < std::chrono::milliseconds(500)) return;
    LastReport_ = now;
    Report_(Now());
  }

  Progress Now() const {
    Progress progress = Output_.Written();
    progress.video = Video_;
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - Started_;
    progress.speed = spent.count() > 0 ? progress.seconds / spent.count() : 0;
    return progress;
  }

  const TranscodeJob& Job_;
  const EncoderOptions& O_;
  const ProgressReport& Report_;
  std::unique_ptr<InputFile> Input_;
  OutputFile Output_;
  std::vector<Chain> Chains_;
  std::unique_ptr<Chain> Silence_;  // the silent track a video without sound gets, if any
  int64_t SilentSamples_ = 0;       // how much of it is encoded
  bool Video_ = false;  // the status line's video form
  std::mutex Mutex_;   // guards the other threads' failure
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
