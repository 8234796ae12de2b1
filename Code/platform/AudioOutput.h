// Sound out of the system's default output device, for the preview: 16-bit
// signed interleaved samples queued without blocking, and the count of
// those played, which the preview takes as its clock. Where the system (or
// this build) has no output, Open gives none and the preview plays silent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tarquel::platform {

class TAudioOutput {
 public:
  // The default output, opened paused, for `rate` frames a second of
  // `channels` (1 or 2) samples each; null when there is none.
  static std::unique_ptr<TAudioOutput> Open(int rate, int channels);

  virtual ~TAudioOutput() = default;
  // Queues up to `frames` frames; returns how many it took (0 when its
  // queue is full).
  virtual std::size_t Write(const std::int16_t* samples, std::size_t frames) = 0;
  // Frames queued and not played yet.
  virtual std::size_t Queued() = 0;
  // Frames played since the output was opened or last reset.
  virtual std::int64_t Played() = 0;
  virtual void Pause() = 0;
  virtual void Resume() = 0;
  // Drops all that is queued; Played starts again from 0. A paused output
  // stays paused.
  virtual void Reset() = 0;
};

}  // namespace tarquel::platform
