// The INI store: any file content is read without harm, a section, key or
// value with a line break is refused without a change, and any other value
// written reads back (also through the file on disk).
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "Errors.h"
#include "FuzzInput.h"
#include "IniFiles32.h"
#include "TextFormats.h"

namespace {

namespace fs = std::filesystem;

// One folder for the whole run, in memory where the system has one;
// removed at the end.
struct RunFolder {
  RunFolder() {
    std::error_code ec;
    const fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    path = base / ("tarquel-ini-fuzz-" + std::to_string(::getpid()));
    fs::create_directories(path);
  }
  ~RunFolder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  fs::path path;
};

const std::string& FileName() {
  static const RunFolder folder;
  static const std::string name = (folder.path / "Settings.ini").string();
  return name;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarquel;
  const auto fields = fuzz::Fields(data, size, 4);
  if (fields.size() < 4) return 0;
  const std::string& content = fields[0];
  const std::string &section = fields[1], &key = fields[2], &value = fields[3];
  {
    std::ofstream out(FileName(), std::ios::binary | std::ios::trunc);
    out << content;
  }
  TIniFile32 ini(FileName());
  std::vector<std::string> sections;
  ini.ReadSections(&sections);
  for (const auto& name : sections) ini.ReadInteger(name, key, 0);

  const bool storable = TIniFile32::IsStorable(section) && TIniFile32::IsStorable(key) && TIniFile32::IsStorable(value);
  try {
    ini.WriteString(section, key, value);
    FUZZ_ASSERT(storable);
  } catch (const InvalidValueError&) {
    FUZZ_ASSERT(!storable);
    FUZZ_ASSERT(ReadAll(FileName()) == content);
    return 0;
  }
  // A key the format can hold as it is: not empty, no "=", no blanks at
  // its ends (they are trimmed on reading), not starting like a section.
  if (key.empty() || key.find('=') != std::string::npos || TrimBlanks(key) != key || key.front() == '[') return 0;
  const std::string_view trimmed = TrimBlanks(value);
  const std::string expected = trimmed.empty() ? std::string("\x01") : std::string(trimmed);
  FUZZ_ASSERT(ini.ReadString(section, key, "\x01") == expected);
  const TIniFile32 again(FileName());
  FUZZ_ASSERT(again.ReadString(section, key, "\x01") == expected);
  FUZZ_ASSERT(again.Lines() == ini.Lines());
  return 0;
}
