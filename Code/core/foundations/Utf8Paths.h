// The program's paths are UTF-8 text on every system. The standard
// library's path reads a std::string, and gives one back, in a narrow
// encoding of its own choosing (on Windows not UTF-8), so every path goes
// through these two on its way in and out of std::filesystem.
#pragma once

#include <filesystem>
#include <string>

namespace tarquel {

inline std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string PathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace tarquel
