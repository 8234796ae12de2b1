// What the window and the preview child (tarquel-preview) say to each other.
//
// The channel carries lines of text. The window asks, the child answers
// every request with one line, in order:
//   activate | deactivate | clear | run | pause | stop | seek <ms>  -> ok | error <text>
//   open <path, percent-encoded>     -> opened <duration ms> <undecodable streams> | error <text>
//   box <width> <height>             -> ok   (frames are fitted into this box)
//   quit                             -> (the child ends)
// and the child tells, unasked:
//   ready              once, when it takes requests
//   pos <ms> <ms>      the position and duration, about once a second while it runs
//   frame              a new picture waits in the shared memory
//
// The pictures go through a block of shared memory: a header, then two
// slots. The child draws into the slot not shown, then publishes it; the
// header's sequence is odd while the child writes, so that the window can
// tell a picture copied whole from one overwritten under it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tarquel::media::preview {

// The handles the child is handed, by their place (HandedDownHandle).
inline constexpr int kChannelHandDown = 0;
inline constexpr int kFramesHandDown = 1;

// The biggest picture a slot holds: 32-bit RGB up to 1920 x 1200.
inline constexpr int kMaxWidth = 1920;
inline constexpr int kMaxHeight = 1200;
inline constexpr std::size_t kSlotBytes = std::size_t{kMaxWidth} * kMaxHeight * 4;
inline constexpr std::size_t kHeaderBytes = 64;
inline constexpr std::size_t kFramesBytes = kHeaderBytes + 2 * kSlotBytes;
// The longest line either side sends.
inline constexpr std::size_t kMaxLine = 8192;

struct TFrameHeader {
  std::atomic<std::uint32_t> sequence;  // odd while a slot is written
  std::uint32_t slot;                   // 0 or 1: the slot last published
  std::uint32_t width;
  std::uint32_t height;
  std::uint32_t stride;  // bytes per row, at least 4 x width
  std::uint32_t reserved;
  std::int64_t startUs;  // the picture's time in the file
};
static_assert(sizeof(TFrameHeader) <= kHeaderBytes);
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

inline TFrameHeader* Header(void* block) { return static_cast<TFrameHeader*>(block); }
inline unsigned char* Slot(void* block, std::uint32_t slot) {
  return static_cast<unsigned char*>(block) + kHeaderBytes + kSlotBytes * (slot & 1u);
}

}  // namespace tarquel::media::preview
