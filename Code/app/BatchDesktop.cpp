#include "BatchDesktop.h"

#include <QApplication>
#include <QWidget>

#include <memory>

#include "Arguments.h"
#include "DesktopNotifications.h"
#include "SleepInhibitor.h"
#include "SystemText.h"

namespace tarquel::app {

using gui::FromSystemText;
using gui::ToSystemText;

namespace {


}  // namespace

TBatchDesktopServices RealBatchDesktopServices() {
  auto sleep = std::make_shared<platform::TSleepInhibitor>("Tarquel", "Converting media files");
  auto notifier = std::make_shared<platform::TDesktopNotifier>("Tarquel", kApplicationId);
  return {[sleep](bool hold) { sleep->Hold(hold); },
          [notifier](const std::string& summary) { notifier->Notify(summary); }};
}

TBatchDesktop::TBatchDesktop(QWidget& mainWindow, TBatchDesktopServices services)
    : MainWindow_(mainWindow), Services_(std::move(services)) {
  if (!Services_.HoldSleep || !Services_.Notify) {
    TBatchDesktopServices real = RealBatchDesktopServices();
    if (!Services_.HoldSleep) Services_.HoldSleep = std::move(real.HoldSleep);
    if (!Services_.Notify) Services_.Notify = std::move(real.Notify);
  }
}

void TBatchDesktop::Progress(const TBatchProgressReport& progress) {
  if (progress.Running != Running_) {
    Running_ = progress.Running;
    if (progress.Running) PlainCaption_ = MainWindow_.windowTitle();
    Services_.HoldSleep(progress.Running);
  }
  const std::string plain = ToSystemText(PlainCaption_);
  MainWindow_.setWindowTitle(FromSystemText(MainWindowCaption(progress, plain)));
  if (Dialog_) Dialog_->setWindowTitle(FromSystemText(ConvertingCaption(progress)));
}

void TBatchDesktop::Finished(int converted, int failed) {
  // Whoever looks at the program (the main window, or the dialog over it)
  // sees the end without being told.
  const QWidget* active = QApplication::activeWindow();
  if (active != nullptr && (active == &MainWindow_ || (Dialog_ && active == Dialog_))) return;
  Services_.Notify(BatchSummary(converted, failed));
}

}  // namespace tarquel::app
