#include <cstdio>

#include "VersionInfo.h"
#include "WinHandle.h"

namespace tarquel::platform {

namespace {

// The text value under `subBlock` of the version resource `data`.
std::optional<std::string> QueryText(const void* data, const std::string& subBlock) {
  void* value = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(data, win::Utf16(subBlock).c_str(), &value, &length) || value == nullptr) return std::nullopt;
  std::wstring_view text(static_cast<const wchar_t*>(value), length);
  while (!text.empty() && text.back() == L'\0') text.remove_suffix(1);
  return win::Utf8(text);
}

}  // namespace

// The executable's VERSIONINFO resource, read by the system's own lookup,
// as the block of entries VersionQueryValue reads: the translation table
// and, under each translation, the file and product versions.
std::optional<std::string> ReadVersionBlock(const std::string& exeName) {
  const std::wstring path = win::Utf16(exeName);
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return std::nullopt;
  std::string data(size, '\0');
  if (!::GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return std::nullopt;

  void* table = nullptr;
  UINT tableBytes = 0;
  if (!::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &table, &tableBytes) || table == nullptr) {
    return std::nullopt;
  }
  const std::string translations(static_cast<const char*>(table), tableBytes);
  VersionEntries entries{{"\\VarFileInfo\\Translation", translations}};
  for (std::size_t at = 0; at + 4 <= translations.size(); at += 4) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(translations[at + i])); };
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "\\StringFileInfo\\%04X%04X\\", byte(0) | byte(1) << 8, byte(2) | byte(3) << 8);
    for (const char* key : {"FileVersion", "ProductVersion"}) {
      if (auto value = QueryText(data.data(), std::string(prefix) + key)) {
        entries.emplace_back(std::string(prefix) + key, std::move(*value));
      }
    }
  }
  return SerializeVersionBlock(entries);
}

}  // namespace tarquel::platform
