#include "IniFiles32.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <stdexcept>

#include "DiskSync.h"
#include "Errors.h"
#include "TextFormats.h"
#include "UtilityFuncs.h"
#include "Utf8Paths.h"

namespace tarquel {

namespace fs = std::filesystem;

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

std::string Reason(int error) { return std::strerror(error); }

std::string ReadWholeFile(const std::string& fileName) {
  UniqueFile file(std::fopen(fileName.c_str(), "rb"));
  if (!file) throw FileOpenError("Cannot open file \"" + fileName + "\". " + Reason(errno));
  std::string content;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) content.append(buffer, got);
  if (std::ferror(file.get())) throw FileOpenError("Cannot open file \"" + fileName + "\". " + Reason(errno));
  return content;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.emplace_back(text.substr(start, i - start));
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

// A file that must not be replaced: no write permission bit at all (this
// also holds for a privileged user, who could otherwise write anything), or
// one this process cannot open for writing.
bool IsReadOnlyFile(const std::string& fileName) {
  std::error_code ec;
  const auto status = fs::status(PathOf(fileName), ec);
  if (ec || !fs::exists(status)) return false;
  constexpr auto kWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  if ((status.permissions() & kWrite) == fs::perms::none) return true;
  return !UniqueFile(std::fopen(fileName.c_str(), "ab"));
}

// The temporary file of a write: the target's name, a dot, 16 hex digits
// and ".tmp".
constexpr std::size_t kTemporaryDigits = 16;
constexpr std::string_view kTemporaryEnding = ".tmp";

std::string TemporaryNameBeside(const std::string& fileName) {
  static thread_local std::mt19937_64 generator{std::random_device{}()};
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(generator()));
  return fileName + suffix;
}

bool IsTemporaryName(std::string_view name) {
  if (!name.ends_with(kTemporaryEnding)) return false;
  name.remove_suffix(kTemporaryEnding.size());
  if (name.size() < kTemporaryDigits + 2 || name[name.size() - kTemporaryDigits - 1] != '.') return false;
  const auto digits = name.substr(name.size() - kTemporaryDigits);
  return digits.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

std::string FolderOf(const std::string& fileName) {
  const auto slash = fileName.find_last_of(kPathSeparators);
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : fileName.substr(0, slash);
}

}  // namespace

TIniFile32::TIniFile32(std::string fileName) : FileName_(std::move(fileName)) {
  std::error_code ec;
  if (fs::exists(PathOf(FileName_), ec)) Lines_ = SplitLines(ReadWholeFile(FileName_));
}

bool TIniFile32::IsSectionLine(std::string_view line) {
  line = TrimBlanks(line);
  return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

bool TIniFile32::IsEntry(std::string_view line) { return line.find('=') != std::string_view::npos; }

std::string_view TIniFile32::KeyOfLine(std::string_view line) {
  return TrimBlanks(line.substr(0, line.find('=')));
}

std::string_view TIniFile32::ValueOfLine(std::string_view line) {
  const auto eq = line.find('=');
  return eq == std::string_view::npos ? std::string_view{} : TrimBlanks(line.substr(eq + 1));
}

std::ptrdiff_t TIniFile32::FindSection(std::string_view section) const {
  const std::string header = "[" + std::string(section) + "]";
  for (std::size_t i = 0; i < Lines_.size(); ++i) {
    if (SameTextIgnoreCase(Lines_[i], header)) return static_cast<std::ptrdiff_t>(i);
  }
  return -1;
}

std::size_t TIniFile32::SectionEnd(std::size_t header) const {
  std::size_t i = header + 1;
  while (i < Lines_.size() && !IsSectionLine(Lines_[i])) ++i;
  return i;
}

std::string TIniFile32::ReadString(std::string_view section, std::string_view key,
                                   std::string_view def) const {
  const auto header = FindSection(section);
  if (header < 0) return std::string(def);
  const std::size_t end = SectionEnd(static_cast<std::size_t>(header));
  for (std::size_t i = static_cast<std::size_t>(header) + 1; i < end; ++i) {
    if (IsEntry(Lines_[i]) && KeyOfLine(Lines_[i]) == key) {
      const auto value = ValueOfLine(Lines_[i]);
      return std::string(value.empty() ? def : value);
    }
  }
  return std::string(def);
}

std::int32_t TIniFile32::ReadInteger(std::string_view section, std::string_view key,
                                     std::int32_t def) const {
  std::string text = ReadString(section, key, "");
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.replace(0, 2, "$");
  if (!text.empty() && text[0] == '$') {
    const std::string_view digits = std::string_view(text).substr(1);
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (digits.empty() || ec != std::errc{} || end != digits.data() + digits.size() || value > 0x7FFFFFFFu) {
      return def;
    }
    return static_cast<std::int32_t>(value);
  }
  return TryStrToInt(text).value_or(def);
}

void TIniFile32::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  for (const auto& [what, text] : {std::pair{"section", section}, std::pair{"key", key}, std::pair{"value", value}}) {
    if (!IsStorable(text)) {
      throw InvalidValueError("Cannot write to \"" + FileName_ + "\": the " + what + " holds a line break.");
    }
  }
  const std::string entry = std::string(key) + "=" + std::string(value);
  const auto header = FindSection(section);
  if (header < 0) {
    Lines_.emplace_back();
    Lines_.push_back("[" + std::string(section) + "]");
    if (!key.empty()) Lines_.push_back(entry);
  } else {
    std::size_t i = static_cast<std::size_t>(header) + 1;
    while (i < Lines_.size() && !IsSectionLine(Lines_[i]) && !(IsEntry(Lines_[i]) && KeyOfLine(Lines_[i]) == key)) {
      ++i;
    }
    if (!key.empty()) {
      if (i < Lines_.size() && !IsSectionLine(Lines_[i])) {
        Lines_[i] = entry;
      } else {
        Lines_.insert(Lines_.begin() + static_cast<std::ptrdiff_t>(i), entry);
      }
    }
  }
  UpdateFile();
}

