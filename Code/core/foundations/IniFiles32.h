// TIniFile32: the program's own reader and writer of small INI files.
//
// It keeps the file as its list of lines and interprets section headers and
// key=value entries only when an operation asks, so every other line stays
// exactly as it was. Every change is written back at once (write-through):
// a store lives for one short operation and never caches across them.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarquel {

class TIniFile32 {
 public:
  // Loads the file when it exists (lines end at CR, LF or CR LF); a missing
  // file is no error and is not created. An existing file that cannot be
  // read throws FileOpenError.
  explicit TIniFile32(std::string fileName);

  // The value of the first entry of `section` whose key is exactly `key`;
  // `def` when the section, the key or the value is missing.
  std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
  // As ReadString, read as a decimal integer or as hex after "$" or "0x";
  // `def` for anything else and for numbers outside 32 bits.
  std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const;

  // Replaces the first matching entry, or inserts one at the end of the
  // section, or appends a new section; then writes the file (always).
  // FileCreateError when the file cannot be written; the lines keep the change.
  // A section, key or value holding CR or LF would plant lines of its own:
  // it throws InvalidValueError and nothing changes.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);

  // Replaces the list's contents by the section names in file order.
  // Throws std::invalid_argument without a list.
  void ReadSections(std::vector<std::string>* strings) const;

  // Removes a section with its lines; an empty line stands in its place
  // unless it was the first line. Writes only when the section existed.
  void EraseSection(std::string_view section);

  const std::string& FileName() const { return FileName_; }

  // True when `text` can be stored as a section, key or value.
  static bool IsStorable(std::string_view text) { return text.find_first_of("\r\n") == std::string_view::npos; }

  // Removes the temporary files the store left in `folder` when a write was
  // cut short (a crash between writing and renaming) at least `minimumAge`
  // ago; younger ones may belong to a write in progress. Returns how many
  // went. Nothing else in the folder is touched.
  static int RemoveStaleTemporaryFiles(const std::string& folder,
                                       std::chrono::seconds minimumAge = std::chrono::seconds(10));
  const std::vector<std::string>& Lines() const { return Lines_; }

 private:
  static bool IsSectionLine(std::string_view line);
  static std::string_view KeyOfLine(std::string_view line);
  static std::string_view ValueOfLine(std::string_view line);
  static bool IsEntry(std::string_view line);
  // Index of the header line "[section]" (case-insensitive), or -1.
  std::ptrdiff_t FindSection(std::string_view section) const;
  // Index just past the last line of the section whose header is at `header`.
  std::size_t SectionEnd(std::size_t header) const;
  void UpdateFile() const;

  std::string FileName_;
  std::vector<std::string> Lines_;
};

}  // namespace tarquel
