// The small helper classes the program shares: the diagnostic log, file-name
// handling (above all the choice of a free output name) and text splitting.
// One instance of each lives for the whole program.
#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarquel {

// The platform's path separator; folder paths handed around end with it.
// kPathSeparators are all the characters that end a folder's name in a
// path: on Windows "/" does as well.
inline constexpr char kPathSeparator = static_cast<char>(std::filesystem::path::preferred_separator);
inline constexpr std::string_view kPathSeparators = kPathSeparator == '/' ? "/" : "\\/";
// True for each character of kPathSeparators.
constexpr bool IsPathSeparator(char c) { return kPathSeparators.find(c) != std::string_view::npos; }

class TAppFunc {
 public:
  // `appPath` is the folder of the log with its trailing separator: the
  // program folder in the portable layout. `clock` gives the time stamped on log lines.
  explicit TAppFunc(std::string appPath, std::function<std::time_t()> clock = nullptr);

  const std::string& GetAppPath() const { return AppPath_; }

  // Appends "Brenmoor <date> <time>|<msg>" and CR LF to log.txt in that
  // folder, opening and closing the file for every line. Throws
  // InOutError when the log cannot be written.
  void WriteLog(std::string_view msg) const;

 private:
  std::string AppPath_;
  std::function<std::time_t()> Clock_;
};

class TStrFunc {
 public:
  // The text after the last `sep`; the whole text when `sep` does not occur.
  std::string GetAfterLast(std::string_view text, char sep) const;
};

class TFileFunc {
 public:
  // Full paths of the entries of `dir` (which ends with the separator) that
  // are not folders, in listing order; with a non-empty `ext` only those
  // whose last extension equals it exactly. A missing folder lists nothing.
  std::vector<std::string> GetFileList(const std::string& dir, std::string_view ext) const;

  // The file name without folder and without its last extension; empty
  // when the name has no dot or starts with its only dot.
  std::string GetFileNameNoExt(std::string_view path) const;

  // The path up to and including its last separator; empty without one.
  std::string GetFilePath(std::string_view path) const;

  // The first path in the folder of `path` whose base name no file of any
  // extension has: clip.mp4, then clip_1.mp4, clip_2.mp4 ... The folder is
  // listed anew for every candidate; nothing is reserved.
  std::string GetUniqueFileName(const std::string& path);

  // The base name the latest GetUniqueFileName call started from.
  std::string RequestedBaseName;
};

// Clears `list`, then adds the non-empty pieces of `text` cut at `sep`.
void SplitStr(std::string_view text, char sep, std::vector<std::string>& list);

}  // namespace tarquel
