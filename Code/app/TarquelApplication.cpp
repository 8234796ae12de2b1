#include "TarquelApplication.h"

#include <QLabel>
#include <QMessageBox>

#include <exception>

#include "CompanionExports.h"
#include "CompanionLibrary.h"
#include "FlashForm.h"
#include "ImageButton.h"
#include "JpegImage.h"
#include "ProgramFolder.h"
#include "SystemActions.h"
#include "Unit_Convert.h"
#include "UtilityFuncs.h"

namespace tarquel::app {

namespace {

QString Local(const std::string& text) { return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())); }

// A box with the application title, an information icon and the buttons of
// `msgType` (1 OK, 2 Yes and No, 3 Yes, No and Cancel); the platform's code
// of the button pressed, 0 for any other type.
int ShowAppMessage(const std::string& msg, int msgType) {
  QMessageBox::StandardButtons buttons;
  switch (msgType) {
    case 1: buttons = QMessageBox::Ok; break;
    case 2: buttons = QMessageBox::Yes | QMessageBox::No; break;
    case 3: buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    default: return 0;
  }
  QMessageBox box(QMessageBox::Information, QStringLiteral("Tarquel"), Local(msg), buttons, QApplication::activeWindow());
  switch (box.exec()) {
    case QMessageBox::Ok: return 1;
    case QMessageBox::Cancel: return 2;
    case QMessageBox::Yes: return 6;
    case QMessageBox::No: return 7;
    default: return 0;
  }
}

}  // namespace

TTarquelApplication::TTarquelApplication(int& argc, char** argv)
    : QApplication(argc, argv),
      AppPath_(platform::ExecutableFolder()),
      Services_(platform::CreateSystemServices()),
      MainForm_(std::make_unique<gui::TFrmMainForm>()) {
  setApplicationName(QStringLiteral("Tarquel"));
  gui::TFrmMainForm& form = *MainForm_;
  form.setWindowTitle(QStringLiteral("Tarquel"));
  form.OnFirstShow = [this] { FirstShow(); };
  form.OnFormClose = [this] { FormClose(); };
  form.OnHelp = [this] { OpenHelp(); };
  connect(form.btnHomePage, &QAbstractButton::clicked, this,
          [this] { Services_->OpenWithDefaultHandler(ProductInfo_.HomePage); });
  connect(form.btnEMail, &QAbstractButton::clicked, this,
          [this] { Services_->OpenWithDefaultHandler("mailto:" + ProductInfo_.Email); });
  connect(form.btnHelp, &QAbstractButton::clicked, this, [this] { OpenHelp(); });
  connect(form.btnAbout, &QAbstractButton::clicked, this, [this] { ShowAbout(); });
  connect(&form.tmrClearMemory, &QTimer::timeout, this, [this] { Services_->TrimWorkingSet(); });
}

TTarquelApplication::~TTarquelApplication() = default;

int TTarquelApplication::Run() {
  MainForm_->show();
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

void TTarquelApplication::FirstShow() {
  QImage splash;
  if (const auto res = platform::CompanionLibrary::Load(AppPath_ + "Res.dll")) {
    if (const auto jpeg = res->Resource("ImgFlash", "jpeg")) splash = gui::DecodeJpeg(*jpeg);
  }
  MainForm_->setEnabled(false);
  gui::ShowSplash(MainForm_.get(), splash, [this] { InitApplication(); });
  MainForm_->setEnabled(true);
  if (TerminateRequested_) {
    quit();
    return;
  }
  MainForm_->setAcceptDrops(true);
}

void TTarquelApplication::InitApplication() {
  AppFunc_ = std::make_unique<TAppFunc>(AppPath_);
  if (!CheckCompanionFiles(AppPath_, ShowAppMessage)) TerminateRequested_ = true;
  processEvents();
  ProductInfo_ = ReadProductInfo(AppPath_ + "Res.dll", applicationFilePath().toLocal8Bit().toStdString());
  ProductInfo_.AppPath = AppPath_;
  const QString caption = Local(MainCaption(ProductInfo_));
  MainForm_->setWindowTitle(caption);
  MainForm_->lblTitle->setText(caption);
}

void TTarquelApplication::FormClose() {}

void TTarquelApplication::OpenHelp() { Services_->OpenWithDefaultHandler(ProductInfo_.AppPath + "Help.chm"); }

void TTarquelApplication::ShowAbout() {
  const auto forms = platform::CompanionLibrary::Load(AppPath_ + "Form.dll");
  if (!forms) return;
  const auto show = reinterpret_cast<ShowAboutFormFn>(forms->Symbol(SHOW_ABOUT_FORM_EXPORT));
  if (!show) return;
  const RecSoftInfo& i = ProductInfo_;
  const TarquelProductInfo info{i.CompanyName.c_str(), i.ProductName.c_str(), i.Text2.c_str(), i.Version.c_str(),
                                i.HomePage.c_str(),    i.Email.c_str(),       i.Text7.c_str(), i.AppPath.c_str()};
  show(static_cast<QApplication*>(this), &info);
}

}  // namespace tarquel::app
