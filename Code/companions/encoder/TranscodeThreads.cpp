#include "TranscodeThreads.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "TranscodeCommon.h"

namespace tarquel::encoder {

using namespace tarquel::media;

void StreamPipeline::Connect(const InputFile& file, OutputFile& output, const TranscodeJob& job) {
  const AVCodec* codec = output.EncoderFor(input.video);
  filters.emplace(input, decoder.Context(), file.SampleAspectRatio(input), codec, output.Muxer(), job);
  double sourcePixelRate = 0;
  if (input.video) {
    sourcePixelRate = static_cast<double>(decoder.Context()->width) * decoder.Context()->height *
                      av_q2d(StreamFrameRate(input.stream));
  }
  encoder = &output.AddStream(input.video, codec, filters->Form(), sourcePixelRate);
  // Kept apart, for the thread that feeds the encoder.
  const AVRational timeBase = encoder->Context()->time_base;
  filters->SetEncoder(timeBase, encoder->FixedFrameSize());
  decoder.SetOutputTimeBase(timeBase);
}

SilentTrack::SilentTrack(OutputFile& output, const EncoderOptions& options)
    : SilentTrack(output, output.EncoderFor(false), options) {}

SilentTrack::SilentTrack(OutputFile& output, const AVCodec* codec, const EncoderOptions& options)
    : source(codec, options), encoder(&output.AddStream(false, codec, source.Form())) {
  source.SetFrameSize(encoder->FixedFrameSize());
}

namespace {

// Video packets waiting for the decoding thread: twice the pictures the
// decoder has in flight on its threads, so that it never waits while the
// reading thread works on the audio, and no more: a second of a high-rate
// HD source's packets would be megabytes.
std::size_t PacketsWaiting(const Scheduler::Streams& streams) {
  std::size_t waiting = 8;
  for (const auto& stream : streams) {
    if (stream->input.video) {
      waiting = std::max(waiting, 2 * static_cast<std::size_t>(std::max(1, stream->decoder.Context()->thread_count)));
    }
  }
  return waiting;
}

}  // namespace

Scheduler::Scheduler(InputFile& input, Streams& streams, SilentTrack* silence, OutputFile& output,
                     const ProgressReport& report, bool video, std::chrono::steady_clock::time_point started)
    : Input_(input), Streams_(streams), Silence_(silence), Output_(output), Report_(report), Video_(video),
      Started_(started), VideoPackets_(PacketsWaiting(streams)) {}

void Scheduler::Run(std::vector<PacketPtr> held) {
  // Each stream's encoder works on a thread of its own, and the video's
  // decoding (itself threaded) and filtering on another, while this one
  // reads the input and decodes and filters the audio.
  for (auto& stream : Streams_) {
    StreamPipeline& s = *stream;
    s.encoding = std::thread([this, &s] { Work([&] { EncodeStream(s); }); });
    if (s.input.video) DecodingThread_ = std::thread([this, &s] { Work([&] { DecodeVideo(s); }); });
  }
  const auto allDone = [&] {
    return std::all_of(Streams_.begin(), Streams_.end(), [&](const auto& s) {
      return s->input.video ? VideoDone_.load() : s->filters->Done();
    });
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
    if (!Input_.Read(packet.get())) break;
    Feed(std::move(packet));
  }
  if (DecodingThread_.joinable()) VideoPackets_.Push(nullptr);
  for (auto& stream : Streams_) {
    if (!stream->input.video) Finish(*stream);
  }
  JoinThreads();
  if (!WorkerFailure_.empty()) Fail(WorkerFailure_);
}

Progress Scheduler::Now() const {
  Progress progress = Output_.Written();
  progress.video = Video_;
  const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - Started_;
  progress.speed = spent.count() > 0 ? progress.seconds / spent.count() : 0;
  return progress;
}

void Scheduler::Feed(PacketPtr packet) {
  for (auto& stream : Streams_) {
    StreamPipeline& s = *stream;
    if (packet->stream_index != s.input.stream->index) continue;
    if (s.input.video) {
      if (!VideoPackets_.Push(std::move(packet))) Fail(WorkerFailureText());
    } else if (!s.filters->Done()) {
      Decode(s, packet.get());
    }
    break;
  }
  MaybeReport();
}

// Drains a stream's decoder and filters at the end of the input, and
// hands the end to its encoder.
void Scheduler::Finish(StreamPipeline& s) {
  if (!s.filters->Done()) {
    Decode(s, nullptr);
    // The end is where the last frame ends, not where it starts, so that
    // the frame-rate filter keeps the last frame.
    s.filters->Close(s.decoder.EndPts());
    Pull(s);
  }
  s.filteredFrames.Push(nullptr);
}

// Runs the work of one of the other threads; a failure there ends them all
// and is reported by the reading thread.
void Scheduler::Work(const std::function<void()>& work) {
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
void Scheduler::DecodeVideo(StreamPipeline& s) {
  PacketPtr packet;
  while (VideoPackets_.Pop(packet)) {
    if (!packet) {
      Finish(s);
      break;
    }
    if (!s.filters->Done()) Decode(s, packet.get());
  }
  VideoDone_ = true;
  VideoPackets_.Close();
}

// A stream's encoding thread: its filtered frames until the last.
void Scheduler::EncodeStream(StreamPipeline& s) {
  FramePtr frame;
  while (s.filteredFrames.Pop(frame)) {
    Output_.Encode(*s.encoder, frame.get());
    if (s.input.video && Silence_) EncodeSilence(s.encoder->SecondsDone(), !frame);
    if (!frame) break;
  }
}

// Encodes silence up to where the video written so far ends, on the
// video's encoding thread right after its packets, so that the two stay
// interleaved; whole encoder frames until the last, which ends with the
// video.
void Scheduler::EncodeSilence(double videoSeconds, bool last) {
  SilentTrack& silence = *Silence_;
  const AVCodecContext* e = silence.encoder->Context();
  const int64_t until = std::llround(videoSeconds * e->sample_rate);
  const int64_t step = e->frame_size > 0 ? e->frame_size : 1024;
  AVFrame* frame = silence.frame.get();
  while (silence.samples < until && (last || silence.samples + step <= until)) {
    silence.source.Next(frame);
    frame->nb_samples = static_cast<int>(std::min<int64_t>(frame->nb_samples, until - silence.samples));
    frame->pts = silence.samples;
    silence.samples += frame->nb_samples;
    Output_.Encode(*silence.encoder, frame);
    av_frame_unref(frame);
  }
  if (last) Output_.Encode(*silence.encoder, nullptr);
}

void Scheduler::Decode(StreamPipeline& s, const AVPacket* packet) {
  s.decoder.Decode(packet, [&](AVFrame* frame) {
    if (s.filters->Done()) return;
    s.filters->Add(frame);
    Pull(s);
  });
}

// Hands the filtered frames to the stream's encoding thread.
void Scheduler::Pull(StreamPipeline& s) {
  while (FramePtr frame = s.filters->Next()) {
    if (!s.filteredFrames.Push(std::move(frame))) Fail(WorkerFailureText());
  }
  if (s.input.video && s.filters->Done()) VideoDone_ = true;
}

void Scheduler::MaybeReport() {
  const auto now = std::chrono::steady_clock::now();
  if (now - LastReport_ < std::chrono::milliseconds(500)) return;
  LastReport_ = now;
  Report_(Now());
}

std::string Scheduler::WorkerFailureText() {
  std::lock_guard lock(Mutex_);
  return WorkerFailure_.empty() ? "the conversion stopped" : WorkerFailure_;
}

void Scheduler::CloseHandoffs() {
  VideoPackets_.Close();
  for (auto& stream : Streams_) stream->filteredFrames.Close();
}

void Scheduler::JoinThreads() {
  if (DecodingThread_.joinable()) DecodingThread_.join();
  for (auto& stream : Streams_) {
    if (stream->encoding.joinable()) stream->encoding.join();
  }
}

void Scheduler::Stop() {
  CloseHandoffs();
  JoinThreads();
}

}  // namespace tarquel::encoder
