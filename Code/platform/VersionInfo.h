// Version information carried inside an executable: a block of entries
// looked up by path, as "\VarFileInfo\Translation" (language and code page)
// and "\StringFileInfo\040904E4\FileVersion" ("2.0.0.0").
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarquel::platform {

// The section of an ELF executable that holds the block (a Windows
// executable carries a VERSIONINFO resource instead, read back as a block of
// the same entries).
inline constexpr const char* kVersionSectionName = ".tq_version";

using VersionEntries = std::vector<std::pair<std::string, std::string>>;

// The block's bytes for these entries; the build writes them into the
// executable, ReadVersionBlock gets them back.
std::string SerializeVersionBlock(const VersionEntries& entries);

// The value stored under `subBlock`; nullopt when the block lacks it or is
// damaged.
std::optional<std::string> VersionQueryValue(std::string_view block, std::string_view subBlock);

// The version block of the executable file `exeName`; nullopt when it has none.
std::optional<std::string> ReadVersionBlock(const std::string& exeName);

// "major.minor" of the FileVersion under the first translation of the
// file's version block; empty when anything is missing.
std::string GetAppVersion(const std::string& exeName);
// The same for a block already read.
std::string AppVersionFromBlock(std::string_view block);

}  // namespace tarquel::platform
