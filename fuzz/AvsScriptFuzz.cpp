// The script reader of revc.exe: any text is read or refused without harm,
// and the line the builder writes for any source path reads back as that
// path and frame rate.
#include <cmath>

#include "AvsScript.h"
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarquel;
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (const auto any = encoder::ParseAvsScript(text)) {
    FUZZ_ASSERT(!any->path.empty() && std::isfinite(any->fps) && any->fps > 0);
  }
  // The builder's line (a path never holds a zero byte and is never empty).
  if (text.empty() || text.find('\0') != std::string::npos) return 0;
  const auto read =
      encoder::ParseAvsScript("DirectShowSource(\"" + text + "\", fps=29.9700898503294, convertfps=true)\r\n");
  FUZZ_ASSERT(read && read->path == text && read->fps == 29.9700898503294);
  return 0;
}
