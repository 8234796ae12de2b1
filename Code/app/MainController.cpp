#include "MainController.h"

#include <QCoreApplication>
#include <QTimer>
#include <QWindow>

#include "CompanionExports.h"
#include "CompanionLibrary.h"
#include "FlashForm.h"
#include "JpegImage.h"
#include "Launcher.h"
#include "QtDialogs.h"
#include "Errors.h"
#include "CodeErrorForm.h"
#include "ExternalLinks.h"
#include "ProbeGraph.h"
#include "SourceFilesUi.h"
#include "PreviewChildGraph.h"
#include "PreviewPlayer.h"
#include "ScreenSaver.h"
#include "UnitCustomProc.h"
#include "Unit_Convert.h"
#include "Unit_Converting.h"
#include "Unit_Option.h"
#include "SystemText.h"

namespace tarquel::app {

using gui::FromSystemText;

namespace {


QStringList Rows(const TSettingSelector& model) {
  QStringList rows;
  for (const auto& item : model.Items()) rows.push_back(FromSystemText(item));
  return rows;
}

// The preview's part of the main window.
class TPreviewWindowView : public IPreviewView {
 public:
  TPreviewWindowView(gui::TFrmMainForm& form, platform::TScreenSaverInhibitor& screenSaver)
      : Form_(form), ScreenSaver_(screenSaver) {}
  void ShowLogo(bool shown) override { Form_.ShowLogo(shown); }
  void ShowPosition(const std::string& text) override { Form_.ShowPosition(FromSystemText(text)); }
  void HoldScreenSaver(bool hold) override { ScreenSaver_.Hold(hold); }

