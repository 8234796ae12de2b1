// One file played with libavformat and libavcodec on a thread of its own:
// the video decoded, each picture converted by libswscale to 32-bit RGB
// fitted into the sink's box and handed over when the clock reaches its
// time; the sound, where the system has an output, resampled to 16-bit
// samples and played, its played samples then being the clock. Without
// sound the clock is the steady clock. Qt-free.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "AudioOutput.h"
#include "PictureSink.h"

namespace tarquel::media {

class TDecoderPlayback {
 public:
  // Called on the decoding thread once the file has played to its end.
  using EndHandler = std::function<void()>;

  // Opens the sound output for a rate and a channel count (1 or 2); null
  // when there is none.
  using SoundOpener = std::function<std::unique_ptr<platform::TAudioOutput>(int rate, int channels)>;

  // Opens `path` (a regular local file) and starts the decoding thread,
  // paused at the beginning, nothing shown. Raises MediaGraphError when
  // neither a video nor a sound stream can be decoded. The sound goes to
  // the system's output unless `openSound` says otherwise.
  TDecoderPlayback(const std::string& path, preview::IPictureSink& sink, EndHandler onEnd,
                   const SoundOpener& openSound = nullptr);
  // Stops the thread; the sink gets nothing after it.
  ~TDecoderPlayback();
  TDecoderPlayback(const TDecoderPlayback&) = delete;
  TDecoderPlayback& operator=(const TDecoderPlayback&) = delete;

  // The file's duration in microseconds, 0 when unknown.
  std::int64_t DurationUs() const { return DurationUs_; }

  // Plays on from the position; after the end, from the beginning.
  void Play();
  void Pause();
  // Moves to `us` from the beginning; with `show` the picture there is
  // shown, while paused too.
  void Seek(std::int64_t us, bool show);
  // The clock's position in microseconds from the beginning.
  std::int64_t PositionUs();

 private:
  struct TDecoding;

  void Run();
  std::int64_t WallUs(std::chrono::steady_clock::time_point now) const;

  preview::IPictureSink& Sink_;
  EndHandler OnEnd_;
  std::unique_ptr<TDecoding> D_;  // touched by the decoding thread alone
  std::int64_t DurationUs_ = 0;

  // What the event loop asks, and the clock; under M_.
  std::mutex M_;
  std::condition_variable Wake_;
  std::atomic<bool> Quit_{false};
  bool Playing_ = false;
  bool Ended_ = false;
  bool SeekPending_ = false;
  bool SeekShow_ = false;
  std::int64_t SeekUs_ = 0;
  // The clock: BaseUs_ at Start_, running while Playing_.
  std::int64_t BaseUs_ = 0;
  std::chrono::steady_clock::time_point Start_;

  std::thread Thread_;
};

}  // namespace tarquel::media
