// The encoders' option parser: any argument list is read or refused with
// one line (whatever the arguments hold), and what it accepts is within the
// limits the encoder relies on.
#include <cmath>

#include "EncoderMain.h"
#include "EncoderOptions.h"
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarquel;
  const auto args = fuzz::Fields(data, size, 64);
  std::string error;
  const auto o = encoder::ParseEncoderOptions(args, error);
  if (!o) {
    // Refused with exactly one line, which has no "=" for the progress reader.
    const std::string line = encoder::ErrorLine("evc.exe", error);
    FUZZ_ASSERT(!error.empty() && line.find('\n') == line.size() - 1 && line.find('=') == std::string::npos);
    FUZZ_ASSERT(line.find('\r') == std::string::npos);
    return 0;
  }
  FUZZ_ASSERT(!o->input.empty() && !o->output.empty() && o->output == args.back());
  FUZZ_ASSERT(std::isfinite(o->startSeconds) && o->startSeconds >= 0);
  if (o->durationSeconds) FUZZ_ASSERT(std::isfinite(*o->durationSeconds));
  if (o->frameRate) FUZZ_ASSERT(*o->frameRate > 0 && *o->frameRate <= 1000);
  if (o->width) FUZZ_ASSERT(*o->width > 0 && *o->height > 0 && *o->width % 2 == 0 && *o->height % 2 == 0);
  for (const auto* value : {&o->videoKbits, &o->audioKbits, &o->sampleRate, &o->channels, &o->aspectNum, &o->aspectDen}) {
    if (*value) FUZZ_ASSERT(**value > 0);
  }
  if (o->volumePercent) FUZZ_ASSERT(*o->volumePercent >= 0);
  return 0;
}
