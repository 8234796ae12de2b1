#include "ProfileModel.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "IniFiles32.h"
#include "TextFormats.h"

namespace tarquel {

namespace {

constexpr std::string_view kCountSection = "count";
constexpr std::string_view kCountKey = "count";

}  // namespace

// --- selectors ---------------------------------------------------------------

void TSettingSelector::AddItem(std::string_view text) {
  Items_.emplace_back(text);
  if (Field_ == TSettingField::Profile) Settings_.SetProfileRowCount(static_cast<int>(Items_.size()));
}

void TSettingSelector::SetItemIndex(int index) {
  Settings_.Set(Field_, index >= 0 && index < static_cast<int>(Items_.size()) ? index : NoSelection);
}

void TSettingSelector::Clear() {
  Items_.clear();
  if (Field_ == TSettingField::Profile) Settings_.SetProfileRowCount(0);
  Settings_.Set(Field_, NoSelection);
}

std::string TSettingSelector::SelectedText() const {
  const int index = ItemIndex();
  return index >= 0 && index < static_cast<int>(Items_.size()) ? Items_[index] : std::string();
}

void TComboBoxRows::SetItemIndex(int index) {
  TSelectorRows::SetItemIndex(index);
  Text = SelectedText();
}

void TComboBoxRows::ReplaceItems(std::vector<std::string> items) {
  Items = std::move(items);
  ItemIndex = NoSelection;
}

// --- profiles ----------------------------------------------------------------

std::string CustomProfileValue(const TConvertSettings& settings) {
  std::string value;
  for (const auto field : ProfileFieldOrder) {
    if (!value.empty()) value += '|';
    value += std::to_string(settings.Get(field));
  }
  return value;
}

TProfileModel::TProfileModel(const TConfigFiles& config, TUserSettingsModel& userSettings,
                             INamePrompt& namePrompt, IMessageBox& messages)
    : Config_(config), UserSettings_(userSettings), NamePrompt_(namePrompt), Messages_(messages) {}

TSettingSelector& TProfileModel::SelectorOf(TSettingField field) {
  if (field == TSettingField::OutputFiletype) return cbbOutputFiletype;
  if (field == TSettingField::Profile) return cbbProfile;
  return *OptionSelectorOf(*this, field);
}

void TProfileModel::FillAllSelectors() {
  const TModelChanges::TChangeScope change(Changes);
  FillSelector(OutputFileTypes, cbbOutputFiletype);
  FillProfileList(cbbProfile);
  FillSelector(AspectRatios, cbbAspectratio);
  FillSelector(VideoBitrates, cbbVideoBitrate);
  FillSelector(AudioBitrates, cbbAudioBitrate);
  FillSelector(AudioChannelModes, cbbAudioChannels);
  FillSelector(FrameRates, cbbFramerate);
  FillSelector(AudioSamples, cbbAudioSample);
  FillSelector(AudioVolumes, cbbAudioVolumeGain);
  FillSelector(VideoSizes, cbbVideoSize);
  ReloadCustomProfiles();
  UserSettings_.LoadUserSettings();
}

void TProfileModel::FillProfileList(ISelector& selector) {
  const TModelChanges::TChangeScope change(Changes);
  for (const auto name : QualityNames.Entries) selector.AddItem(name);
  for (const auto& name : Config_.ReadConfigSections(kUserProfileInfoFile)) selector.AddItem(name);
  selector.SetItemIndex(QualityNames.DefaultIndex);
}

void TProfileModel::ApplyProfile() {
  const TModelChanges::TChangeScope change(Changes);
  const int profile = Settings.Profile();
  if (profile >= kFirstCustomProfile) {
    cbbCustomProfile.SetItemIndex(profile - kFirstCustomProfile);
    ApplyCustomProfile();
    return;
  }
  const int type = Settings.OutputFiletype();
  // Without a selected type (or quality) there is no preset to apply.
  const bool preset = type >= 0 && type < OutputTypeCount && profile >= 0;
  ApplyPresetString(Settings, preset ? QualityPresets[type][profile] : NoPresetString);
}

void TProfileModel::cbbOutputFiletypeChange(int row) {
  const TModelChanges::TChangeScope change(Changes);
  cbbOutputFiletype.SetItemIndex(row);
  ApplyProfile();
}

void TProfileModel::cbbProfileChange(int row) {
  const TModelChanges::TChangeScope change(Changes);
  cbbProfile.SetItemIndex(row);
  ApplyProfile();
}

void TProfileModel::ReloadCustomProfiles() {
  const TModelChanges::TChangeScope change(Changes);
  cbbCustomProfile.ReplaceItems(Config_.ReadConfigSections(kUserProfileInfoFile));
}

std::string TProfileModel::GetCustomProfileValue() const {
  if (cbbCustomProfile.ItemIndex == NoSelection) return std::string();
  return Config_.ReadConfigEntry(kUserProfileInfoFile, cbbCustomProfile.SelectedText());
}

void TProfileModel::ApplyCustomProfile() {
  const TModelChanges::TChangeScope change(Changes);
  const std::string value = GetCustomProfileValue();
  if (value.empty()) return;
  const auto fields = ParsePresetString(value);
  if (fields.size() != ProfileFieldOrder.size()) return;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].empty()) continue;
    Settings.Set(ProfileFieldOrder[i], StrToInt(fields[i]));
  }
}

void TProfileModel::AddCustomProfile() {
  std::int32_t count;
  {
    TIniFile32 counter(Config_.FileName(kUserProfileCountFile));
    count = counter.ReadInteger(kCountSection, kCountKey, 0);
    // The counter only ever grows; at the top of the range it stays there.
    if (count < std::numeric_limits<std::int32_t>::max()) ++count;
    counter.WriteInteger(kCountSection, kCountKey, count);
  }
  const auto name = NamePrompt_.InputQuery(kApplicationTitle, kProfileNamePrompt,
                                           std::string(kSuggestedProfileName) + std::to_string(count));
  if (!name) return;
  const std::string trimmed(TrimBlanks(*name));
  if (trimmed.empty() || !CheckProfileName(trimmed)) return;
  StoreProfile(trimmed);
}

void TProfileModel::SaveCustomProfile() {
  const std::string name(TrimBlanks(cbbCustomProfile.Text));
  if (name.empty() || !CheckProfileName(name)) return;
  StoreProfile(name);
}

void TProfileModel::DeleteCustomProfile() {
  if (cbbCustomProfile.Items.empty()) return;
  TIniFile32(Config_.FileName(kUserProfileInfoFile)).EraseSection(cbbCustomProfile.Text);
}

// The name is both the section and the key: an "=" would cut the key, a line
// break would split the section, and the profile could never be read back.
// The list shows names trimmed, so they are stored trimmed (by the caller)
// and without any other control character either.
bool TProfileModel::CheckProfileName(std::string_view name) {
  const auto control = [](unsigned char c) { return c < ' ' || c == 0x7F; };
  if (name.find('=') == std::string_view::npos && std::none_of(name.begin(), name.end(), control)) return true;
  ShowMsgBox(Messages_, kBadProfileNameText, kMsgWarning);
  return false;
}

void TProfileModel::StoreProfile(std::string_view name) {
  TIniFile32(Config_.FileName(kUserProfileInfoFile)).WriteString(name, name, CustomProfileValue(Settings));
}

}  // namespace tarquel
