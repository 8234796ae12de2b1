#include "BatchDesktop.h"

#include <QApplication>
#include <QWidget>

#include <memory>

#include "Arguments.h"
#include "BatchProgress.h"
#include "DesktopNotifications.h"
#include "SleepInhibitor.h"

namespace tarquel::app {

namespace {

QString Local(const std::string& text) { return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

TBatchDesktopServices RealBatchDesktopServices() {
  auto sleep = std::make_shared<platform::TSleepInhibitor>("Tarquel", "Converting media files");
  auto notifier = std::make_shared<platform::TDesktopNotifier>("Tarquel", kApplicationId);
  return {[sleep](bool hold) { sleep->Hold(hold); },
          [notifier](const std::string& summary) { notifier->Notify(summary); }};
}

void WireBatchDesktop(TJobDriverHost& host, QWidget& mainWindow, std::function<QWidget*()> convertingDialog,
                      TBatchDesktopServices services) {
  if (!services.HoldSleep || !services.Notify) {
    TBatchDesktopServices real = RealBatchDesktopServices();
    if (!services.HoldSleep) services.HoldSleep = std::move(real.HoldSleep);
    if (!services.Notify) services.Notify = std::move(real.Notify);
  }
  // The main window's own caption, kept while the batch's progress shows in it.
  auto plainCaption = std::make_shared<QString>();
  auto running = std::make_shared<bool>(false);
  host.BatchProgress = [&mainWindow, convertingDialog, plainCaption, running,
                        hold = services.HoldSleep](const TBatchProgressReport& progress) {
    if (progress.Running != *running) {
      *running = progress.Running;
      if (progress.Running) *plainCaption = mainWindow.windowTitle();
      hold(progress.Running);
    }
    const std::string plain = plainCaption->toLocal8Bit().toStdString();
    mainWindow.setWindowTitle(Local(MainWindowCaption(progress, plain)));
    if (QWidget* dialog = convertingDialog ? convertingDialog() : nullptr) {
      dialog->setWindowTitle(Local(ConvertingCaption(progress)));
    }
  };
  host.BatchFinished = [&mainWindow, convertingDialog, notify = services.Notify](int converted, int failed) {
    // Whoever looks at the program (the main window, or the dialog over it)
    // sees the end without being told.
    const QWidget* active = QApplication::activeWindow();
    if (active != nullptr && (active == &mainWindow || (convertingDialog && active == convertingDialog()))) return;
    notify(BatchSummary(converted, failed));
  };
}

}  // namespace tarquel::app
