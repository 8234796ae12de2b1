#include "StatusLine.h"

#include <cstdio>

namespace tarquel::encoder {

std::string StatusLine(const Progress& p) {
  const double kilobytes = p.bytes / 1024.0;
  const double kbits = p.seconds > 0 ? p.bytes * 8.0 / p.seconds / 1000.0 : 0.0;
  char line[160];
  if (p.video) {
    std::snprintf(line, sizeof line, "frame=%5lld q=%4.1f size=%8.0fkB time=%0.2f bitrate=%6.1fkbits/s", p.frames,
                  p.quality, kilobytes, p.seconds, kbits);
  } else {
    std::snprintf(line, sizeof line, "size=%8.0fkB time=%0.2f bitrate=%6.1fkbits/s", kilobytes, p.seconds, kbits);
  }
  std::string text = line;
  if (p.speed > 0) {
    std::snprintf(line, sizeof line, " speed=%.3gx", p.speed);
    text += line;
  }
  return text + "\r";
}

}  // namespace tarquel::encoder
