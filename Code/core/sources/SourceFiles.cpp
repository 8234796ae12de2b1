#include "SourceFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <unordered_set>

#include "Errors.h"
#include "TextFormats.h"
#include "UtilityFuncs.h"

namespace tarquel {

const std::array<TFileFilter, 10> SourceFileFilters = {{
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
}};

namespace {

// ".mp4" is accepted as well: the open dialog offers it, and nothing else
// treats an .mp4 source differently.
constexpr std::array<std::string_view, 15> kSourceExtensions = {
    ".3gp", ".3g2", ".avi", ".m4v", ".mpeg", ".mpg", ".asf", ".mov",
    ".wmv", ".vob", ".rm",  ".rmvb", ".flv", ".swf", ".mp4",
};

// The file's 64-bit size, read from the open file. Opening for reading
// leaves others free to read and write it.
std::int64_t ReadFileSize(const std::string& path) {
  errno = 0;
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  const int error = errno;
  if (!file) throw FileOpenError("Cannot open file \"" + path + "\". " + std::strerror(error ? error : ENOENT));
  const std::streamoff size = file.tellg();
  if (size < 0) throw FileOpenError("Cannot open file \"" + path + "\". Its size cannot be read.");
  return size;
}

}  // namespace

bool IsSourceFileExtension(std::string_view path) {
  const auto separator = path.rfind(kPathSeparator);
  const std::string_view name = separator == std::string_view::npos ? path : path.substr(separator + 1);
  const auto dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  std::string extension(name.substr(dot));
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
  return std::find(kSourceExtensions.begin(), kSourceExtensions.end(), extension) != kSourceExtensions.end();
}

void AddSourceFiles(TSourceList& list, const std::vector<std::string>& paths,
                    const TSourceFileServices& services) {
  const std::unique_ptr<IMediaGraph> probe = services.MakeProbeGraph();
  for (const std::string& path : paths) {
    if (list.Contains(path) || !IsSourceFileExtension(path)) continue;
    const std::string duration = SecondsToTimeText(ProbeDuration(*probe, path));
    if (duration == "00:00:00") {
      // The file cannot be read, or is shorter than one second.
      if (services.ShowCodeErrorForm) services.ShowCodeErrorForm();
      continue;
    }
    const std::int64_t size = ReadFileSize(path);
    list.Append({std::string(kCheckedText), path, FormatFileSize(size), duration, "00:00:00", duration, duration});
  }
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
