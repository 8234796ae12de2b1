// Where the preview child's player graph hands its pictures: already fitted
// into the box the window gave, as 32-bit RGB rows (each pixel one native
// 0xffRRGGBB word, as QImage::Format_RGB32 and AV_PIX_FMT_RGB32 lay it out).
// The child puts them into the shared memory's free slot.
#pragma once

#include <algorithm>
#include <cstdint>

namespace tarquel::media::preview {

struct TRgbPicture {
  const unsigned char* rows = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;          // bytes from one row to the next, at least 4 x width
  std::int64_t startUs = 0;  // the picture's time in the file
};

struct TBox {
  int width = 0;
  int height = 0;
};

class IPictureSink {
 public:
  virtual ~IPictureSink() = default;
  // The box pictures are fitted into, their aspect kept. Safe from any
  // thread.
  virtual TBox Box() const = 0;
  // A new picture, no bigger than the box. Called from one thread at a time
  // (the graph's decoding thread, or the event loop's).
  virtual void Show(const TRgbPicture& picture) = 0;
};

// `width` x `height` with the aspect `sarNum`:`sarDen` of each pixel, scaled
// to fit inside `box` with the shape kept: at least 1 x 1, never more than
// the box.
inline TBox FitInside(int width, int height, int sarNum, int sarDen, TBox box) {
  if (width <= 0 || height <= 0 || box.width <= 0 || box.height <= 0) return {1, 1};
  if (sarNum <= 0 || sarDen <= 0) sarNum = sarDen = 1;
  // The displayed width, in units of the height's pixels.
  const double shownWidth = static_cast<double>(width) * sarNum / sarDen;
  const double scale = std::min(box.width / shownWidth, static_cast<double>(box.height) / height);
  auto clampTo = [](double value, int limit) {
    const auto rounded = static_cast<long long>(value + 0.5);
    return static_cast<int>(rounded < 1 ? 1 : rounded > limit ? limit : rounded);
  };
  return {clampTo(shownWidth * scale, box.width), clampTo(height * scale, box.height)};
}

}  // namespace tarquel::media::preview
