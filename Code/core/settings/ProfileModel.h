// Profile selection and custom profiles: the selectors of the main window
// (output type, profile) and of the Options dialog (eight options and the
// custom-profile list), kept as plain models the windows mirror. Selecting
// a row from code never applies a profile; only the user's picks do.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "Catalogues.h"
#include "ConfigFiles.h"
#include "Dialogs.h"
#include "ModelChanges.h"
#include "UserSettings.h"

namespace tarquel {

// A drop-down list that cannot be typed into and whose selected row is a
// field of the settings record: selecting a row sets the field.
class TSettingSelector : public ISelector {
 public:
  TSettingSelector(TConvertSettings& settings, TSettingField field) : Settings_(settings), Field_(field) {}

  void AddItem(std::string_view text) override;
  // Selects a row; an index that names no row selects none.
  void SetItemIndex(int index) override;
  void Clear();

  const std::vector<std::string>& Items() const { return Items_; }
  int ItemIndex() const { return Settings_.Get(Field_); }
  std::string SelectedText() const;

 private:
  TConvertSettings& Settings_;
  TSettingField Field_;
  std::vector<std::string> Items_;
};

// A drop-down list whose text field can also be typed into. Selecting a
// row shows its text (no row: an empty text); typing changes Text alone.
class TComboBoxRows : public TSelectorRows {
 public:
  void SetItemIndex(int index) override;
  // New rows with none selected; the text in the field stays.
  void ReplaceItems(std::vector<std::string> items);

  std::string Text;
};

inline constexpr std::string_view kProfileNamePrompt = "Plese input a name";
inline constexpr std::string_view kSuggestedProfileName = "UserProfileInfo";
inline constexpr std::string_view kBadProfileNameText =
    "A profile name cannot contain \"=\" or a control character.";
// Profile indices from here on are custom profiles.
inline constexpr int kFirstCustomProfile = QualityCount;

class TProfileModel {
 public:
  // LoadUserSettings of `userSettings` is the last step of FillAllSelectors.
  TProfileModel(const TConfigFiles& config, TUserSettingsModel& userSettings, INamePrompt& namePrompt,
                IMessageBox& messages);
  TProfileModel(const TProfileModel&) = delete;
  TProfileModel& operator=(const TProfileModel&) = delete;

  // The current conversion choices; every selector below mirrors one field.
  TConvertSettings Settings;
  // The windows that show this model subscribe here; every operation below
  // that changes a selection or the rows tells them once it is done.
  TModelChanges Changes;

  // Main window.
  TSettingSelector cbbOutputFiletype{Settings, TSettingField::OutputFiletype};
  TSettingSelector cbbProfile{Settings, TSettingField::Profile};
  // Options dialog.
  TSettingSelector cbbVideoSize{Settings, TSettingField::VideoSize};
  TSettingSelector cbbVideoBitrate{Settings, TSettingField::VideoBitrate};
  TSettingSelector cbbFramerate{Settings, TSettingField::Framerate};
  TSettingSelector cbbAspectratio{Settings, TSettingField::Aspectratio};
  TSettingSelector cbbAudioBitrate{Settings, TSettingField::AudioBitrate};
  TSettingSelector cbbAudioSample{Settings, TSettingField::AudioSample};
  TSettingSelector cbbAudioChannels{Settings, TSettingField::AudioChannels};
  TSettingSelector cbbAudioVolumeGain{Settings, TSettingField::AudioVolumeGain};
  TComboBoxRows cbbCustomProfile;

  // The selector that mirrors `field`.
  TSettingSelector& SelectorOf(TSettingField field);

  // Start-up, once: output types, the profile list, the eight option
  // catalogues, the custom-profile rows (none selected), the user settings.
  void FillAllSelectors();
  // Appends the quality names and the custom profile names, then selects
  // "Normal Quality". Rows already present stay.
  void FillProfileList(ISelector& selector);
  // Applies the selected profile: a custom one through its row of the
  // Options dialog, a quality preset for the selected output type.
  void ApplyProfile();

  // The user's picks on the main window.
  void cbbOutputFiletypeChange(int row);
  void cbbProfileChange(int row);

  // Custom profiles, stored in UserProfileInfo.ini.
  // Replaces the custom-profile rows by the stored names; the text stays.
  void ReloadCustomProfiles();
  // The stored value of the selected custom-profile row; empty without one.
  std::string GetCustomProfileValue() const;
  // Sets the six preset fields from the selected row's profile: only a value
  // of exactly six fields is used, empty fields are skipped. A field that is
  // no integer (also "none") throws InvalidIntegerError, earlier fields set.
  void ApplyCustomProfile();
  // Raises the counter, asks for a name (suggesting "UserProfileInfo" + the
  // counter) and stores the current selections under it, the name trimmed
  // of blanks and control characters at either end (an empty one stores
  // nothing).
  void AddCustomProfile();
  // Stores the current selections under the text of the custom-profile
  // field, trimmed the same way.
  void SaveCustomProfile();
  // Erases the profile named by the text of the custom-profile field.
  void DeleteCustomProfile();

 private:
  // Warns and returns false for a name the profile file cannot hold.
  bool CheckProfileName(std::string_view name);
  void StoreProfile(std::string_view name);

  const TConfigFiles& Config_;
  TUserSettingsModel& UserSettings_;
  INamePrompt& NamePrompt_;
  IMessageBox& Messages_;
};

// Which member of a view of the options shows which of the eight option
// fields: the profile model's selectors and the Options dialog's combo boxes
// carry the same names, so one table serves both.
template <typename View>
struct TOptionSelector {
  TSettingField Field;
  decltype(&View::cbbVideoSize) Member;
};

template <typename View>
inline constexpr std::array<TOptionSelector<View>, 8> OptionSelectors = {{
    {TSettingField::VideoSize, &View::cbbVideoSize},
    {TSettingField::VideoBitrate, &View::cbbVideoBitrate},
    {TSettingField::Framerate, &View::cbbFramerate},
    {TSettingField::Aspectratio, &View::cbbAspectratio},
    {TSettingField::AudioBitrate, &View::cbbAudioBitrate},
    {TSettingField::AudioSample, &View::cbbAudioSample},
    {TSettingField::AudioVolumeGain, &View::cbbAudioVolumeGain},
    {TSettingField::AudioChannels, &View::cbbAudioChannels},
}};

// The member of `view` that shows option field `field`; null for the
// output type and the profile, which no option selector shows.
template <typename View>
auto* OptionSelectorOf(View& view, TSettingField field) {
  const auto& table = OptionSelectors<std::remove_const_t<View>>;
  for (const auto& selector : table) {
    if (selector.Field == field) return &(view.*selector.Member);
  }
  return decltype(&(view.*table[0].Member)){nullptr};
}

// The six preset fields of the settings as stored: indices joined by "|",
// NoSelection as "-1".
std::string CustomProfileValue(const TConvertSettings& settings);

}  // namespace tarquel
