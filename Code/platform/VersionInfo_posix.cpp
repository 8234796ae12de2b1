#include <elf.h>

#include <cstring>
#include <fstream>

#include "VersionInfo.h"

namespace tarquel::platform {

namespace {

bool ReadAt(std::ifstream& file, std::uint64_t offset, void* out, std::size_t size) {
  file.seekg(static_cast<std::streamoff>(offset));
  file.read(static_cast<char*>(out), static_cast<std::streamsize>(size));
  return static_cast<std::size_t>(file.gcount()) == size;
}

}  // namespace

// Finds the version section in an ELF executable by its name; every offset
// is checked against the file, so a damaged or foreign file reads as none.
std::optional<std::string> ReadVersionBlock(const std::string& exeName) {
  std::ifstream file(exeName, std::ios::binary);
  if (!file) return std::nullopt;
  file.seekg(0, std::ios::end);
  const auto fileSize = static_cast<std::uint64_t>(file.tellg());

  Elf64_Ehdr header{};
  if (!ReadAt(file, 0, &header, sizeof header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
      header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_shentsize != sizeof(Elf64_Shdr) ||
      header.e_shstrndx >= header.e_shnum) {
    return std::nullopt;
  }
  const auto sectionAt = [&](std::uint64_t index, Elf64_Shdr& section) {
    return ReadAt(file, header.e_shoff + index * sizeof(Elf64_Shdr), &section, sizeof section);
  };
  Elf64_Shdr names{};
  if (!sectionAt(header.e_shstrndx, names) || names.sh_offset + names.sh_size > fileSize) return std::nullopt;
  std::string nameTable(names.sh_size, '\0');
  if (!ReadAt(file, names.sh_offset, nameTable.data(), nameTable.size())) return std::nullopt;

  for (std::uint64_t i = 0; i < header.e_shnum; ++i) {
    Elf64_Shdr section{};
    if (!sectionAt(i, section)) return std::nullopt;
    if (section.sh_name >= nameTable.size()) continue;
    if (std::strcmp(nameTable.c_str() + section.sh_name, kVersionSectionName) != 0) continue;
    if (section.sh_type == SHT_NOBITS || section.sh_offset + section.sh_size > fileSize) return std::nullopt;
    std::string block(section.sh_size, '\0');
    if (!ReadAt(file, section.sh_offset, block.data(), block.size())) return std::nullopt;
    return block;
  }
  return std::nullopt;
}

}  // namespace tarquel::platform