 private:
  gui::TFrmMainForm& Form_;
  platform::TScreenSaverInhibitor& ScreenSaver_;
};

}  // namespace

TMainController::TMainController(TMainEnvironment env)
    : Env_(std::move(env)), MainForm_(std::make_unique<gui::TFrmMainForm>()) {
  MainForm_->setWindowTitle(QStringLiteral("Tarquel"));
  Wire();
}

TMainController::~TMainController() = default;

void TMainController::Wire() {
  gui::TFrmMainForm& f = *MainForm_;
  f.OnFirstShow = [this] { FirstShow(); };
  f.OnFormClose = [this] { FormClose(); };
  f.OnHelp = [this] { OpenHelp(); };
  using Form = gui::TFrmMainForm;
  connect(&f, &Form::HomePageClicked, this, [this] { Env_.Services.OpenWithDefaultHandler(ProductInfo_.HomePage); });
  connect(&f, &Form::EMailClicked, this,
          [this] { Env_.Services.OpenWithDefaultHandler("mailto:" + ProductInfo_.Email); });
  connect(&f, &Form::HelpClicked, this, [this] { OpenHelp(); });
  connect(&f, &Form::AboutClicked, this, [this] { ShowAbout(); });
  connect(&f, &Form::CodecLinkClicked, this, [this] { Env_.Services.OpenInBrowser(kCodecDownloadAddress); });
  connect(&f, &Form::UpdateClicked, this, [this] { LaunchUpdater(Env_.AppPath, Env_.Services); });
  connect(&f, &Form::ClearMemoryTick, this, [this] { Env_.Services.TrimWorkingSet(); });

  // Only the user's picks apply a profile; selecting from code never does.
  connect(&f, &Form::OutputFiletypePicked, this, [this](int row) {
    if (!Proc_) return;
    Proc_->Profiles.cbbOutputFiletypeChange(row);
    ShowSettings();
  });
  connect(&f, &Form::ProfilePicked, this, [this](int row) {
    if (!Proc_) return;
    Proc_->Profiles.cbbProfileChange(row);
    ShowSettings();
  });
  connect(&f, &Form::ShutdownClicked, this, [this](bool on) {
    if (Proc_) Proc_->UserSettings.Settings.Shutdown = on;
  });
  connect(&f, &Form::ShowOutputDirectoryClicked, this, [this](bool on) {
    if (Proc_) Proc_->UserSettings.Settings.ShowOutputDirectory = on;
  });
  connect(&f, &Form::SelectOutputFolderClicked, this, [this] {
    if (!Proc_) return;
    Proc_->UserSettings.btnSelectOutputFolderClick();
    ShowSettings();
  });
  connect(&f, &Form::ConvertClicked, this, [this] {
    if (Proc_) Proc_->btnConvertClick();
  });
  connect(&f, &Form::OptionsClicked, this, [this] { ShowOptions(); });

  // The preview player's buttons.
  connect(&f, &Form::PlayClicked, this, [this] {
    if (Preview_) Preview_->btnPlayClick();
  });
  connect(&f, &Form::PauseClicked, this, [this] {
    if (Preview_) Preview_->btnPauseClick();
  });
  connect(&f, &Form::StopClicked, this, [this] {
    if (Preview_) Preview_->btnStopClick();
  });
}

void TMainController::ShowSettings() {
  if (!Proc_) return;
  gui::TFrmMainForm& f = *MainForm_;
  const TProfileModel& profiles = Proc_->Profiles;
  f.ShowOutputFiletypes(Rows(profiles.cbbOutputFiletype), profiles.cbbOutputFiletype.ItemIndex());
  f.ShowProfiles(Rows(profiles.cbbProfile), profiles.cbbProfile.ItemIndex());
  const TUserSettings& s = Proc_->UserSettings.Settings;
  f.ShowOutputFolder(FromSystemText(s.OutDir));
  f.ShowShutdown(s.Shutdown);
  f.ShowOutputDirectoryWhenDone(s.ShowOutputDirectory);
}

void TMainController::FirstShow() {
  QImage splash;
  if (const auto res = platform::CompanionLibrary::Load(Env_.AppPath + "Res.dll")) {
    if (const auto jpeg = res->Resource("ImgFlash", "jpeg")) splash = gui::DecodeJpeg(*jpeg);
  }
  MainForm_->setEnabled(false);
  gui::ShowSplash(MainForm_.get(), splash, [this] { InitApplication(); });
  MainForm_->setEnabled(true);
  if (TerminateRequested_) {
    Env_.EndProgram();
    return;
  }
  Proc_->Profiles.FillAllSelectors();
  MainForm_->setAcceptDrops(true);
  Proc_->Profiles.ApplyProfile();
  ShowSettings();
  if (!Env_.StartFiles.empty()) SourceFiles_->AddDroppedFiles(Env_.StartFiles);
}

void TMainController::InitApplication() {
  Lib_ = std::make_unique<TCommonLib>(Env_.AppPath,
                                      Env_.Data.Settings.empty() ? TDataFolders::Beside(Env_.AppPath) : Env_.Data,
                                      Env_.Processes, Env_.Services, Env_.Dialogs);
  // Outputs that a Tarquel which has ended, by a crash or a kill, left
  // unfinished are removed before anything else is written.
  const std::string journal = Lib_->Data.State + "outputs.journal";
  for (const std::string& removed : TOutputJournal::RemoveUnfinished(journal, platform::ProcessIdentityAlive)) {
    Lib_->AppFunc.WriteLog("Removed the unfinished output " + removed);
  }
  Journal_ = std::make_unique<TOutputJournal>(journal, platform::OwnProcessIdentity());
  BatchHost_ = std::make_unique<TBatchHost>(Env_, *this, *MainForm_, *Journal_);
  const auto processMessages = [] { QCoreApplication::processEvents(); };
  ScreenSaver_ = std::make_unique<platform::TScreenSaverInhibitor>("Tarquel");
  // The preview decodes and draws in a child process; the video window
  // shows its pictures.
  gui::TFrmMainForm* form = MainForm_.get();
  PlayerGraph_ = std::make_unique<media::TPreviewChildGraph>(Env_.AppPath + "tarquel-preview");
  PlayerGraph_->SetOnFrame([form](const QImage& picture, std::int64_t) { form->ShowFrame(picture); });
  PlayerGraph_->SetFrameBox(form->FrameBox().width(), form->FrameBox().height());
  connect(form, &gui::TFrmMainForm::FrameBoxChanged, this,
          [this](QSize box) { PlayerGraph_->SetFrameBox(box.width(), box.height()); });
  PreviewView_ = std::make_unique<TPreviewWindowView>(*MainForm_, *ScreenSaver_);
  Preview_ = std::make_unique<TPreviewPlayer>(
      *PlayerGraph_, *PreviewView_, Lib_->LoadedFile, [this](const std::string& line) { Lib_->AppFunc.WriteLog(line); },
      processMessages);
  // A preview child lost while playing: one line in the log, the logo back,
  // and the next Play opens the file again in a fresh child.
  PlayerGraph_->SetOnFailure([this](const std::string& line) {
    Lib_->AppFunc.WriteLog(line);
    Preview_->StopPlayback();
  });
  Proc_ = std::make_unique<TCustomProc>(*Lib_, Env_.Home, Env_.Dialogs, Env_.Dialogs, *BatchHost_, *Preview_,
                                        processMessages);
  Preview_->Attach(Proc_->TrimBar, Proc_->SourceList);
  MainForm_->ShowTrimBar(&Proc_->TrimBar);
  gui::TSourceFilesUi::TServices sources{Env_.MakeProbeGraph ? Env_.MakeProbeGraph : media::MakeProbeGraph,
                                         Env_.ShowCodeErrorForm,
                                         [this](const std::string& report) {
                                           ShowMsgBox(Env_.Dialogs, report, kMsgWarning);
                                         },
                                         Env_.OpenDialog};
  if (!sources.ShowCodeErrorForm) {
    sources.ShowCodeErrorForm = [this](const std::string& path) {
      gui::ShowCodeErrorForm(MainForm_.get(), path,
                             [this] { Env_.Services.OpenInBrowser(kCodecDownloadAddress); });
    };
  }
  SourceFiles_ = std::make_unique<gui::TSourceFilesUi>(*MainForm_, *Proc_, std::move(sources));
  Converting_ = std::make_unique<gui::TfrmConverting>(Proc_->Converting);
  BatchHost_->SetConvertingDialog(Converting_.get());
  TJobDriver& driver = Proc_->Driver();
  Converting_->OnStop = [&driver] { driver.btnStop1Click(); };
  Converting_->OnClose = [&driver] { driver.FormClose(); };
  connect(&Converting_->tmrChanging, &QTimer::timeout, this, [&driver] { driver.tmrChangingTimer(); });
  Converting_->tmrChanging.start();
  CreateOptionsDialog();
  if (!CheckCompanionFiles(Env_.AppPath, [this](const std::string& msg, int type) {
        return Env_.Dialogs.ShowAppMessage(msg, type);
      })) {
    TerminateRequested_ = true;
  }
  QCoreApplication::processEvents();
  ProductInfo_ = ReadProductInfo(Env_.AppPath + "Res.dll", Env_.ExePath);
  ProductInfo_.AppPath = Env_.AppPath;
  const QString caption = FromSystemText(MainCaption(ProductInfo_));
  MainForm_->ShowCaption(caption);
}

// --- Options dialog ------------------------------------------------------------

void TMainController::CreateOptionsDialog() {
  OptionForm_ = std::make_unique<gui::TfrmOption>(Proc_->Profiles, Proc_->Options);
  // A window of its own (the main window's skin is not its look) that stays
  // above the main window.
  OptionForm_->winId();
  if (QWindow* window = OptionForm_->windowHandle()) window->setTransientParent(MainForm_->windowHandle());
  // Both windows redraw from the one profile model, whichever changed it.
  Proc_->Profiles.Changes.Subscribe([this] { ShowSettings(); });
}

void TMainController::ShowOptions() {
  if (!OptionForm_) return;
  if (OptionForm_->isVisible()) {
    OptionForm_->raise();
    OptionForm_->activateWindow();
    return;
  }
  OptionForm_->show();
}

void TMainController::FormClose() {
  // The preview graph is emptied and released, and with it the hold on the
  // screen saver.
  if (PlayerGraph_) {
    PlayerGraph_->ClearGraph();
    PlayerGraph_->SetActive(false);
  }
  if (ScreenSaver_) ScreenSaver_->Hold(false);
  if (Proc_) {
    try {
      Proc_->UserSettings.SaveUserSettings();
    } catch (const std::exception& error) {
      ShowMsgBox(Env_.Dialogs, error.what(), kMsgError);
    }
  }
  Env_.EndProgram();
}

void TMainController::OpenHelp() {
  const bool chm = Env_.ChmViewerInstalled && Env_.ChmViewerInstalled();
  Env_.Services.OpenWithDefaultHandler(HelpFile(ProductInfo_.AppPath.empty() ? Env_.AppPath : ProductInfo_.AppPath, chm));
}

void TMainController::ShowAbout() {
  const auto forms = platform::CompanionLibrary::Load(Env_.AppPath + "Form.dll");
  if (!forms) return;
  const auto show = reinterpret_cast<ShowAboutFormFn>(forms->Symbol(SHOW_ABOUT_FORM_EXPORT));
  if (!show) return;
  const RecSoftInfo& i = ProductInfo_;
  const TarquelProductInfo info{i.CompanyName.c_str(), i.ProductName.c_str(), i.Text2.c_str(), i.Version.c_str(),
                                i.HomePage.c_str(),    i.Email.c_str(),       i.Text7.c_str(), i.AppPath.c_str()};
  show(QCoreApplication::instance(), &info);
}

}  // namespace tarquel::app
