#include "UtilityFuncs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "Errors.h"
#include "TextFormats.h"
#include "Utf8Paths.h"

namespace tarquel {

namespace fs = std::filesystem;

TAppFunc::TAppFunc(std::string appPath, std::function<std::time_t()> clock)
    : AppPath_(std::move(appPath)), Clock_(std::move(clock)) {
  if (!Clock_) Clock_ = [] { return std::time(nullptr); };
}

void TAppFunc::WriteLog(std::string_view msg) const {
  const std::string fileName = AppPath_ + "log.txt";
  const std::time_t now = Clock_();
  char stamp[128] = "";
  if (const std::tm* local = std::localtime(&now)) std::strftime(stamp, sizeof stamp, "%x %X", local);

  std::string line = "Brenmoor ";
  line += stamp;
  line += '|';
  line += msg;
  line += "\r\n";

  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file(std::fopen(fileName.c_str(), "ab"));
  bool ok = static_cast<bool>(file);
  int error = errno;
  if (ok) {
    ok = std::fwrite(line.data(), 1, line.size(), file.get()) == line.size();
    error = errno;
    ok = std::fclose(file.release()) == 0 && ok;
  }
  if (!ok) throw InOutError("I/O error writing \"" + fileName + "\": " + std::strerror(error ? error : EIO));
}

std::string TStrFunc::GetAfterLast(std::string_view text, char sep) const {
  const auto pos = text.rfind(sep);
  return std::string(pos == std::string_view::npos ? text : text.substr(pos + 1));
}

std::vector<std::string> TFileFunc::GetFileList(const std::string& dir, std::string_view ext) const {
  std::vector<std::string> files;
  std::error_code ec;
  for (fs::directory_iterator it(PathOf(dir), ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (it->is_directory(typeError)) continue;
    std::string name = PathText(it->path().filename());
    if (!ext.empty()) {
      const auto dot = name.rfind('.');
      if (dot == std::string::npos || std::string_view(name).substr(dot) != ext) continue;
    }
    files.push_back(dir + name);
  }
  return files;
}

std::string TFileFunc::GetFileNameNoExt(std::string_view path) const {
  const auto sep = path.find_last_of(kPathSeparators);
  const std::string_view name = sep == std::string_view::npos ? path : path.substr(sep + 1);
  const auto dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string() : std::string(name.substr(0, dot));
}

std::string TFileFunc::GetFilePath(std::string_view path) const {
  const auto sep = path.find_last_of(kPathSeparators);
  return sep == std::string_view::npos ? std::string() : std::string(path.substr(0, sep + 1));
}

std::string TFileFunc::GetUniqueFileName(const std::string& path) {
  RequestedBaseName = GetFileNameNoExt(path);
  std::string candidate = path;
  // Each taken candidate leads to the next number, so the walk ends after
  // at most as many steps as the folder has entries.
  for (;;) {
    const std::string folder = GetFilePath(candidate);
    const std::string base = GetFileNameNoExt(candidate);
    const std::string name = candidate.substr(folder.size());
    const auto dot = name.rfind('.');
    const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);

    bool taken = false;
    for (const auto& entry : GetFileList(folder, "")) {
      if (GetFileNameNoExt(entry) == base) {
        taken = true;
        break;
      }
    }
    if (!taken) return folder + base + ext;

    std::string next;
    if (base == RequestedBaseName) {
      next = folder + base + "_1" + ext;
    } else {
      const auto number = TryStrToInt(TStrFunc().GetAfterLast(base, '_'));
      if (!number) return std::string();
      next = folder + base.substr(0, base.rfind('_') + 1) + std::to_string(std::int64_t{*number} + 1) + ext;
    }
    // A name without an extension has an empty base name whatever number
    // it gets; when a file without a base name blocks it, no name is free.
    if (next == candidate) return std::string();
    candidate = std::move(next);
  }
}

void SplitStr(std::string_view text, char sep, std::vector<std::string>& list) {
  list.clear();
  std::size_t start = 0;
  for (;;) {
    const auto pos = text.find(sep, start);
    const auto piece = text.substr(start, pos == std::string_view::npos ? std::string_view::npos : pos - start);
    if (!piece.empty()) list.emplace_back(piece);
    if (pos == std::string_view::npos) break;
    start = pos + 1;
  }
}

}  // namespace tarquel