void TIniFile32::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile32::ReadSections(std::vector<std::string>* strings) const {
  if (strings == nullptr) throw std::invalid_argument("Param Strings must be assigned");
  std::vector<std::string> names;
  for (const auto& line : Lines_) {
    if (!IsSectionLine(line)) continue;
    const auto trimmed = TrimBlanks(line);
    names.emplace_back(TrimBlanks(trimmed.substr(1, trimmed.size() - 2)));
  }
  *strings = std::move(names);
}

void TIniFile32::EraseSection(std::string_view section) {
  const auto header = FindSection(section);
  if (header < 0) return;
  const auto first = Lines_.begin() + header;
  const auto last = Lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(static_cast<std::size_t>(header)));
  const auto at = Lines_.erase(first, last);
  if (header != 0) Lines_.insert(at, std::string());
  UpdateFile();
}

// Writes the lines, each ended by CR LF, to a temporary file beside the
// target and renames it over the target, so that a failure or a crash
// midway never leaves a half-written settings file behind.
void TIniFile32::UpdateFile() const {
  const auto fail = [&](const std::string& reason) {
    throw FileCreateError("Cannot create file \"" + FileName_ + "\". " + reason);
  };
  if (IsReadOnlyFile(FileName_)) fail(Reason(EACCES));

  const std::string temporary = TemporaryNameBeside(FileName_);
  {
    UniqueFile file(std::fopen(temporary.c_str(), "wb"));
    if (!file) fail(Reason(errno));
    bool ok = true;
    for (const auto& line : Lines_) {
      ok = ok && std::fwrite(line.data(), 1, line.size(), file.get()) == line.size();
      ok = ok && std::fwrite("\r\n", 1, 2, file.get()) == 2;
    }
    const int error = errno;
    ok = std::fflush(file.get()) == 0 && ok;
    // On the disk before the rename, so a crash never leaves an empty file.
    ok = ok && PutFileOnDisk(file.get());
    if (std::fclose(file.release()) != 0) ok = false;
    if (!ok) {
      std::remove(temporary.c_str());
      fail(Reason(error ? error : EIO));
    }
  }
  std::error_code ec;
  const auto previous = fs::status(PathOf(FileName_), ec);
  if (!ec && fs::exists(previous)) fs::permissions(PathOf(temporary), previous.permissions(), ec);
  fs::rename(PathOf(temporary), PathOf(FileName_), ec);
  if (ec) {
    std::remove(temporary.c_str());
    fail(ec.message());
  }
  // The rename itself lasts once the folder is on the disk too.
  PutFolderOnDisk(FolderOf(FileName_));
}

int TIniFile32::RemoveStaleTemporaryFiles(const std::string& folder, std::chrono::seconds minimumAge) {
  int removed = 0;
  std::error_code ec;
  const auto now = fs::file_time_type::clock::now();
  for (auto it = fs::directory_iterator(PathOf(folder), ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code entryError;
    // Only plain files of the store's own naming; never through a link.
    if (!it->is_regular_file(entryError) || it->is_symlink(entryError)) continue;
    if (!IsTemporaryName(PathText(it->path().filename()))) continue;
    const auto written = it->last_write_time(entryError);
    if (entryError || now - written < minimumAge) continue;
    if (fs::remove(it->path(), entryError)) ++removed;
  }
  return removed;
}

}  // namespace tarquel
