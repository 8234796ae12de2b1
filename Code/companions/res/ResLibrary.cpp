// Res.dll: the product's texts by string id and its splash picture, behind
// the entry points the program reads them through.
#include <algorithm>
#include <cstring>

#include "CompanionExports.h"
#include "ResStrings.h"

extern "C" const unsigned char kSplashJpeg[];
extern "C" const size_t kSplashJpegSize;

namespace {

const char* StringFor(unsigned id) {
  for (const auto& entry : tarquel::res::kResStrings)
    if (entry.Id == id) return entry.Text;
  return nullptr;
}

}  // namespace

extern "C" TARQUEL_EXPORT int TarquelLoadString(unsigned id, char* buffer, int size) {
  const char* text = StringFor(id);
  if (text == nullptr || buffer == nullptr || size <= 0) return 0;
  const int n = std::min(static_cast<int>(std::strlen(text)), size - 1);
  std::memcpy(buffer, text, static_cast<size_t>(n));
  buffer[n] = '\0';
  return n;
}

extern "C" TARQUEL_EXPORT const unsigned char* TarquelFindResource(const char* name, const char* type, size_t* size) {
  if (name == nullptr || type == nullptr || size == nullptr) return nullptr;
  if (std::strcmp(name, tarquel::res::kSplashName) != 0 || std::strcmp(type, tarquel::res::kSplashType) != 0)
    return nullptr;
  *size = kSplashJpegSize;
  return kSplashJpeg;
}
