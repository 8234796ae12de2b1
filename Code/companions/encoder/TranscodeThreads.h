// The threads of a conversion and what they hand each other. This thread
// reads the input and decodes and filters the audio; the video's decoding
// (itself threaded) and filtering run on a thread of their own, and each
// stream's encoder on another.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Handoff.h"
#include "TranscodeDecoder.h"
#include "TranscodeFilters.h"
#include "TranscodeInput.h"
#include "TranscodeOutput.h"
#include "Transcoder.h"

namespace tarquel::encoder {

using FrameHandoff = Handoff<media::FramePtr>;

// Filtered frames waiting for a stream's encoder: enough to ride out the
// bursts a frame-threaded decoder gives its pictures in, few enough that
// they hold little memory (they are at the output's size).
constexpr std::size_t kFramesWaiting = 8;

// A stream's way from its decoder through its filters to its encoder.
struct StreamPipeline {
  // Opens the stream's decoder.
  StreamPipeline(const InputStream& stream, const InputFile& file, const EncoderOptions& options)
      : input(stream), decoder(stream, file, options) {}
  // Builds the filters and opens the encoder, once the kind of output is
  // known.
  void Connect(const InputFile& file, OutputFile& output, const TranscodeJob& job);

  const InputStream& input;
  StreamDecoder decoder;
  std::optional<FilterChain> filters;
  StreamEncoder* encoder = nullptr;  // the output's
  FrameHandoff filteredFrames{kFramesWaiting};
  std::thread encoding;  // the stream's encoder works on a thread of its own
};

// The silent track a video without sound gets: its source, its encoder
// and how much of it is encoded, all the video's encoding thread's.
struct SilentTrack {
  SilentTrack(OutputFile& output, const EncoderOptions& options);

  SilenceSource source;
  StreamEncoder* encoder;
  int64_t samples = 0;
  media::FramePtr frame = media::MakeFrame();

 private:
  SilentTrack(OutputFile& output, const AVCodec* codec, const EncoderOptions& options);
};

class Scheduler {
 public:
  using Streams = std::vector<std::unique_ptr<StreamPipeline>>;

  // `video`: the status line's video form; `started`: when the conversion
  // began, for its speed.
  Scheduler(InputFile& input, Streams& streams, SilentTrack* silence, OutputFile& output, const ProgressReport& report,
            bool video, std::chrono::steady_clock::time_point started);
  ~Scheduler() { Stop(); }
  Scheduler(const Scheduler&) = delete;
  Scheduler& operator=(const Scheduler&) = delete;

  // Starts the other threads and hands them the packets, `held` first and
  // then the input's, until the input ends or no stream needs more; then
  // ends every stream and waits for the threads. Reports the progress about
  // twice a second meanwhile. A failure on any thread ends them all and is
  // this one's.
  void Run(std::vector<media::PacketPtr> held);
  // The progress so far.
  Progress Now() const;

 private:
  void Work(const std::function<void()>& work);
  void DecodeVideo(StreamPipeline& stream);
  void EncodeStream(StreamPipeline& stream);
  void EncodeSilence(double videoSeconds, bool last);
  void Feed(media::PacketPtr packet);
  void Finish(StreamPipeline& stream);
  void Decode(StreamPipeline& stream, const AVPacket* packet);
  void Pull(StreamPipeline& stream);
  void MaybeReport();
  std::string WorkerFailureText();
  void CloseHandoffs();
  void JoinThreads();
  void Stop();

  InputFile& Input_;
  Streams& Streams_;
  SilentTrack* const Silence_;  // the silent track, if any
  OutputFile& Output_;
  const ProgressReport& Report_;
  const bool Video_;
  const std::chrono::steady_clock::time_point Started_;
  std::chrono::steady_clock::time_point LastReport_ = Started_;
  std::mutex Mutex_;  // guards the other threads' failure
  std::string WorkerFailure_;
  Handoff<media::PacketPtr> VideoPackets_;
  std::atomic<bool> VideoDone_ = false;  // the video needs no more packets
  std::thread DecodingThread_;
};

}  // namespace tarquel::encoder
