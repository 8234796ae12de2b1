// The time and number readers: no text makes them fail or give a time that
// is negative or not finite, and every whole number of seconds written as
// "HH:MM:SS" reads back as itself (by the program and by the encoders).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "EncoderOptions.h"
#include "FuzzInput.h"
#include "TextFormats.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarquel;
  const std::string text(reinterpret_cast<const char*>(data), size);

  TimeTextToSeconds(text);
  NumberFromText(text);
  if (const auto start = encoder::ParseStartTime(text)) FUZZ_ASSERT(std::isfinite(*start) && *start >= 0);
  if (const auto number = TryStrToInt(text)) FUZZ_ASSERT(TryStrToInt(std::to_string(*number)) == number);

  std::uint64_t raw = 0;
  std::memcpy(&raw, data, std::min(size, sizeof raw));
  const auto seconds = static_cast<std::int64_t>(raw % (std::uint64_t{std::numeric_limits<std::int32_t>::max()} + 1));
  const std::string written = SecondsToTimeText(seconds);
  FUZZ_ASSERT(TimeTextToSeconds(written) == seconds);
  const auto read = encoder::ParseStartTime(written);
  FUZZ_ASSERT(read && *read == static_cast<double>(seconds));
  return 0;
}
