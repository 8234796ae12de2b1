#include "VersionInfo.h"

#include <cstdint>
#include <cstdio>

#include "UtilityFuncs.h"

namespace tarquel::platform {

namespace {

constexpr std::string_view kMagic = "TQVI";

void PutLittleEndian(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

bool GetLittleEndian(std::string_view& in, int bytes, std::uint32_t& value) {
  if (in.size() < static_cast<std::size_t>(bytes)) return false;
  value = 0;
  for (int i = 0; i < bytes; ++i) value |= std::uint32_t{static_cast<unsigned char>(in[i])} << (8 * i);
  in.remove_prefix(bytes);
  return true;
}

}  // namespace

std::string SerializeVersionBlock(const VersionEntries& entries) {
  std::string block(kMagic);
  PutLittleEndian(block, static_cast<std::uint32_t>(entries.size()), 4);
  for (const auto& [key, value] : entries) {
    PutLittleEndian(block, static_cast<std::uint32_t>(key.size()), 2);
    block += key;
    PutLittleEndian(block, static_cast<std::uint32_t>(value.size()), 4);
    block += value;
  }
  return block;
}

std::optional<std::string> VersionQueryValue(std::string_view block, std::string_view subBlock) {
  if (!block.starts_with(kMagic)) return std::nullopt;
  block.remove_prefix(kMagic.size());
  std::uint32_t count = 0;
  if (!GetLittleEndian(block, 4, count)) return std::nullopt;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t keyLength = 0, valueLength = 0;
    if (!GetLittleEndian(block, 2, keyLength) || block.size() < keyLength) return std::nullopt;
    const std::string_view key = block.substr(0, keyLength);
    block.remove_prefix(keyLength);
    if (!GetLittleEndian(block, 4, valueLength) || block.size() < valueLength) return std::nullopt;
    if (key == subBlock) return std::string(block.substr(0, valueLength));
    block.remove_prefix(valueLength);
  }
  return std::nullopt;
}

std::string GetAppVersion(const std::string& exeName) {
  const auto block = ReadVersionBlock(exeName);
  return block ? AppVersionFromBlock(*block) : std::string();
}

std::string AppVersionFromBlock(std::string_view block) {
  const auto translation = VersionQueryValue(block, "\\VarFileInfo\\Translation");
  if (!translation || translation->size() < 4) return std::string();
  // The first entry: language in the low 16 bits, code page in the high.
  std::string_view t = *translation;
  std::uint32_t first = 0;
  GetLittleEndian(t, 4, first);
  char key[64];
  std::snprintf(key, sizeof key, "\\StringFileInfo\\%04X%04X\\FileVersion", static_cast<unsigned>(first & 0xFFFF),
                static_cast<unsigned>(first >> 16));
  const auto fileVersion = VersionQueryValue(block, key);
  if (!fileVersion) return std::string();
  std::vector<std::string> parts;
  SplitStr(*fileVersion, '.', parts);
  if (parts.empty()) return std::string();
  return parts.size() == 1 ? parts[0] : parts[0] + "." + parts[1];
}

}  // namespace tarquel::platform
