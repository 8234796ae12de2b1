// The program's start-up and its main window wired to the application-wide
// objects: what the application object runs, and what tests drive with
// doubles in place of the outside services.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BatchHost.h"
#include "DataFolders.h"
#include "OutputJournal.h"
#include "MediaGraph.h"
#include "ProductInfo.h"

namespace tarquel {
class TCommonLib;
class TCustomProc;
class ISystemServices;
class IProcessTable;
class IPreviewPlayback;
class IOpenFileDialog;
class TPreviewPlayer;
class IPreviewView;
}  // namespace tarquel

namespace tarquel::media {
class TPreviewChildGraph;
}  // namespace tarquel::media

namespace tarquel::platform {
class TScreenSaverInhibitor;
}  // namespace tarquel::platform

namespace tarquel::gui {
class TFrmMainForm;
class TQtDialogs;
class TSourceFilesUi;
class TfrmConverting;
class TfrmOption;
}  // namespace tarquel::gui

namespace tarquel::app {

struct TMainEnvironment {
  std::string AppPath;  // the program folder, with its trailing separator
  std::string Home;     // the user's home folder
  std::string ExePath;  // the running executable, for its version
  ISystemServices& Services;
  IProcessTable& Processes;
  gui::TQtDialogs& Dialogs;
  // Ends the program (after the settings are saved, or after power-off).
  std::function<void()> EndProgram;
  // Whether a viewer for the CHM help is installed.
  std::function<bool()> ChmViewerInstalled;
  // Stand-ins for tests; when empty, the program's own dialogs and probe.
  IOpenFileDialog* OpenDialog = nullptr;
  std::function<void(const std::string& path)> ShowCodeErrorForm{};
  MediaGraphFactory MakeProbeGraph{};
  TStartEncoder StartEncoder{};
  TOutputSeconds OutputSeconds{};
  // Where the settings, the log and the script live; beside the program
  // when empty.
  TDataFolders Data{};
  // Files named on the command line, added after start-up as a drop would.
  std::vector<std::string> StartFiles{};
  // Stand-ins for tests of the hold that keeps the computer awake during a
  // batch and of the notification at its end; when empty, logind's and the
  // desktop's.
  std::function<void(bool hold)> HoldSleep{};
  std::function<void(const std::string& summary)> Notify{};
};

class TMainController : public QObject {
 public:
  explicit TMainController(TMainEnvironment env);
  ~TMainController() override;

  gui::TFrmMainForm& MainForm() { return *MainForm_; }
  const RecSoftInfo& ProductInfo() const { return ProductInfo_; }
  // The application-wide objects, from the start-up routine on.
  TCommonLib* CommonLib() { return Lib_.get(); }
  TCustomProc* CustomProc() { return Proc_.get(); }
  gui::TSourceFilesUi* SourceFiles() { return SourceFiles_.get(); }
  gui::TfrmConverting* Converting() { return Converting_.get(); }
  TPreviewPlayer* Preview() { return Preview_.get(); }
  media::TPreviewChildGraph* PlayerGraph() { return PlayerGraph_.get(); }
  bool TerminateRequested() const { return TerminateRequested_; }
  // The Options dialog, from the start-up routine on.
  gui::TfrmOption* OptionForm() { return OptionForm_.get(); }

  // What the first showing of the main window runs: the splash with the
  // start-up routine, then the selectors, the settings, the profile.
  void FirstShow();
  void InitApplication();
  void FormClose();
  void OpenHelp();
  void ShowAbout();

 private:
  void Wire();
  void ShowSettings();  // the window mirrors the models

  // The Options dialog: a second view of the profile model, shown without
  // blocking the main window.
  void CreateOptionsDialog();
  void ShowOptions();

  TMainEnvironment Env_;
  RecSoftInfo ProductInfo_;
  bool TerminateRequested_ = false;
  std::unique_ptr<gui::TFrmMainForm> MainForm_;
  // The preview: the player graph (a child process drawing for the video
  // window), and the player over it.
  std::unique_ptr<platform::TScreenSaverInhibitor> ScreenSaver_;
  std::unique_ptr<media::TPreviewChildGraph> PlayerGraph_;
  std::unique_ptr<IPreviewView> PreviewView_;
  std::unique_ptr<TPreviewPlayer> Preview_;
  std::unique_ptr<TCommonLib> Lib_;
  // The outputs being written, noted so that the next start can remove
  // what a crash left half done.
  std::unique_ptr<TOutputJournal> Journal_;
  // The batch's windows and services; it outlives the driver, whose runner
  // may still post to it while it goes.
  std::unique_ptr<TBatchHost> BatchHost_;
  std::unique_ptr<TCustomProc> Proc_;
  std::unique_ptr<gui::TSourceFilesUi> SourceFiles_;
  std::unique_ptr<gui::TfrmConverting> Converting_;
  std::unique_ptr<gui::TfrmOption> OptionForm_;  // destroyed before the models it shows
};

}  // namespace tarquel::app
