// A resource library for the companion-library tests: a string table and
// one picture, behind the entry points Res.dll exports.
#include <cstring>
#include <string>

#include "CompanionExports.h"

namespace {

const std::string kLong(300, 'x');
const unsigned char kPicture[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0xFF, 0xD9};

const char* StringFor(unsigned id) {
  switch (id) {
    case 0: return "Test Company";
    case 1: return "Tarquel";
    case 2: return kLong.c_str();
    case 5: return "";
    default: return nullptr;
  }
}

}  // namespace

extern "C" TARQUEL_EXPORT int TarquelLoadString(unsigned id, char* buffer, int size) {
  const char* text = StringFor(id);
  if (text == nullptr || size <= 0) return 0;
  const int n = std::min<int>(static_cast<int>(std::strlen(text)), size - 1);
  std::memcpy(buffer, text, static_cast<std::size_t>(n));
  buffer[n] = '\0';
  return n;
}

extern "C" TARQUEL_EXPORT const unsigned char* TarquelFindResource(const char* name,
                                                                                         const char* type,
                                                                                         size_t* size) {
  if (std::strcmp(name, "ImgFlash") != 0 || std::strcmp(type, "jpeg") != 0) return nullptr;
  *size = sizeof kPicture;
  return kPicture;
}
