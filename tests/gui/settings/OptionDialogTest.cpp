// The Options dialog with the offscreen platform, as a view of the profile
// model: what it shows, what the user's picks and buttons do, and how it
// keeps in step with the main window. The boxes are doubles.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>

#include "Errors.h"
#include "SettingsFixture.h"
#include "ShellFixture.h"
#include "UnitCustomProc.h"
#include "Unit_Convert.h"
#include "Unit_Option.h"

namespace tarquel::test {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

std::string Shown(const QComboBox* combo) { return combo->currentText().toStdString(); }

Texts Rows(const QComboBox* combo) {
  Texts rows;
  for (int i = 0; i < combo->count(); ++i) rows.push_back(combo->itemText(i).toStdString());
  return rows;
}

// A pick of the user: the row shows, then the combo box reports it.
void Pick(QComboBox* combo, int row) {
  combo->setCurrentIndex(row);
  emit combo->activated(row);
}

class OptionDialog : public SettingsFixture {
 protected:
  OptionDialog() { StartUp(); }
  gui::TfrmOption form{profiles, options};
};

TEST_F(OptionDialog, ShowsTheSettingsAndCancelOrEscRestoresTheSnapshot) {
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Options"));
  EXPECT_EQ(form.size(), QSize(476, 260));
  EXPECT_FALSE(form.isModal());
  EXPECT_EQ(Shown(form.cbbVideoSize), "320x240");
  EXPECT_EQ(Shown(form.cbbAudioVolumeGain), "200");
  EXPECT_TRUE(form.cbbCustomProfile->isEditable());
  EXPECT_FALSE(form.cbbFramerate->isEditable());

  for (const auto close : {+[](gui::TfrmOption& f) { f.btnCancel->click(); },
                           +[](gui::TfrmOption& f) { QTest::keyClick(&f, Qt::Key_Escape); }}) {
    form.show();
    ASSERT_TRUE(options.OptionsSnapshot);
    Pick(form.cbbFramerate, 6);
    Pick(form.cbbAudioVolumeGain, 12);
    EXPECT_EQ(FrameRates.EntryText(profiles.Settings.Framerate()), "30");
    EXPECT_EQ(AudioVolumes.EntryText(profiles.Settings.AudioVolumeGain()), "300");
    close(form);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(FrameRates.EntryText(profiles.Settings.Framerate()), "15");
    EXPECT_EQ(Shown(form.cbbFramerate), "15");
    EXPECT_EQ(Shown(form.cbbAudioVolumeGain), "200");
  }
}

TEST_F(OptionDialog, AddSuggestsNumberedNamesAlsoAfterACancel) {
  dialogs.Names = {std::nullopt, "Mine"};
  form.show();
  form.btnAdd->click();
  EXPECT_EQ(form.cbbCustomProfile->count(), 0);
  form.btnAdd->click();
  EXPECT_EQ(dialogs.Asked, (Texts{"Tarquel|Plese input a name|UserProfileInfo1",
                                  "Tarquel|Plese input a name|UserProfileInfo2"}));
  EXPECT_EQ(Rows(form.cbbCustomProfile), Texts{"Mine"});
  EXPECT_EQ(Shown(form.cbbCustomProfile), "Mine");
  EXPECT_EQ(profiles.cbbProfile.Items().size(), 5u) << "the main list waits for OK";
}

TEST_F(OptionDialog, OnlyAPickedRowAppliesItsProfileNotATypedName) {
  WriteConfig(kUserProfileInfoFile, "\r\n[Low]\r\nLow=1|0|0|2|0|0\r\n");
  form.show();
  QLineEdit* edit = form.cbbCustomProfile->lineEdit();
  QTest::keyClicks(edit, "Low");
  emit edit->editingFinished();  // the combo box would select the row "Low"
  EXPECT_EQ(profiles.cbbCustomProfile.Text, "Low");
  EXPECT_EQ(profiles.cbbCustomProfile.ItemIndex, NoSelection);
  EXPECT_EQ(Shown(form.cbbFramerate), "15") << "typing applied the profile";

  Pick(form.cbbCustomProfile, 0);
  EXPECT_EQ(Shown(form.cbbFramerate), "14.985");
  EXPECT_EQ(Shown(form.cbbAudioBitrate), "48");
}

TEST_F(OptionDialog, TheCloseBoxOnlyHides) {
  dialogs.Names = {"Mine"};
  form.show();
  Pick(form.cbbAspectratio, 1);
  form.btnAdd->click();
  form.close();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(AspectRatios.EntryText(profiles.Settings.Aspectratio()), "16:9");
  EXPECT_EQ(Shown(form.cbbCustomProfile), "Mine");
  EXPECT_EQ(profiles.cbbProfile.Items().size(), 5u);
}

TEST_F(OptionDialog, AFailedWriteLeavesTheDialogAsItWas) {
  form.show();
  fs::remove_all(Config());
  QTest::keyClicks(form.cbbCustomProfile->lineEdit(), "Mine");
  // Emitted rather than clicked: an exception unwinding through click() leaks its guard.
  EXPECT_THROW(emit form.btnSave->clicked(), FileCreateError);  // to the application's error report
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(Shown(form.cbbCustomProfile), "Mine");
  EXPECT_FALSE(fs::exists(Config()));
}

// The dialog beside the main window, wired as the program wires them.
class OptionDialogInTheProgram : public ShellFixture {};

TEST_F(OptionDialogInTheProgram, FollowsTheMainWindowAndOkRefillsItsProfileList) {
  MakeProgramFolder({"Res.dll", "Form.dll"});
  auto c = Controller();
  c->FirstShow();
  gui::TFrmMainForm& f = c->MainForm();
  gui::TfrmOption& o = *c->OptionForm();
  EXPECT_EQ(Shown(o.cbbAudioSample), "44100") << "filled at start-up";

  f.FormKeyDown(Qt::Key_I, Qt::ControlModifier);
  EXPECT_TRUE(o.isVisible());
  EXPECT_TRUE(f.isEnabled());
  Pick(Control<QComboBox>(f, "cbbOutputFiletype"), 3);  // the main window stays usable; the dialog follows
  EXPECT_EQ(Shown(o.cbbAudioSample), "22050");
  EXPECT_EQ(Shown(o.cbbAudioChannels), "1 channel, Mono");

  QTest::keyClicks(o.cbbCustomProfile->lineEdit(), "Mine");
  o.btnSave->click();  // with the ".mp3" Normal Quality values
  Pick(o.cbbVideoBitrate, 0);
  QComboBox* const mainProfiles = Control<QComboBox>(f, "cbbProfile");
  EXPECT_EQ(mainProfiles->count(), 5);
  QTest::keyClick(&o, Qt::Key_Return);  // the default button
  EXPECT_FALSE(o.isVisible());
  EXPECT_EQ(Rows(mainProfiles).back(), "Mine");
  EXPECT_EQ(Shown(mainProfiles), "Normal Quality");
  EXPECT_EQ(Shown(o.cbbVideoBitrate), "256") << "OK applies no profile";

  Pick(mainProfiles, 5);
  EXPECT_EQ(Shown(o.cbbCustomProfile), "Mine");
  EXPECT_EQ(Shown(o.cbbVideoBitrate), "768");
  EXPECT_TRUE(dialogs_.messages.empty());
}

}  // namespace
}  // namespace tarquel::test
