// The Converting dialog over the real batch driver, with an encoder whose
// output, result and written file are scripted: the dialog follows the
// batch, Stop and the close box ask first, failed files are reported once
// at the end, and only this batch's partial output is removed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>

#include <atomic>
#include <filesystem>
#include <map>
#include <thread>

#include "ImageButton.h"
#include "ShellFixture.h"
#include "TextFormats.h"
#include "UnitCustomProc.h"
#include "Unit_Convert.h"
#include "Unit_Converting.h"

namespace tarquel {
namespace {

namespace fs = std::filesystem;

// What the scripted encoder does with one file.
struct TScript {
  std::vector<std::string> chunks;
  int status = 0;
  bool writesOutput = true;
  bool waitsForRelease = false;  // runs until the test lets it end
  int signal = 0;                // the signal that ended it
  std::vector<std::string> late{};  // delivered after the release, as a killed encoder's last words
};

// An encoder on its own thread that delivers the script's chunks, writes a
// little output at the command's output path, and ends with the script's
// status; as the real runner, it hands over and never waits for the GUI.
class ScriptedRun : public IEncoderRun {
 public:
  ScriptedRun(TScript script, std::string output, std::function<void(const std::string&)> onChunk,
              std::function<void()> done, std::atomic<bool>& release)
      : Status_(script.status), Signal_(script.signal) {
    Thread_ = std::thread([=, &release] {
      if (script.writesOutput) test::WriteFile(output, "partial");
      for (const std::string& chunk : script.chunks) {
        onChunk(chunk);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
      }
      while (script.waitsForRelease && !release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      for (const std::string& chunk : script.late) onChunk(chunk);
      done();
    });
  }
  ~ScriptedRun() override { Thread_.join(); }
  int ExitStatus() const override { return Status_; }
  int EndSignal() const override { return Signal_; }

 private:
  int Status_;
  int Signal_;
  std::thread Thread_;
};

// The output path: the last quoted text of the command.
std::string OutputOf(const std::string& command) {
  const auto end = command.rfind('"');
  const auto start = command.rfind('"', end - 1);
  return command.substr(start + 1, end - start - 1);
}

std::string Status(double seconds) {
  char line[128];
  std::snprintf(line, sizeof line, "frame=  100 q= 2.0 size=     100kB time=%.2f bitrate= 100.0kbits/s\r", seconds);
  return line;
}

class ConvertingUi : public test::ShellFixture {
 protected:
  void SetUp() override {
    MakeProgramFolder({"Res.dll", "Form.dll"});
    app::TMainEnvironment env = Environment();
    env.StartEncoder = [this](const std::string&, const std::string& command,
                              std::function<void(const std::string&)> onChunk,
                              std::function<void()> done) -> std::unique_ptr<IEncoderRun> {
      commands_.push_back(command);
      TScript script = scripts_.empty() ? TScript{} : scripts_.front();
      if (!scripts_.empty()) scripts_.erase(scripts_.begin());
      return std::make_unique<ScriptedRun>(script, OutputOf(command), std::move(onChunk), std::move(done), release_);
    };
    env.OutputSeconds = [this](const std::string& path) {
      const auto length = outputSeconds_.find(path);
      return length == outputSeconds_.end() ? 1e6 : length->second;
    };
    controller_ = Controller(std::move(env));
    controller_->InitApplication();
    proc_ = controller_->CustomProc();
    proc_->Profiles.FillAllSelectors();
    proc_->Profiles.ApplyProfile();
    proc_->UserSettings.Settings.OutDir = dir_.File("out");
  }
  // A scripted encoder still waiting must not hold the test's end.
  void TearDown() override { release_ = true; }
  void AddRow(const std::string& name, const std::string& end) {
    proc_->SourceList.Append(NewSourceRow(dir_.File(name), 1024, TimeTextToSeconds(end)));
  }
  // Runs the window's events until `done` holds, at most ten seconds.
  bool RunUntil(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
      if (t.elapsed() > 10'000) return false;
      QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
  }
  gui::TfrmConverting& Dialog() { return *controller_->Converting(); }
  TJobDriver& Driver() { return proc_->Driver(); }

  std::vector<TScript> scripts_;
  std::vector<std::string> commands_;
  std::map<std::string, double> outputSeconds_;  // what the probe reads of an output
  std::atomic<bool> release_{false};
  std::unique_ptr<app::TMainController> controller_;
  TCustomProc* proc_ = nullptr;
};

TEST_F(ConvertingUi, TheDialogFollowsABatchOfThreeAndGivesTheWindowBack) {
  AddRow("a.avi", "00:01:35");
  AddRow("b.avi", "00:01:35");
  AddRow("c.avi", "00:01:35");
  scripts_ = {{{Status(1), Status(40.12), Status(95)}}, {{Status(1), Status(40.12)}}, {{Status(2)}}};
  // Seen while the second file runs: both bars and the counter.
  int fileBar = -1, fileMax = -1, totalBar = -1;
  QString counter, status;
  bool disabledDuring = false;
  QObject::connect(Dialog().ProgressBar1, &QProgressBar::valueChanged, [&](int value) {
    if (commands_.size() != 2 || value != 40) return;
    fileBar = value;
    fileMax = Dialog().ProgressBar1->maximum();
    totalBar = Dialog().pbTotal->value();
    counter = Dialog().lblPersent->text();
    status = Dialog().statStatePanel->toolTip();
    disabledDuring = !controller_->MainForm().isEnabled() && Dialog().isVisible();
  });
  emit test::Control<QAbstractButton>(controller_->MainForm(), "btnConvert")->clicked();
  EXPECT_TRUE(Dialog().isVisible());
  ASSERT_TRUE(RunUntil([&] { return !Driver().Running(); }));
  ASSERT_EQ(commands_.size(), 3u);
  EXPECT_EQ(OutputOf(commands_[0]), dir_.File("out/a.mp4")) << commands_[0];
  EXPECT_TRUE(disabledDuring);
  EXPECT_EQ(fileBar, 40);
  EXPECT_EQ(fileMax, 95);
  EXPECT_EQ(totalBar, 100);  // trails the file bar by one refresh
  EXPECT_EQ(counter, QStringLiteral("Current: 2 , Total: 3."));
  EXPECT_EQ(status, QStringLiteral("frame=  100 q= 2.0 size=     100kB time=40.12 bitrate= 100.0kbits/s"));
  EXPECT_FALSE(Dialog().isVisible());
  EXPECT_TRUE(controller_->MainForm().isEnabled());
  EXPECT_EQ(proc_->Job.DoneCount, 3);
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_TRUE(fs::exists(dir_.File("out/a.mp4")));  // finished files stay
}

TEST_F(ConvertingUi, StopAsksFirstAndRemovesOnlyTheStoppedFilesOutput) {
  AddRow("a.avi", "00:00:10");
  AddRow("b.avi", "00:00:10");
  fs::create_directories(dir_.File("out"));
  test::WriteFile(dir_.File("out/a.mp4"), "an older conversion");
  scripts_ = {{{Status(1)}, 137, true, true}};
  emit test::Control<QAbstractButton>(controller_->MainForm(), "btnConvert")->clicked();
  ASSERT_TRUE(RunUntil([&] { return fs::exists(dir_.File("out/a_1.mp4")); }));

  dialogs_.answer = false;  // No: the batch goes on
  emit Dialog().btnStop->clicked();
  EXPECT_TRUE(Dialog().isVisible());
  EXPECT_FALSE(controller_->MainForm().isEnabled());

  dialogs_.answer = true;
  emit Dialog().btnStop->clicked();
  EXPECT_EQ(dialogs_.questions,
            (std::vector<std::string>{"Are you sure you want to stop the work ? ", "Are you sure you want to stop the work ? "}));
  EXPECT_FALSE(Dialog().isVisible());
  EXPECT_TRUE(controller_->MainForm().isEnabled());
  release_ = true;  // the encoder ends as if killed
  ASSERT_TRUE(RunUntil([&] { return !Driver().Running(); }));
  EXPECT_EQ(commands_.size(), 1u);  // the second row never starts
  EXPECT_FALSE(fs::exists(dir_.File("out/a_1.mp4")));
  EXPECT_EQ(test::ReadFile(dir_.File("out/a.mp4")), "an older conversion");
  EXPECT_TRUE(dialogs_.messages.empty());  // a stopped file is no failure
}

TEST_F(ConvertingUi, TheCloseBoxAsksAndKeepsTheEndOfBatchActions) {
  AddRow("a.avi", "00:00:10");
  proc_->UserSettings.Settings.ShowOutputDirectory = true;
  scripts_ = {{{Status(1)}, 137, false, true}};
  emit test::Control<QAbstractButton>(controller_->MainForm(), "btnConvert")->clicked();
  dialogs_.answer = false;
  Dialog().close();
  EXPECT_TRUE(Dialog().isVisible());
  dialogs_.answer = true;
  Dialog().close();
  EXPECT_EQ(dialogs_.questions.back(), "Are you sure to stop processing ?");
  EXPECT_FALSE(Dialog().isVisible());
  release_ = true;
  ASSERT_TRUE(RunUntil([&] { return !Driver().Running(); }));
  EXPECT_EQ(services_.explored, std::vector<std::string>{dir_.File("out") + "/"});
}

TEST_F(ConvertingUi, AFailedFileIsReportedOnceAtTheEndAndItsOutputRemoved) {
  AddRow("a.avi", "00:00:10");
  AddRow("b.avi", "00:00:10");
  scripts_ = {{{Status(1), "evc.exe: cannot decode the input: Invalid data found when processing input\n"}, 1},
              {{Status(1), Status(10)}}};
  emit test::Control<QAbstractButton>(controller_->MainForm(), "btnConvert")->clicked();
  ASSERT_TRUE(RunUntil([&] { return !Driver().Running(); }));
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0], "This file could not be converted:\n\n" + dir_.File("a.avi") +
                                      "\n    evc.exe: cannot decode the input: Invalid data found when processing input\n");
  EXPECT_FALSE(fs::exists(dir_.File("out/a.mp4")));
  EXPECT_TRUE(fs::exists(dir_.File("out/b.mp4")));
  EXPECT_NE(test::ReadFile(dir_.File("log.txt")).find("Convert failed: " + dir_.File("a.avi") + " | evc.exe: cannot"),
            std::string::npos);
  EXPECT_EQ(proc_->Job.DoneCount, 2);
}

TEST_F(ConvertingUi, AnOutputThatIsMissingOrShortOfItsCutIsAFailure) {
  AddRow("a.avi", "00:01:00");
  AddRow("b.avi", "00:01:00");
  proc_->SourceList.SetCell(0, dxtrlSourceFileStartTime, "00:00:05");
  outputSeconds_[dir_.File("out/a.mp4")] = 29.5;  // the source ended early
  scripts_ = {{{Status(29)}}, {{Status(60)}, 0, false}};  // b's output was removed
  emit test::Control<QAbstractButton>(controller_->MainForm(), "btnConvert")->clicked();
  ASSERT_TRUE(RunUntil([&] { return !Driver().Running(); }));
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0], "These files could not be converted:\n\n" + dir_.File("a.avi") +
                                      "\n    The source ended at 00:00:34, before the end of the cut at 00:01:00.\n\n" +
                                      dir_.File("b.avi") + "\n    The encoder reported success, but its output file " +
                                      dir_.File("out/b.mp4") +
                                      " is missing (it, or its folder, may have been removed while it was written).\n");
  EXPECT_FALSE(fs::exists(dir_.File("out/a.mp4")));
}

