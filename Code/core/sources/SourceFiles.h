// Getting files into the source list and out of it: the open dialog's
// choice, the checks and the probe every file passes on the way in, and
// deleting and clearing rows.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "MediaGraph.h"
#include "SourceList.h"

namespace tarquel {

// The open dialog for source files, as far as the program drives it.
class IOpenFileDialog {
 public:
  virtual ~IOpenFileDialog() = default;
  virtual void SetInitialDir(const std::string& folder) = 0;
  // Runs the dialog; false when the user cancelled.
  virtual bool Execute() = 0;
  // The chosen paths, in the dialog's order.
  virtual std::vector<std::string> Files() const = 0;
  // The file name the dialog holds: the first file chosen; after a cancel,
  // the one chosen the time before; empty before any choice.
  virtual std::string FileName() const = 0;
};

struct TFileFilter {
  std::string Description;
  std::string Patterns;
};
// The open dialog's filters, in the order it offers them: the ten classic
// ones, then "All media files" with every accepted extension and "All files".
const std::vector<TFileFilter>& SourceFileFilters();

// True when the extension of `path` (from the last "." of its file name,
// compared in lower case) is one the source list accepts.
bool IsSourceFileExtension(std::string_view path);

// Why a path is not taken into the list before it is probed (its type is
// unknown, it has no extension, it is a folder); empty when it is taken.
std::string SkipReason(const std::string& path);

// What adding files needs from outside the list.
struct TSourceFileServices {
  // A fresh probing graph for each run.
  MediaGraphFactory MakeProbeGraph;
  // Shows the codec error dialog modally for the file that cannot be read
  // (once per such file).
  std::function<void(const std::string& path)> ShowCodeErrorForm;
  // Tells the user, once per run, which paths were not taken and why.
  std::function<void(const std::string& report)> ReportSkipped;
  // Shows the selected row on the trim bar.
  std::function<void()> RefreshTrimBar;
};

// Appends a row for each path, in order, that is not listed yet, has an
// accepted extension and probes as at least one second long; a file that
// probes shorter brings up the codec error dialog and is left out. Paths
// skipped for their type are reported together at the end; paths already
// listed are skipped silently. Then selects the first row, when there is
// one, and refreshes the trim bar.
// A file whose size cannot be read stops the run with FileOpenError naming
// it; the rows added before it stay.
void AddSourceFiles(TSourceList& list, const std::vector<std::string>& paths,
                    const TSourceFileServices& services);

// The paths chosen in the dialog, started in `initialFolder`; empty when it
// was cancelled. With `removeDuplicates` only the first of equal paths
// (exact comparison) is kept.
std::vector<std::string> PickSourceFiles(IOpenFileDialog& dialog, bool removeDuplicates,
                                         const std::string& initialFolder);

// The files named on the command line as absolute paths, as a drop hands
// them over: every argument is a local path taken byte for byte (a relative
// one joined to `currentFolder`), whatever its encoding; only a "file://"
// address is read as one (percent escapes decoded; another host than
// "localhost" names no local file and is left out).
std::vector<std::string> StartFilePaths(const std::vector<std::string>& arguments, const std::string& currentFolder);

// Deletes the selected rows. When the focused row had a row above it that
// is not deleted, that row becomes the focused row and is selected.
void DeleteSelectedRows(TSourceList& list);

// Deletes every row; true when all rows are gone.
bool ClearSourceList(TSourceList& list);

}  // namespace tarquel
