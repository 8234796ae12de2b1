// Res.dll: the product's texts by string id and its splash picture, behind
// the entry points the program reads them through.
#include <algorithm>
#include <cstring>

#include "CompanionExports.h"

extern "C" const unsigned char kSplashJpeg[];
extern "C" const size_t kSplashJpegSize;

namespace {

const char* StringFor(unsigned id) {
  switch (id) {
    case 0: return "Brenmoor Software";
    case 1: return "Tarquel";
    case 2: return "Converts video for handheld game consoles and audio to AAC, M4A and MP3.";
    case 4: return "https://tarquel.example.com/";
    case 5: return "support@tarquel.example.com";
    case 7: return "Copyright (C) 2026 Brenmoor Software. All rights reserved.";
    default: return nullptr;
  }
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

extern "C" TARQUEL_EXPORT const unsigned char* TarquelFindResource(const char* name,
                                                                                         const char* type,
                                                                                         size_t* size) {
  if (name == nullptr || type == nullptr || size == nullptr) return nullptr;
  if (std::strcmp(name, "ImgFlash") != 0 || std::strcmp(type, "jpeg") != 0) return nullptr;
  *size = kSplashJpegSize;
  return kSplashJpeg;
}