TEST_F(ConvertingUi, AnEncoderEndedBySignalOrWithoutWordsIsReportedInWords) {
  AddRow("a.avi", "00:00:10");
  AddRow("b.avi", "00:00:10");
  scripts_ = {{{Status(4)}, 137, true, false, 9}, {{Status(4)}, 3}};
  emit test::Control<QAbstractButton>(controller_->MainForm(), "btnConvert")->clicked();
  ASSERT_TRUE(RunUntil([&] { return !Driver().Running(); }));
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(dialogs_.messages[0], "These files could not be converted:\n\n" + dir_.File("a.avi") +
                                      "\n    evc.exe was ended (signal 9).\n\n" + dir_.File("b.avi") +
                                      "\n    evc.exe failed with exit status 3.\n");
}

TEST_F(ConvertingUi, AQualityPickedOnTheMainWindowIsWhatTheFileGets) {
  AddRow("a.avi", "00:00:10");
  fs::create_directories(fs::path(proc_->Config.FileName(kUserProfileInfoFile)).parent_path());
  test::WriteFile(proc_->Config.FileName(kUserProfileInfoFile), "\r\n[Mine]\r\nMine=1|1|2|5|1|2\r\n");
  proc_->Profiles.ReloadCustomProfiles();
  proc_->Profiles.cbbProfile.Clear();
  proc_->Profiles.FillProfileList(proc_->Profiles.cbbProfile);  // "Mine" after the five qualities
  proc_->Options.cbbCustomProfileChange(0);  // picked in the Options dialog: 128 kbit/s
  const auto audioBitrate = [&] {
    emit test::Control<QAbstractButton>(controller_->MainForm(), "btnConvert")->clicked();
    EXPECT_TRUE(RunUntil([&] { return !Driver().Running(); }));
    const std::string& command = commands_.back();
    const auto at = command.find(" -ab ");
    return command.substr(at + 5, command.find(' ', at + 5) - at - 5);
  };
  proc_->Profiles.cbbProfileChange(4);  // "Superb Quality" on the main window
  EXPECT_EQ(audioBitrate(), "224");
  proc_->Profiles.cbbProfileChange(kFirstCustomProfile);  // the custom profile itself
  EXPECT_EQ(audioBitrate(), "128");
}

