#include "SourceFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unordered_set>

#include "Errors.h"
#include "UtilityFuncs.h"
#include "Utf8Paths.h"

namespace tarquel {

namespace {

// The classic types and ".mp4" first (the open dialog offers it, and nothing
// else treats an .mp4 source differently), then the containers and audio
// types of phones, cameras, TV recorders and the web.
constexpr std::string_view kSourceExtensions[] = {
    ".3gp", ".3g2", ".avi",  ".m4v", ".mpeg", ".mpg", ".asf", ".mov", ".wmv", ".vob", ".rm",   ".rmvb",
    ".flv", ".swf", ".mp4",  ".mkv", ".webm", ".ogv", ".ts",  ".m2ts", ".mts", ".m2v", ".mxf", ".dv",
    ".divx", ".f4v", ".mpe", ".mp3", ".wav",  ".flac", ".ogg", ".oga", ".m4a", ".aac", ".opus", ".wma",
    ".ac3", ".mka",
};

std::string LowerExtension(std::string_view path) {
  const auto separator = path.find_last_of(kPathSeparators);
  const std::string_view name = separator == std::string_view::npos ? path : path.substr(separator + 1);
  const auto dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string extension(name.substr(dot));
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
  return extension;
}

// The skipped paths of one run as one message.
std::string SkippedReport(const std::vector<std::pair<std::string, std::string>>& skipped) {
  std::string report = skipped.size() == 1 ? "This file was not added to the list:\n"
                                           : "These files were not added to the list:\n";
  for (const auto& [path, reason] : skipped) report += "\n" + path + "\n    " + reason + "\n";
  return report;
}

// The file's 64-bit size, read from the open file. Opening for reading
// leaves others free to read and write it.
std::int64_t ReadFileSize(const std::string& path) {
  errno = 0;
  std::ifstream file(PathOf(path), std::ios::binary | std::ios::ate);
  const int error = errno;
  if (!file) throw FileOpenError("Cannot open file \"" + path + "\". " + std::strerror(error ? error : ENOENT));
  const std::streamoff size = file.tellg();
  if (size < 0) throw FileOpenError("Cannot open file \"" + path + "\". Its size cannot be read.");
  return size;
}

}  // namespace

const std::vector<TFileFilter>& SourceFileFilters() {
  static const std::vector<TFileFilter> filters = [] {
    std::vector<TFileFilter> list = {
        {"Supported Files", "*.3gp;*.mp4;*.m4v;*.mpeg;*.mpg;*.avi;*.asf;*.mov;*.wmv;*.flv;*.swf;*.rm;*.rmvb;"},
        {"3GP Files (*.3gp)", "*.3gp"},
        {"AVI Files (*.avi)", "*.avi"},
        {"ASF Files (*.asf)", "*.asf"},
        {"Flash Files (*.flv,swf)", "*.flv;*.swf"},
        {"MOV Files (*.mov)", "*.mov"},
        {"WMV Files (*.wmv)", "*.wmv"},
        {"MP4 File (*.mp4,*.m4v)", "*.mp4;*.m4v"},
        {"MPEG Files (*.mpeg,*.mpg)", "*.mpeg;*.mpg;"},
        {"RM Files (*.rm,*.rmvb)", "*.rm;*.rmvb;"},
    };
    std::string all;
    for (const std::string_view extension : kSourceExtensions) all += "*" + std::string(extension) + ";";
    list.push_back({"All media files", all});
    list.push_back({"All files (*)", "*"});
    return list;
  }();
  return filters;
}

bool IsSourceFileExtension(std::string_view path) {
  const std::string extension = LowerExtension(path);
  return std::find(std::begin(kSourceExtensions), std::end(kSourceExtensions), extension) != std::end(kSourceExtensions);
}

std::string SkipReason(const std::string& path) {
  if (IsSourceFileExtension(path)) return {};
  std::error_code error;
  if (std::filesystem::is_directory(PathOf(path), error)) return "It is a folder, not a media file.";
  const std::string extension = LowerExtension(path);
  if (extension.empty() || extension == ".") return "It has no file extension, so its type is not known.";
  return "Files of the type \"" + extension + "\" are not media files that Tarquel reads.";
}

void AddSourceFiles(TSourceList& list, const std::vector<std::string>& paths,
                    const TSourceFileServices& services) {
  const std::unique_ptr<IMediaGraph> probe = services.MakeProbeGraph();
  std::vector<std::pair<std::string, std::string>> skipped;
  const auto reportSkipped = [&] {
    if (!skipped.empty() && services.ReportSkipped) services.ReportSkipped(SkippedReport(skipped));
  };
  try {
    for (const std::string& path : paths) {
      if (list.Contains(path)) continue;
      if (std::string reason = SkipReason(path); !reason.empty()) {
        if (std::none_of(skipped.begin(), skipped.end(), [&](const auto& s) { return s.first == path; })) {
          skipped.emplace_back(path, std::move(reason));
        }
        continue;
      }
      const std::int32_t duration = ProbeDuration(*probe, path);
      if (duration < 1) {
        // The file cannot be read, or is shorter than one second.
        if (services.ShowCodeErrorForm) services.ShowCodeErrorForm(path);
        continue;
      }
      list.Append(NewSourceRow(path, ReadFileSize(path), duration));
    }
  } catch (...) {
    // The paths skipped so far are still told before the error.
    reportSkipped();
    throw;
  }
  reportSkipped();
  if (!list.Empty()) {
    list.SetSelected(0, true);
    if (services.RefreshTrimBar) services.RefreshTrimBar();
  }
}

std::vector<std::string> PickSourceFiles(IOpenFileDialog& dialog, bool removeDuplicates,
                                         const std::string& initialFolder) {
  dialog.SetInitialDir(initialFolder);
  if (!dialog.Execute()) return {};
  std::vector<std::string> files = dialog.Files();
  if (!removeDuplicates) return files;
  std::unordered_set<std::string> seen;
  std::vector<std::string> unique;
  for (std::string& file : files) {
    if (seen.insert(file).second) unique.push_back(std::move(file));
  }
  return unique;
}

std::vector<std::string> StartFilePaths(const std::vector<std::string>& arguments, const std::string& currentFolder) {
  namespace fs = std::filesystem;
  const auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::vector<std::string> paths;
  for (const std::string& argument : arguments) {
    std::string path = argument;
    if (argument.rfind("file://", 0) == 0) {
      std::string_view rest = std::string_view(argument).substr(7);
      if (rest.rfind("localhost/", 0) == 0) rest.remove_prefix(9);
      if (rest.empty() || rest.front() != '/') continue;  // another machine's file
      path.clear();
      for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%' && i + 2 < rest.size() && hex(rest[i + 1]) >= 0 && hex(rest[i + 2]) >= 0) {
          path += static_cast<char>(hex(rest[i + 1]) * 16 + hex(rest[i + 2]));
          i += 2;
        } else {
          path += rest[i];
        }
      }
    }
    if (path.empty()) continue;
    fs::path full = PathOf(path);
    if (full.is_relative()) full = PathOf(currentFolder) / full;
    paths.push_back(PathText(full.lexically_normal()));
  }
  return paths;
}

void DeleteSelectedRows(TSourceList& list) {
  const std::vector<int> selected = list.SelectedRows();
  if (selected.empty()) return;
  const int focused = list.FocusedRow();
  // The row above the focused one takes the focus, unless it goes too.
  int noted = focused > 0 ? focused - 1 : -1;
  if (noted >= 0 && list.IsSelected(noted)) noted = -1;
  // Rows above the noted one that go shift it up.
  if (noted >= 0) {
    noted -= static_cast<int>(std::count_if(selected.begin(), selected.end(), [&](int r) { return r < noted; }));
  }
  list.DeleteRows(selected);
  if (noted >= 0) {
    list.SetFocusedRow(noted);
    list.SetSelected(noted, true);
  }
}

bool ClearSourceList(TSourceList& list) {
  list.Clear();
  return list.Empty();
}

}  // namespace tarquel
