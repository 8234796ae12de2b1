// The source list on the main window wired to the core: the Add Files,
// Remove and Clear buttons, the list's keys, clicks, drops and row drags.
// The rows live in the core list; the view shows them through the model.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "MediaGraph.h"
#include "SourceFiles.h"

namespace tarquel {
class TCustomProc;
}

namespace tarquel::gui {

class TFrmMainForm;
class TFrmInitFileForm;
class TSourceListModel;

class TSourceFilesUi final : public QObject {
 public:
  struct TServices {
    MediaGraphFactory MakeProbeGraph;
    // Shows the codec error dialog modally; once per file that cannot be read.
    std::function<void(const std::string& path)> ShowCodeErrorForm;
    // Shows which paths of a run were not added, and why.
    std::function<void(const std::string& report)> ReportSkipped;
    // The open dialog; the program's own when null.
    IOpenFileDialog* OpenDialog = nullptr;
  };

  TSourceFilesUi(TFrmMainForm& form, TCustomProc& proc, TServices services);
  ~TSourceFilesUi() override;

  // Add Files (button and Ctrl+O): the open dialog, then the busy window.
  void btnOpenFileClick();
  // Files dropped on the window or named on the command line: added at once.
  void AddDroppedFiles(const std::vector<std::string>& paths);

  TSourceListModel& Model() { return *Model_; }
  TFrmInitFileForm& InitFileForm() { return *InitFileForm_; }

 private:
  void AddFiles(const std::vector<std::string>& paths);
  void StoreDialogFolder();

  TFrmMainForm& Form_;
  TCustomProc& Proc_;
  TServices Services_;
  std::unique_ptr<IOpenFileDialog> OwnDialog_;
  std::unique_ptr<TSourceListModel> Model_;
  std::unique_ptr<TFrmInitFileForm> InitFileForm_;
};

}  // namespace tarquel::gui
