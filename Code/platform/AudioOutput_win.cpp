// windows.h before the headers that build on it.
#include "WinHandle.h"

#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <vector>

#include "AudioOutput.h"

namespace tarquel::platform {

namespace {

// The sound goes to the wave mapper (the default device) in a ring of
// blocks: a block is written once the device has given it back.
class TWaveOut final : public TAudioOutput {
 public:
  TWaveOut(HWAVEOUT device, int rate, int channels)
      : Device_(device), Channels_(channels), BlockFrames_(static_cast<std::size_t>(std::max(rate / 20, 64))) {
    for (TBlock& block : Blocks_) block.Samples.resize(BlockFrames_ * static_cast<std::size_t>(Channels_));
    ::waveOutPause(Device_);
  }

  ~TWaveOut() override {
    ::waveOutReset(Device_);
    for (TBlock& block : Blocks_) Unprepare(block);
    ::waveOutClose(Device_);
  }

  std::size_t Write(const std::int16_t* samples, std::size_t frames) override {
    const std::lock_guard lock(M_);
    std::size_t taken = 0;
    for (TBlock& block : Blocks_) {
      if (taken == frames) break;
      if (!Free(block)) continue;
      Unprepare(block);
      const std::size_t part = std::min(frames - taken, BlockFrames_);
      const std::size_t count = part * static_cast<std::size_t>(Channels_);
      std::memcpy(block.Samples.data(), samples + taken * static_cast<std::size_t>(Channels_), count * 2);
      block.Header = {};
      block.Header.lpData = reinterpret_cast<LPSTR>(block.Samples.data());
      block.Header.dwBufferLength = static_cast<DWORD>(count * 2);
      if (::waveOutPrepareHeader(Device_, &block.Header, sizeof block.Header) != MMSYSERR_NOERROR) break;
      block.Prepared = true;
      if (::waveOutWrite(Device_, &block.Header, sizeof block.Header) != MMSYSERR_NOERROR) break;
      block.Queued = true;
      Submitted_ += static_cast<std::int64_t>(part);
      taken += part;
    }
    return taken;
  }

  std::size_t Queued() override {
    const std::lock_guard lock(M_);
    return static_cast<std::size_t>(std::max<std::int64_t>(Submitted_ - PlayedLocked(), 0));
  }

  std::int64_t Played() override {
    const std::lock_guard lock(M_);
    return PlayedLocked();
  }

  void Pause() override {
    const std::lock_guard lock(M_);
    ::waveOutPause(Device_);
    Paused_ = true;
  }

  void Resume() override {
    const std::lock_guard lock(M_);
    ::waveOutRestart(Device_);
    Paused_ = false;
  }

  void Reset() override {
    const std::lock_guard lock(M_);
    // Gives every block back and sets the position to 0.
    ::waveOutReset(Device_);
    Submitted_ = 0;
    if (Paused_) {
      ::waveOutPause(Device_);
    } else {
      ::waveOutRestart(Device_);
    }
  }

 private:
  struct TBlock {
    WAVEHDR Header{};
    std::vector<std::int16_t> Samples;
    bool Prepared = false;
    bool Queued = false;
  };

  // The device sets WHDR_DONE from its own thread when it gives a block back.
  static bool Free(const TBlock& block) {
    return !block.Queued || (static_cast<volatile const DWORD&>(block.Header.dwFlags) & WHDR_DONE) != 0;
  }

  void Unprepare(TBlock& block) {
    if (block.Prepared) ::waveOutUnprepareHeader(Device_, &block.Header, sizeof block.Header);
    block.Prepared = false;
    block.Queued = false;
  }

  std::int64_t PlayedLocked() {
    MMTIME time{};
    time.wType = TIME_SAMPLES;
    if (::waveOutGetPosition(Device_, &time, sizeof time) != MMSYSERR_NOERROR) return 0;
    if (time.wType == TIME_SAMPLES) return static_cast<std::int64_t>(time.u.sample);
    if (time.wType == TIME_BYTES) return static_cast<std::int64_t>(time.u.cb) / (2 * Channels_);
    return 0;
  }

  std::mutex M_;
  HWAVEOUT Device_;
  int Channels_;
  std::size_t BlockFrames_;  // a twentieth of a second
  std::array<TBlock, 16> Blocks_;
  std::int64_t Submitted_ = 0;  // frames written since the last reset
  bool Paused_ = true;
};

}  // namespace

std::unique_ptr<TAudioOutput> TAudioOutput::Open(int rate, int channels) {
  if (rate <= 0 || channels < 1 || channels > 2 || ::waveOutGetNumDevs() == 0) return nullptr;
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = static_cast<WORD>(channels);
  format.nSamplesPerSec = static_cast<DWORD>(rate);
  format.wBitsPerSample = 16;
  format.nBlockAlign = static_cast<WORD>(channels * 2);
  format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
  HWAVEOUT device = nullptr;
  if (::waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return nullptr;
  return std::make_unique<TWaveOut>(device, rate, channels);
}

}  // namespace tarquel::platform