TEST_F(ConvertingUi, TheTitlesShowTheBatchsProgressAndItsEndIsNotifiedOnce) {
  AddRow("a.avi", "00:01:35");
  AddRow("b.avi", "00:01:35");
  AddRow("c.avi", "00:01:35");  // 285 s in all
  scripts_ = {{{Status(1), Status(40.12), Status(95)}, 0, true, true}, {{Status(1), Status(95)}}, {{Status(1), Status(95)}}};
  std::vector<QString> dialogTitles, mainTitles;
  QObject::connect(&Dialog(), &QWidget::windowTitleChanged, [&](const QString& t) { dialogTitles.push_back(t); });
  QObject::connect(&controller_->MainForm(), &QWidget::windowTitleChanged, [&](const QString& t) { mainTitles.push_back(t); });
  emit test::Control<QAbstractButton>(controller_->MainForm(), "btnConvert")->clicked();
  // The user turns to another window while the batch runs.
  ASSERT_TRUE(RunUntil([&] { return Dialog().ProgressBar1->value() == 95; }));
  QWidget elsewhere;
  elsewhere.show();
  elsewhere.activateWindow();
  ASSERT_TRUE(RunUntil([&] { return elsewhere.isActiveWindow(); }));
  release_ = true;
  ASSERT_TRUE(RunUntil([&] { return !Driver().Running(); }));
  const auto seen = [](const std::vector<QString>& titles, const char* pattern) {
    const QRegularExpression wanted(QString::fromLatin1(pattern));
    return std::any_of(titles.begin(), titles.end(), [&](const QString& t) { return wanted.match(t).hasMatch(); });
  };
  EXPECT_TRUE(seen(dialogTitles, "^Converting - 14% - \\d\\d:\\d\\d:\\d\\d left$"));  // 40 of 285 s
  EXPECT_TRUE(seen(dialogTitles, "^Converting - 66% - "));
  EXPECT_TRUE(seen(mainTitles, "^33% - Tarquel 2.0$"));
  EXPECT_EQ(Dialog().windowTitle(), QStringLiteral("Converting"));
  EXPECT_EQ(controller_->MainForm().windowTitle(), QStringLiteral("Tarquel 2.0"));
  EXPECT_EQ(sleepHolds_, (std::vector<bool>{true, false}));
  EXPECT_EQ(notifications_, std::vector<std::string>{"Tarquel: 3 files converted"});  // the window is not active

  // Nothing to tell a user who is looking at the window (shown here
  // without the start-up that its first showing runs).
  controller_->MainForm().OnFirstShow = nullptr;
  controller_->MainForm().show();
  controller_->MainForm().activateWindow();
  ASSERT_TRUE(RunUntil([&] { return controller_->MainForm().isActiveWindow(); }));
  scripts_ = {{{Status(1)}, 1}};
  emit test::Control<QAbstractButton>(controller_->MainForm(), "btnConvert")->clicked();
  ASSERT_TRUE(RunUntil([&] { return !Driver().Running(); }));
  EXPECT_EQ(notifications_.size(), 1u);
}

