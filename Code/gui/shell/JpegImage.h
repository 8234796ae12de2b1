// JPEG pictures decoded with libjpeg-turbo.
#pragma once

#include <QImage>
#include <vector>

namespace tarquel::gui {

// The picture, or a null image when the bytes are no JPEG.
QImage DecodeJpeg(const std::vector<unsigned char>& bytes);

}  // namespace tarquel::gui
