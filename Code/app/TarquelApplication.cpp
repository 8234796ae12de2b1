#include "TarquelApplication.h"

#include <QDir>
#include <QMessageBox>
#include <QStandardPaths>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <exception>

#include "Arguments.h"
#include "MainController.h"
#include "ProcessTable.h"
#include "ProgramFolder.h"
#include "QtDialogs.h"
#include "SourceFiles.h"
#include "SystemActions.h"  // the platform's services
#include "UnitCustomProc.h"
#include "Unit_Convert.h"
#include "SystemText.h"
#include "Utf8Paths.h"

namespace tarquel::app {

using gui::FromSystemText;
using gui::ToSystemText;

TTarquelApplication::TTarquelApplication(int& argc, char** argv, const std::vector<std::string>& files)
    : QApplication(argc, argv),
      Services_(platform::CreateSystemServices()),
      Processes_(platform::CreateProcessTable()),
      Dialogs_(std::make_unique<gui::TQtDialogs>()) {
  setApplicationName(QStringLiteral("Tarquel"));
  // The skin sets the windows' colours; Fusion draws with them on every
  // system (Windows' own style keeps its theme's colours for some controls,
  // a read-only edit's text among them).
  setStyle(QStringLiteral("Fusion"));
  // The Wayland app id: the name of the desktop entry, without ".desktop".
  setDesktopFileName(QString::fromLatin1(kApplicationId));
  // The user's home folder in the system's own spelling (backslashes on Windows).
  const std::string home = QDir::toNativeSeparators(QDir::homePath()).toStdString();
  const std::string programFolder = platform::ExecutableFolder();
  TMainEnvironment env{
      programFolder, home,
      ToSystemText(applicationFilePath()), *Services_, *Processes_, *Dialogs_,
      [this] {
        // At once: a batch still running is not waited for.
        if (TCustomProc* proc = Controller_->CustomProc(); proc && proc->Driver().Running()) std::_Exit(0);
        exit(0);
      },
      [] {
        // hh is the system's own viewer on Windows.
        for (const char* viewer : {"hh", "xchm", "kchmviewer", "okular", "chmsee"}) {
          if (!QStandardPaths::findExecutable(QString::fromLatin1(viewer)).isEmpty()) return true;
        }
        return false;
      }};
  env.Data = platform::PrepareDataFolders(programFolder);
  // The files named on the command line, byte for byte, so that a name in
  // any encoding is found.
  std::error_code error;
  env.StartFiles = StartFilePaths(files, PathText(std::filesystem::current_path(error)));
  Controller_ = std::make_unique<TMainController>(std::move(env));
}

TTarquelApplication::~TTarquelApplication() = default;

int TTarquelApplication::Run() {
  Controller_->MainForm().show();
  return exec();
}

bool TTarquelApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    QMessageBox::critical(activeWindow(), QStringLiteral("Tarquel"), FromSystemText(error.what()));
  } catch (...) {
    QMessageBox::critical(activeWindow(), QStringLiteral("Tarquel"), QStringLiteral("Unknown error."));
  }
  return true;
}

}  // namespace tarquel::app
