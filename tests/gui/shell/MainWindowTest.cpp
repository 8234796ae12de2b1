// The application shell with the offscreen platform: start-up and its
// result, missing companion files, the keyboard table, the window's size
// rules, saving at close, the product information and the About box. The
// outside services and the boxes are doubles.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>

#include <filesystem>

#include "CompanionLibrary.h"
#include "FlashForm.h"
#include "ImageButton.h"
#include "JpegImage.h"
#include "MainController.h"
#include "ProductInfo.h"
#include "ShellFixture.h"
#include "SourceDoubles.h"
#include "SourceListView.h"
#include "UnitCustomProc.h"
#include "Unit_Convert.h"

namespace tarquel {
namespace {

using test::kProgramDir;
using Shell = test::ShellFixture;

TEST_F(Shell, StartUpTitlesTheWindowAndFillsTheSelectors) {
  MakeProgramFolder({"Res.dll", "Form.dll"});
  auto c = Controller();
  c->FirstShow();  // the splash stays its two seconds
  gui::TFrmMainForm& f = c->MainForm();
  EXPECT_EQ(f.windowTitle(), QStringLiteral("Tarquel 2.0"));
  auto* const types = test::Control<QComboBox>(f, "cbbOutputFiletype");
  auto* const profiles = test::Control<QComboBox>(f, "cbbProfile");
  EXPECT_EQ(test::Control<QLabel>(f, "lblTitle")->text(), QStringLiteral("Tarquel 2.0"));
  EXPECT_EQ(types->currentText(), QStringLiteral("PSP MPEG-4 Video Files (*.mp4)"));
  EXPECT_EQ(profiles->currentText(), QStringLiteral("Normal Quality"));
  EXPECT_EQ(profiles->count(), 5);
  EXPECT_EQ(test::Control<QLineEdit>(f, "edtOutputFolder")->text().toStdString(), dir_.File("home") + "/Tarquel");
  EXPECT_FALSE(test::Control<QCheckBox>(f, "chkShutdown")->isChecked());
  EXPECT_FALSE(test::Control<QCheckBox>(f, "chkShowOutputDirectory")->isChecked());  // no settings file yet: "0"
  const TConvertSettings& s = c->CustomProc()->Profiles.Settings;
  EXPECT_EQ(VideoSizes.EntryText(s.VideoSize()), "320x240");
  EXPECT_EQ(FrameRates.EntryText(s.Framerate()), "15");
  EXPECT_EQ(AudioVolumes.EntryText(s.AudioVolumeGain()), "200");
  EXPECT_TRUE(f.acceptDrops());
  EXPECT_EQ(c->ProductInfo().HomePage, "https://tarquel.example.com/");
  EXPECT_EQ(ends_, 0);
  EXPECT_TRUE(dialogs_.appMessages.empty());

  // A pick of the user applies its profile; the output type switches it.
  emit types->activated(3);
  EXPECT_EQ(AudioSamples.EntryText(s.AudioSample()), "22050");
}

TEST_F(Shell, MissingCompanionFilesAreBothReportedAndTheProgramEnds) {
  MakeProgramFolder({});
  auto c = Controller();
  c->FirstShow();
  EXPECT_EQ(dialogs_.appMessages,
            (std::vector<std::string>{"'Form.dll' is not found. Please reinstall this program. #1",
                                      "'Res.dll' is not found. Please reinstall this program. #1"}));
  EXPECT_TRUE(c->TerminateRequested());
  EXPECT_EQ(ends_, 1);
  // Without Form.dll the About box shows nothing.
  c->ShowAbout();
}

TEST_F(Shell, KeysActBeforeTheFocusedControlAndOnlyWithCtrlAlone) {
  MakeProgramFolder({"Res.dll", "Form.dll"});
  auto c = Controller();
  gui::TFrmMainForm& f = c->MainForm();
  std::vector<std::string> clicked;
  for (const char* name : {"btnOpenFile", "btnConvert", "btnSelectOutputFolder", "btnOptions"}) {
    QObject::connect(test::Control<gui::TImageButton>(f, name), &QAbstractButton::clicked,
                     [&clicked, name] { clicked.push_back(name); });
  }
  int helps = 0;
  f.OnHelp = [&] { ++helps; };
  const struct {
    int key;
    Qt::KeyboardModifiers mods;
    const char* button;  // nullptr: nothing
  } cases[] = {
      {Qt::Key_O, Qt::ControlModifier, "btnOpenFile"},
      {Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier, nullptr},
      {Qt::Key_O, Qt::ControlModifier | Qt::AltModifier, nullptr},
      {Qt::Key_S, Qt::ControlModifier, "btnConvert"},
      {Qt::Key_N, Qt::ControlModifier, "btnConvert"},
      {Qt::Key_I, Qt::ControlModifier, "btnOptions"},
      {Qt::Key_B, Qt::ControlModifier, "btnSelectOutputFolder"},  // hidden, still reached
      {Qt::Key_X, Qt::ControlModifier, nullptr},
  };
  for (const auto& k : cases) {
    clicked.clear();
    f.FormKeyDown(k.key, k.mods);
    EXPECT_EQ(clicked, k.button ? std::vector<std::string>{k.button} : std::vector<std::string>{}) << k.key;
  }
  f.FormKeyDown(Qt::Key_F1, Qt::ShiftModifier);
  f.FormKeyDown(Qt::Key_F1, Qt::NoModifier);
  EXPECT_EQ(helps, 2);
  EXPECT_FALSE(test::Control(f, "btnSelectOutputFolder")->isVisibleTo(&f));
}

TEST(MainWindow, AShortcutThatOpenedABoxRunsOnceEvenWhenTheFocusIsGoneAfterwards) {
  gui::TFrmMainForm f;
  f.show();
  int runs = 0;
  QObject::connect(test::Control<QAbstractButton>(f, "btnConvert"), &QAbstractButton::clicked, [&] {
    ++runs;
    // A modal box, closed by code at once; the focus has not come back when
    // it returns (as on X11, where the window is activated again later).
    QDialog box(&f);
    QTimer::singleShot(0, &box, &QDialog::accept);
    box.exec();
    if (QWidget* focus = QApplication::focusWidget()) focus->clearFocus();
  });
  for (int press = 1; press <= 2; ++press) {
    f.activateWindow();
    for (int i = 0; i < 200 && !f.isActiveWindow(); ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QWidget* const list = &f.SourceListView();
    list->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), list);
    QKeyEvent ctrlS(QEvent::KeyPress, Qt::Key_S, Qt::ControlModifier);
    QApplication::sendEvent(list, &ctrlS);  // travels up to the window
    EXPECT_EQ(runs, press);
    QCoreApplication::processEvents();  // the next press is a new one
  }
  // While a modal box of another window is open, keys are not the window's.
  QDialog other;
  other.setModal(true);
  other.show();
  QKeyEvent ctrlS(QEvent::KeyPress, Qt::Key_S, Qt::ControlModifier);
  QApplication::sendEvent(&f, &ctrlS);
  EXPECT_EQ(runs, 2);
}

TEST(MainWindow, MovingTheWindowByHandGivesTheMouseBackOnRelease) {
  gui::TFrmMainForm f;
  f.show();
  const QPointF inTitle(20, 10);
  QWidget* const title = test::Control(f, "lblTitle");
  const QPointF global = title->mapToGlobal(inTitle);
  QMouseEvent press(QEvent::MouseButtonPress, inTitle, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(title, &press);
  if (QWidget::mouseGrabber() != &f) GTEST_SKIP() << "the platform moves the window itself";
  const QPointF moved = global + QPointF(30, 20);
  QMouseEvent move(QEvent::MouseMove, f.mapFromGlobal(moved), moved, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&f, &move);
  QMouseEvent release(QEvent::MouseButtonRelease, f.mapFromGlobal(moved), moved, Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(&f, &release);
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr) << "a later click would move the window again";
}

TEST_F(Shell, TheWindowKeepsItsMinimumSizeAndOpensHelpAndLinks) {
  MakeProgramFolder({"Res.dll", "Form.dll"});
  auto c = Controller();
  gui::TFrmMainForm& f = c->MainForm();
  EXPECT_EQ(f.minimumSize(), QSize(686, 519));
  f.resize(300, 200);
  EXPECT_GE(f.width(), 686);
  EXPECT_GE(f.height(), 519);
  c->OpenHelp();
  emit f.CodecLinkClicked();
  emit test::Control<QAbstractButton>(f, "btnEMail")->clicked();
  ASSERT_EQ(services_.opened.size(), 2u);
  EXPECT_EQ(services_.opened[0], dir_.Folder() + "Help.html");  // no CHM viewer here
  EXPECT_EQ(services_.opened[1], "mailto:");                      // before start-up: no address yet
  EXPECT_EQ(services_.browsed.size(), 1u);
}

TEST_F(Shell, ClosingSavesTheSettingsAndEndsTheProgram) {
  MakeProgramFolder({"Res.dll", "Form.dll"});
  auto c = Controller();
  c->FirstShow();
  test::Control<QCheckBox>(c->MainForm(), "chkShutdown")->click();
  c->MainForm().close();
  EXPECT_EQ(ends_, 1);
  EXPECT_EQ(test::ReadFile(dir_.File("Config/UserSettings.ini")),
            "\r\n[USRInfo]\r\nSHWDDir=0\r\nSHUTDOWN=1\r\nOutDir=" + dir_.File("home") + "/Tarquel\r\n");
}

// Files named on the command line arrive after start-up as a drop; the
// settings go to the data folders handed in, not beside the program.
TEST_F(Shell, StartFilesAreAddedAfterStartUpAndSettingsGoToTheDataFolders) {
  MakeProgramFolder({"Res.dll", "Form.dll"});
  test::WriteFile(dir_.File("a.avi"), "media");
  std::filesystem::create_directories(dir_.File("cfg/Config"));
  std::filesystem::create_directories(dir_.File("state"));
  app::TMainEnvironment env = Environment();
  env.MakeProbeGraph = [this] {
    return std::make_unique<test::FakeProbeGraph>(std::map<std::string, std::int32_t>{{dir_.File("a.avi"), 100'000}});
  };
  env.StartFiles = {dir_.File("a.avi")};
  env.Data = {dir_.File("cfg") + "/", dir_.File("state") + "/"};
  auto c = Controller(std::move(env));
  c->FirstShow();
  const TSourceList& list = c->CustomProc()->SourceList;
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Cell(0, dxtrlSourceFileName), dir_.File("a.avi"));
  c->MainForm().close();
  EXPECT_TRUE(std::filesystem::exists(dir_.File("cfg/Config/UserSettings.ini")));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("Config/UserSettings.ini")));
}

TEST(ProductInfo, ComesFromResDllAndTheExecutablesVersion) {
  const RecSoftInfo info = ReadProductInfo(kProgramDir + "Res.dll", kProgramDir + "Tarquel");
  EXPECT_EQ(info.ProductName, "Tarquel");
  EXPECT_EQ(info.Version, "2.0");
  EXPECT_EQ(info.CompanyName, "Brenmoor Software");
  EXPECT_EQ(info.Email, "support@tarquel.example.com");
  EXPECT_EQ(MainCaption(info), "Tarquel 2.0");
  EXPECT_EQ(MainCaption(ReadProductInfo("/nowhere/Res.dll", "/nowhere/Tarquel")), " ");

  const auto res = platform::CompanionLibrary::Load(kProgramDir + "Res.dll");
  ASSERT_TRUE(res);
  const QImage splash = gui::DecodeJpeg(*res->Resource("ImgFlash", "jpeg"));
  ASSERT_FALSE(splash.isNull());
  gui::TFrmFlashForm form(nullptr, splash, nullptr);
  EXPECT_EQ(form.size(), splash.size());
  EXPECT_TRUE(gui::DecodeJpeg({1, 2, 3}).isNull());
}

}  // namespace
}  // namespace tarquel

