// The fixed vocabulary of every conversion choice: the output file types
// with their encoder fragments, the eight option catalogues, the quality
// names and presets, and TConvertSettings, the record of what is selected.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarquel {

inline constexpr int NoSelection = -1;

// An ordered list of entry texts and the index selected by default. The
// entry texts are both what the user sees and what goes on the command line.
struct TCatalogue {
  std::span<const std::string_view> Entries;
  int DefaultIndex;

  int Count() const { return static_cast<int>(Entries.size()); }
  bool IsValid(int index) const { return index >= 0 && index < Count(); }
  // The entry's text; empty for NoSelection or any other invalid index.
  std::string_view EntryText(int index) const { return IsValid(index) ? Entries[index] : std::string_view{}; }
};

extern const TCatalogue OutputFileTypes;
extern const TCatalogue VideoSizes;
extern const TCatalogue VideoBitrates;
extern const TCatalogue FrameRates;
extern const TCatalogue AspectRatios;
extern const TCatalogue AudioBitrates;
extern const TCatalogue AudioSamples;
extern const TCatalogue AudioChannelModes;
extern const TCatalogue AudioVolumes;
extern const TCatalogue QualityNames;

inline constexpr int OutputTypeCount = 4;
inline constexpr int QualityCount = 5;

// Looked up by output type index (0 ".mp4" video; 1 to 3 audio only).
extern const std::array<std::string_view, OutputTypeCount> OutputTypeParams;
extern const std::array<std::string_view, OutputTypeCount> OutputExtensions;
extern const std::array<std::string_view, OutputTypeCount> OutputFormats;
// Preset strings by output type and quality index.
extern const std::array<std::array<std::string_view, QualityCount>, OutputTypeCount> QualityPresets;

// The string that changes nothing and stands for the absence of a preset.
inline constexpr std::string_view NoPresetString = "none|none|none|none|none|none";

// Every selection the settings record holds.
enum class TSettingField {
  OutputFiletype,
  Profile,
  VideoSize,
  VideoBitrate,
  Framerate,
  Aspectratio,
  AudioBitrate,
  AudioSample,
  AudioChannels,
  AudioVolumeGain,
};
inline constexpr int SettingFieldCount = 10;

// The six fields of a preset string, in their order there.
inline constexpr std::array<TSettingField, 6> ProfileFieldOrder = {
    TSettingField::VideoSize,    TSettingField::Framerate,     TSettingField::VideoBitrate,
    TSettingField::AudioBitrate, TSettingField::AudioChannels, TSettingField::AudioSample,
};

// The catalogue a field indexes; nullptr for Profile, whose rows are the
// quality names followed by the custom profiles.
const TCatalogue* CatalogueOf(TSettingField field);

// The current conversion choices. Invariant: every field is NoSelection or
// a valid index of its catalogue (for Profile: of the profile list's rows).
class TConvertSettings {
 public:
  TConvertSettings();

  int Get(TSettingField field) const { return Values_[static_cast<int>(field)]; }
  // Stores `index`, or NoSelection when it lies outside the field's range.
  void Set(TSettingField field, int index);

  // The number of rows of the profile list (five quality names plus the
  // custom profiles); a Profile index beyond it becomes NoSelection.
  int ProfileRowCount() const { return ProfileRows_; }
  void SetProfileRowCount(int rows);

  int OutputFiletype() const { return Get(TSettingField::OutputFiletype); }
  int Profile() const { return Get(TSettingField::Profile); }
  int VideoSize() const { return Get(TSettingField::VideoSize); }
  int VideoBitrate() const { return Get(TSettingField::VideoBitrate); }
  int Framerate() const { return Get(TSettingField::Framerate); }
  int Aspectratio() const { return Get(TSettingField::Aspectratio); }
  int AudioBitrate() const { return Get(TSettingField::AudioBitrate); }
  int AudioSample() const { return Get(TSettingField::AudioSample); }
  int AudioChannels() const { return Get(TSettingField::AudioChannels); }
  int AudioVolumeGain() const { return Get(TSettingField::AudioVolumeGain); }

  bool operator==(const TConvertSettings&) const = default;

 private:
  std::array<int, SettingFieldCount> Values_;
  int ProfileRows_ = QualityCount;
};

// The fields of a preset string: every "|" ends one field, the rest after
// the last "|" is a field only when not empty; the empty text has none.
std::vector<std::string> ParsePresetString(std::string_view text);

// Sets the six preset fields in ProfileFieldOrder. A field "none" leaves its
// selection alone; an index outside the catalogue clears it. A field that
// is no integer throws InvalidIntegerError, the earlier fields staying set.
// A text without exactly six fields throws TarquelError and changes nothing.
void ApplyPresetString(TConvertSettings& settings, std::string_view text);

// A drop-down list as far as filling it goes; the windows and the
// presentation models implement it.
class ISelector {
 public:
  virtual ~ISelector() = default;
  virtual void AddItem(std::string_view text) = 0;
  virtual void SetItemIndex(int index) = 0;
};

// Appends the catalogue's entries in order, then selects its default index.
// Rows already present stay; a refill clears the selector first.
void FillSelector(const TCatalogue& catalogue, ISelector& selector);

// The rows and the selected row of a drop-down list, without a window.
class TSelectorRows : public ISelector {
 public:
  void AddItem(std::string_view text) override { Items.emplace_back(text); }
  // Selects a row; an index that names no row selects none.
  void SetItemIndex(int index) override;
  void Clear();
  // The selected row's text, empty when none is selected.
  std::string SelectedText() const;

  std::vector<std::string> Items;
  int ItemIndex = NoSelection;
};

}  // namespace tarquel