// A killed encoder's last output arrives after Stop: it must not bring the
// counter back.
TEST_F(ConvertingUi, OutputArrivingAfterStopChangesNothing) {
  AddRow("a.avi", "00:00:10");
  AddRow("b.avi", "00:00:10");
  TScript script{{Status(1), Status(3)}, 137, true, true};
  script.late = {Status(5), Status(8)};
  scripts_ = {script};
  emit test::Control<QAbstractButton>(controller_->MainForm(), "btnConvert")->clicked();
  ASSERT_TRUE(RunUntil([&] { return Dialog().lblPersent->text() == QStringLiteral("Current: 1 , Total: 2."); }));
  dialogs_.answer = true;
  emit Dialog().btnStop->clicked();
  release_ = true;
  ASSERT_TRUE(RunUntil([&] { return !Driver().Running(); }));
  EXPECT_EQ(Dialog().lblPersent->text(), QStringLiteral("Current: 1, Total: ..."));
  EXPECT_EQ(Dialog().ProgressBar1->value(), 0);
  EXPECT_EQ(Dialog().windowTitle(), QStringLiteral("Converting"));
  EXPECT_EQ(sleepHolds_, (std::vector<bool>{true, false}));
  EXPECT_TRUE(notifications_.empty());  // the user stopped it
}

}  // namespace
}  // namespace tarquel
