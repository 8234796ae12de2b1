#include "JpegImage.h"

#include <turbojpeg.h>

#include <memory>

namespace tarquel::gui {

namespace {

struct DecompressorDeleter {
  void operator()(void* handle) const { tjDestroy(handle); }
};

}  // namespace

QImage DecodeJpeg(const std::vector<unsigned char>& bytes) {
  if (bytes.empty()) return QImage();
  const std::unique_ptr<void, DecompressorDeleter> decompressor(tjInitDecompress());
  if (!decompressor) return QImage();
  int width = 0, height = 0, subsampling = 0, colourspace = 0;
  if (tjDecompressHeader3(decompressor.get(), bytes.data(), static_cast<unsigned long>(bytes.size()), &width, &height,
                          &subsampling, &colourspace) != 0 ||
      width <= 0 || height <= 0 || width > 16384 || height > 16384) {
    return QImage();
  }
  QImage image(width, height, QImage::Format_RGB32);
  if (tjDecompress2(decompressor.get(), bytes.data(), static_cast<unsigned long>(bytes.size()), image.bits(), width,
                    static_cast<int>(image.bytesPerLine()), height, TJPF_BGRX, 0) != 0) {
    return QImage();
  }
  return image;
}

}  // namespace tarquel::gui
