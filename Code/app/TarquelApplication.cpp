#include "TarquelApplication.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>
#include <QUrl>

#include <cstdlib>
#include <exception>

#include "MainController.h"
#include "ProcessTable.h"
#include "ProgramFolder.h"
#include "QtDialogs.h"
#include "SystemActions.h"  // the platform's services
#include "UnitCustomProc.h"
#include "Unit_Convert.h"

namespace tarquel::app {

namespace {

// The files named on the command line (Qt has taken its own options out):
// absolute paths, as a drop hands them over. A file manager may pass
// "file:" addresses.
std::vector<std::string> StartFiles(QStringList arguments) {
  std::vector<std::string> files;
  if (!arguments.isEmpty()) arguments.removeFirst();
  for (const QString& argument : arguments) {
    const QUrl url(argument);
    const QString path = url.isLocalFile() ? url.toLocalFile() : argument;
    if (path.isEmpty()) continue;
    files.push_back(QFileInfo(path).absoluteFilePath().toLocal8Bit().toStdString());
  }
  return files;
}

}  // namespace

TTarquelApplication::TTarquelApplication(int& argc, char** argv)
    : QApplication(argc, argv),
      Services_(platform::CreateSystemServices()),
      Processes_(platform::CreateProcessTable()),
      Dialogs_(std::make_unique<gui::TQtDialogs>()) {
  setApplicationName(QStringLiteral("Tarquel"));
  const QByteArray home = qgetenv("HOME");
  const std::string programFolder = platform::ExecutableFolder();
  TMainEnvironment env{
      programFolder, home.isEmpty() ? std::string("/") : home.toStdString(),
      applicationFilePath().toLocal8Bit().toStdString(), *Services_, *Processes_, *Dialogs_,
      [this] {
        // At once: a batch still running is not waited for.
        if (TCustomProc* proc = Controller_->CustomProc(); proc && proc->Driver().Running()) std::_Exit(0);
        exit(0);
      },
      [] {
        for (const char* viewer : {"xchm", "kchmviewer", "okular", "chmsee"}) {
          if (!QStandardPaths::findExecutable(QString::fromLatin1(viewer)).isEmpty()) return true;
        }
        return false;
      }};
  env.Data = platform::PrepareDataFolders(programFolder);
  env.StartFiles = StartFiles(arguments());
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
    QMessageBox::critical(activeWindow(), QStringLiteral("Tarquel"), QString::fromLocal8Bit(error.what()));
  } catch (...) {
    QMessageBox::critical(activeWindow(), QStringLiteral("Tarquel"), QStringLiteral("Unknown error."));
  }
  return true;
}

}  // namespace tarquel::app
