#include <gtest/gtest.h>

#include <functional>

#include "UtilityFuncs.h"
#include "Errors.h"
#include "SettingsFixture.h"

namespace tarquel::test {
namespace {
// Folders in the system's spelling, as the program writes them.
const std::string kSep(1, kPathSeparator);


namespace fs = std::filesystem;
using Texts = std::vector<std::string>;
using Indices = std::vector<int>;

const Indices kNormal = {1, 1, 2, 5, 1, 2}, kLow = {1, 0, 0, 2, 0, 0}, kSuperb = {1, 1, 4, 8, 1, 3};

class Profiles : public SettingsFixture {
 protected:
  Texts PresetTexts() {
    Texts texts;
    for (const auto field : ProfileFieldOrder) texts.push_back(profiles.SelectorOf(field).SelectedText());
    return texts;
  }
  Indices Preset() const {
    Indices indices;
    for (const auto field : ProfileFieldOrder) indices.push_back(profiles.Settings.Get(field));
    return indices;
  }
  // Aspect ratio and volume, which no profile touches, set by the user.
  void PickAspectAndVolume() {
    profiles.cbbAspectratio.SetItemIndex(1);
    profiles.cbbAudioVolumeGain.SetItemIndex(12);
  }
  Texts AspectAndVolume() {
    return {profiles.cbbAspectratio.SelectedText(), profiles.cbbAudioVolumeGain.SelectedText()};
  }
  Texts& Rows() { return profiles.cbbCustomProfile.Items; }
  std::string& Typed() { return profiles.cbbCustomProfile.Text; }
  void StoreAandB() { WriteConfig(kUserProfileInfoFile, "\r\n[A]\r\nA=1|0|0|2|0|0\r\n\r\n[B]\r\nB=1|1|4|8|1|3\r\n"); }
};

TEST_F(Profiles, StartUpWithoutFiles) {
  StartUp();
  EXPECT_EQ(profiles.cbbOutputFiletype.SelectedText(), "PSP MPEG-4 Video Files (*.mp4)");
  EXPECT_EQ(profiles.cbbProfile.Items().size(), 5u);
  EXPECT_EQ(profiles.cbbProfile.SelectedText(), "Normal Quality");
  EXPECT_EQ(PresetTexts(), (Texts{"320x240", "15", "768", "128", "2 channels, Stereo", "44100"}));
  EXPECT_EQ(AspectAndVolume(), (Texts{"4:3", "200"}));
  for (const auto field : OptionFields) {
    EXPECT_EQ(profiles.SelectorOf(field).Items().size(), static_cast<std::size_t>(CatalogueOf(field)->Count()));
  }
  EXPECT_TRUE(Rows().empty());
  EXPECT_EQ(profiles.cbbCustomProfile.ItemIndex, NoSelection);
  EXPECT_EQ(user.Settings.OutDir, Home() + kSep + "Tarquel");
  EXPECT_FALSE(user.Settings.ShowOutputDirectory || user.Settings.Shutdown);
  EXPECT_TRUE(fs::is_empty(Config())) << "start-up writes nothing";
}

TEST_F(Profiles, QualityFollowsTheType) {
  StartUp();
  PickAspectAndVolume();
  const struct {
    int type, quality;
    Texts expected;
  } cases[] = {
      {2, 4, {"320x240", "15", "1500", "224", "2 channels, Stereo", "48000"}},
      {1, 4, {"320x240", "15", "1500", "224", "1 channel, Mono", "22050"}},  // the type alone changed
      {0, 0, {"320x240", "14.985", "256", "48", "1 channel, Mono", "22050"}},
      {0, 1, {"320x240", "14.985", "512", "80", "2 channels, Stereo", "32000"}},
      {3, 1, {"320x240", "14.985", "512", "80", "1 channel, Mono", "22050"}},
      {3, 3, {"320x240", "15", "1000", "192", "1 channel, Mono", "22050"}},
      {2, 3, {"320x240", "15", "1000", "192", "2 channels, Stereo", "44100"}},
  };
  for (const auto& c : cases) {
    if (c.quality != profiles.Settings.Profile()) profiles.cbbProfileChange(c.quality);
    profiles.cbbOutputFiletypeChange(c.type);
    EXPECT_EQ(PresetTexts(), c.expected) << c.type << " " << c.quality;
  }
  EXPECT_EQ(AspectAndVolume(), (Texts{"16:9", "300"}));
  profiles.cbbVideoSize.SetItemIndex(2);  // without an output type nothing changes
  profiles.cbbOutputFiletype.SetItemIndex(NoSelection);
  profiles.ApplyProfile();
  EXPECT_EQ(profiles.cbbVideoSize.SelectedText(), "368x208");
}

TEST_F(Profiles, StoredValues) {
  const struct {
    const char* value;
    Indices expected;  // from Normal Quality {1,1,2,5,1,2}
    bool invalid;
  } cases[] = {
      {"2|3|4|6|0|1", {2, 3, 4, 6, 0, 1}, false},  {"2|3|4|6|0|1|", {2, 3, 4, 6, 0, 1}, false},
      {"2|3|4|6|0", kNormal, false},               {"2|3|4|6|0|1|1", kNormal, false},
      {"2||4|6|0|1", {2, 1, 4, 6, 0, 1}, false},   {"7|3|4|6|0|-1", {-1, 3, 4, 6, 0, -1}, false},
      {"2|none|4|6|0|1", {2, 1, 2, 5, 1, 2}, true}, {"", kNormal, false},
  };
  WriteConfig(kUserProfileInfoFile, "\r\n[P]\r\n");
  StartUp();
  PickAspectAndVolume();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    WriteConfig(kUserProfileInfoFile, std::string("\r\n[P]\r\nP=") + c.value + "\r\n");
    profiles.ReloadCustomProfiles();
    profiles.cbbProfileChange(2);
    if (c.invalid) {
      EXPECT_THROW(options.cbbCustomProfileChange(0), InvalidIntegerError);
    } else {
      options.cbbCustomProfileChange(0);
    }
    EXPECT_EQ(Preset(), c.expected);
    EXPECT_EQ(AspectAndVolume(), (Texts{"16:9", "300"}));
  }
  WriteConfig(kUserProfileInfoFile, "\r\n[P]\r\nP=none|1|1|1|1|1\r\n");
  try {
    profiles.cbbProfileChange(5);  // the main window's list applies it too
    ADD_FAILURE() << "no error";
  } catch (const InvalidIntegerError& e) {
    EXPECT_STREQ(e.what(), "'none' is not a valid integer value");
  }
}

TEST_F(Profiles, AppliedFromBothLists) {
  StoreAandB();
  StartUp();
  profiles.cbbProfileChange(6);  // before the dialog was ever shown
  EXPECT_EQ(Preset(), kSuperb);
  EXPECT_EQ(Typed(), "B");
  profiles.cbbOutputFiletypeChange(3);
  EXPECT_EQ(Preset(), kSuperb) << "a custom profile ignores the type";
  options.FormShow();
  options.cbbCustomProfileChange(0);
  EXPECT_EQ(Preset(), kLow);
  Typed() = "Typed";  // typing applies nothing; showing again keeps the text
  options.FormClose();
  options.FormShow();
  EXPECT_EQ(Typed(), "Typed");
  EXPECT_EQ(Preset(), kLow);
  // A deleted profile stays on the main window until OK; its row of the
  // dialog now holds B, and row 1 no longer exists.
  Typed() = "A";
  options.btnDelClick();
  EXPECT_EQ(Rows(), (Texts{"B"}));
  profiles.cbbProfileChange(5);
  EXPECT_EQ(Preset(), kSuperb);
  profiles.cbbProfileChange(0);
  profiles.cbbProfileChange(6);
  EXPECT_EQ(Preset(), kLow);
  options.btnApplyClick();
  EXPECT_EQ(profiles.cbbProfile.Items().size(), 6u);
}

TEST_F(Profiles, AddCancelledAndConfirmed) {
  StartUp();
  dialogs.Names = {std::nullopt, "Mine"};
  options.FormShow();
  options.btnAddClick();
  EXPECT_FALSE(fs::exists(ConfigFile(kUserProfileInfoFile)));
  options.btnAddClick();
  EXPECT_EQ(dialogs.Asked, (Texts{"Tarquel|Plese input a name|UserProfileInfo1",
                                  "Tarquel|Plese input a name|UserProfileInfo2"}));
  EXPECT_EQ(ReadConfig(kUserProfileCountFile), "\r\n[count]\r\ncount=2\r\n");
  EXPECT_EQ(ReadConfig(kUserProfileInfoFile), "\r\n[Mine]\r\nMine=1|1|2|5|1|2\r\n");
  EXPECT_EQ(Rows(), (Texts{"Mine"}));
  EXPECT_EQ(Typed(), "Mine");
  // OK lists it on the main window with Normal Quality selected, not applied.
  EXPECT_EQ(profiles.cbbProfile.Items().size(), 5u);
  profiles.cbbVideoSize.SetItemIndex(2);
  options.btnApplyClick();
  EXPECT_FALSE(options.Visible);
  EXPECT_EQ(profiles.cbbProfile.Items().back(), "Mine");
  EXPECT_EQ(profiles.cbbProfile.SelectedText(), "Normal Quality");
  EXPECT_EQ(profiles.cbbVideoSize.SelectedText(), "368x208");
}

TEST_F(Profiles, SavedOverAndByTypedName) {
  StoreAandB();
  StartUp();
  options.FormShow();
  dialogs.Names = {"A"};
  options.btnAddClick();  // an existing name: new value, no new row
  EXPECT_EQ(ReadConfig(kUserProfileInfoFile), "\r\n[A]\r\nA=1|1|2|5|1|2\r\n\r\n[B]\r\nB=1|1|4|8|1|3\r\n");
  options.cbbCustomProfileChange(0);
  profiles.cbbFramerate.SetItemIndex(6);
  options.btnSaveClick();  // over A, then B (the last row) selected, not applied
  EXPECT_EQ(config.ReadConfigEntry(kUserProfileInfoFile, "A"), "1|6|2|5|1|2");
  EXPECT_EQ(Typed(), "B");
  EXPECT_EQ(Preset(), (Indices{1, 6, 2, 5, 1, 2}));
  Typed() = "New";
  options.btnSaveClick();
  EXPECT_EQ(Rows(), (Texts{"A", "B", "New"}));
  EXPECT_EQ(ReadConfig(kUserProfileCountFile), "\r\n[count]\r\ncount=1\r\n") << "Save does not count";
}

TEST_F(Profiles, DeletedByTypedName) {
  StoreAandB();
  StartUp();
  options.FormShow();
  options.cbbCustomProfileChange(1);
  for (const char* name : {"A", "nobody"}) {
    Typed() = name;
    options.btnDelClick();
    EXPECT_EQ(Rows(), (Texts{"B"}));
  }
  options.btnDelClick();
  EXPECT_TRUE(Rows().empty());
  EXPECT_EQ(Typed(), "");
  WriteConfig(kUserProfileInfoFile, "\r\n[C]\r\nC=1|1|1|1|1|1\r\n");
  Typed() = "C";
  options.btnDelClick();  // without rows Delete erases nothing
  EXPECT_EQ(config.ReadConfigSections(kUserProfileInfoFile), (Texts{"C"}));
}

TEST_F(Profiles, NamesTheFileCannotHoldAreRefused) {
  StoreAandB();
  const std::string stored = ReadConfig(kUserProfileInfoFile);
  StartUp();
  for (const char* name : {"a=b", "two\nlines", "two\rlines", "tab\tinside", "bell\ainside", "del\x7Finside"}) {
    dialogs.Asked.clear();
    dialogs.Names = {name};
    options.btnAddClick();
    Typed() = name;
    options.btnSaveClick();
    const std::string warning = "Tarquel|" + std::string(kBadProfileNameText);
    EXPECT_EQ(dialogs.Asked.back(), warning);
    EXPECT_EQ(dialogs.Asked.size(), 3u) << "prompt and two warnings";
    EXPECT_EQ(dialogs.Icons.back(), TMsgIcon::Warning);
    EXPECT_EQ(ReadConfig(kUserProfileInfoFile), stored);
  }
}

TEST_F(Profiles, NamesAreStoredTrimmedSoTheyCanBeAppliedAndDeleted) {
  StartUp();
  dialogs.Names = {" Pad ", "", " \t ", "\tTabbed\r\n"};
  for (int i = 0; i < 4; ++i) options.btnAddClick();
  Typed() = "  Saved\t";
  options.btnSaveClick();
  EXPECT_EQ(ReadConfig(kUserProfileInfoFile),
            "\r\n[Pad]\r\nPad=1|1|2|5|1|2\r\n\r\n[Tabbed]\r\nTabbed=1|1|2|5|1|2\r\n\r\n[Saved]\r\nSaved=1|1|2|5|1|2\r\n");
  EXPECT_EQ(Rows(), (Texts{"Pad", "Tabbed", "Saved"}));
  profiles.cbbVideoSize.SetItemIndex(0);
  options.cbbCustomProfileChange(0);
  EXPECT_NE(profiles.cbbVideoSize.SelectedText(), "160x112") << "the stored profile applies";
  Typed() = "Pad";
  options.btnDelClick();
  EXPECT_EQ(Rows(), (Texts{"Tabbed", "Saved"}));
}

TEST_F(Profiles, CancelRestoresSnapshotCloseBoxDoesNot) {
  StoreAandB();
  StartUp();
  profiles.cbbProfile.SetItemIndex(6);  // chosen from code: the dialog shows row B
  options.FormShow();
  EXPECT_EQ(Typed(), "B");
  EXPECT_EQ(Preset(), kNormal) << "showing applies nothing";
  const TConvertSettings shown = profiles.Settings;
  options.cbbCustomProfileChange(0);
  profiles.cbbFramerate.SetItemIndex(6);
  profiles.cbbAudioVolumeGain.SetItemIndex(0);
  options.btnCancelClick();
  EXPECT_FALSE(options.Visible);
  EXPECT_EQ(profiles.Settings, shown);
  EXPECT_EQ(profiles.cbbCustomProfile.ItemIndex, 1);

  options.FormShow();
  profiles.cbbFramerate.SetItemIndex(0);
  dialogs.Names = {"C"};
  options.btnAddClick();
  options.FormClose();
  EXPECT_EQ(profiles.cbbFramerate.SelectedText(), "14.985");
  EXPECT_EQ(profiles.cbbProfile.Items().size(), 7u);
}

TEST_F(Profiles, ViewsRedrawOnceAfterEachChangeAlsoAfterAnError) {
  int redraws = 0;
  profiles.Changes.Subscribe([&redraws] { ++redraws; });
  WriteConfig(kUserProfileInfoFile, "\r\n[P]\r\nP=2|3|x|6|0|1\r\n");
  const struct {
    const char* what;
    std::function<void()> change;
  } cases[] = {
      {"type", [&] { profiles.cbbOutputFiletypeChange(1); }},
      {"option", [&] { options.cbbOptionChange(TSettingField::Framerate, 6); }},
      {"show", [&] { options.FormShow(); }},
      {"cancel", [&] { options.btnCancelClick(); }},
      {"ok", [&] { options.btnApplyClick(); }},
      {"bad profile", [&] { EXPECT_THROW(profiles.cbbProfileChange(5), InvalidIntegerError); }},
  };
  StartUp();
  for (const auto& c : cases) {
    redraws = 0;
    c.change();
    EXPECT_EQ(redraws, 1) << c.what;
  }
  EXPECT_EQ(Preset(), (Indices{2, 3, 2, 5, 0, 0})) << "fields before the bad one stay set";
}

TEST_F(Profiles, UnwritableOrMissingConfig) {
  StartUp();
  WriteConfig(kUserProfileInfoFile, "");
  fs::permissions(ConfigFile(kUserProfileInfoFile), fs::perms::owner_read);
  dialogs.Names = {"Mine"};
  EXPECT_THROW(options.btnAddClick(), FileCreateError);
  EXPECT_EQ(ReadConfig(kUserProfileCountFile), "\r\n[count]\r\ncount=1\r\n") << "stays raised";
  Typed() = "Mine";
  EXPECT_THROW(options.btnSaveClick(), FileCreateError);
  EXPECT_EQ(ReadConfig(kUserProfileInfoFile), "");
  fs::permissions(ConfigFile(kUserProfileCountFile), fs::perms::owner_read);
  EXPECT_THROW(options.btnAddClick(), FileCreateError);  // before any name is asked
  RemoveAll(Config());
  EXPECT_THROW(options.btnAddClick(), FileCreateError);
  EXPECT_EQ(dialogs.Asked.size(), 1u);
  profiles.cbbProfile.Clear();
  profiles.FillProfileList(profiles.cbbProfile);  // without Config: the quality names only
  EXPECT_EQ(profiles.cbbProfile.Items().size(), 5u);
  EXPECT_FALSE(fs::exists(Config()));
}

}  // namespace
}  // namespace tarquel::test
