#include "Catalogues.h"

#include "Errors.h"
#include "TextFormats.h"

namespace tarquel {

namespace {

constexpr std::string_view kOutputFileTypes[] = {
    "PSP MPEG-4 Video Files (*.mp4)",
    "AAC Audio Files (*.aac)",
    "M4A MPEG Audio Files (*.m4a)",
    "MP3 Files (*.mp3)",
};
constexpr std::string_view kVideoSizes[] = {"160x112", "320x240", "368x208"};
constexpr std::string_view kVideoBitrates[] = {"256", "512", "768", "1000", "1500"};
constexpr std::string_view kFrameRates[] = {"14.985", "15", "23.967", "24", "25", "29.97", "30"};
constexpr std::string_view kAspectRatios[] = {"4:3", "16:9"};
constexpr std::string_view kAudioBitrates[] = {"16", "32", "48", "64", "80", "128", "160", "192", "224"};
constexpr std::string_view kAudioSamples[] = {"22050", "32000", "44100", "48000"};
constexpr std::string_view kAudioChannelModes[] = {"1 channel, Mono", "2 channels, Stereo"};
constexpr std::string_view kAudioVolumes[] = {
    "0",   "25",  "50",  "75",  "100", "125", "150", "175", "200", "225", "250",
    "275", "300", "325", "350", "375", "400", "425", "450", "475", "500",
};
constexpr std::string_view kQualityNames[] = {
    "Low Quality", "Acceptable Quality", "Normal Quality", "Excellent Quality", "Superb Quality",
};

constexpr std::array<std::string_view, QualityCount> kVideoAndM4aPresets = {
    "1|0|0|2|0|0", "1|0|1|4|1|1", "1|1|2|5|1|2", "1|1|3|7|1|2", "1|1|4|8|1|3",
};
constexpr std::array<std::string_view, QualityCount> kAacAndMp3Presets = {
    "1|0|0|2|0|0", "1|0|1|4|0|0", "1|1|2|5|0|0", "1|1|3|7|0|0", "1|1|4|8|0|0",
};

}  // namespace

const TCatalogue OutputFileTypes{kOutputFileTypes, 0};
const TCatalogue VideoSizes{kVideoSizes, 0};
const TCatalogue VideoBitrates{kVideoBitrates, 3};
const TCatalogue FrameRates{kFrameRates, 4};
const TCatalogue AspectRatios{kAspectRatios, 0};
const TCatalogue AudioBitrates{kAudioBitrates, 2};
const TCatalogue AudioSamples{kAudioSamples, 3};
const TCatalogue AudioChannelModes{kAudioChannelModes, 1};
const TCatalogue AudioVolumes{kAudioVolumes, 8};
const TCatalogue QualityNames{kQualityNames, 2};

const std::array<std::string_view, OutputTypeCount> OutputTypeParams = {
    "-vcodec mpeg4 -acodec aac",
    "-acodec aac -vn",
    "-acodec aac -vn",
    "-acodec mp3 -vn",
};
const std::array<std::string_view, OutputTypeCount> OutputExtensions = {".mp4", ".aac", ".m4a", ".mp3"};
const std::array<std::string_view, OutputTypeCount> OutputFormats = {"none", "none", "none", "none"};
const std::array<std::array<std::string_view, QualityCount>, OutputTypeCount> QualityPresets = {
    kVideoAndM4aPresets, kAacAndMp3Presets, kVideoAndM4aPresets, kAacAndMp3Presets,
};

const TCatalogue* CatalogueOf(TSettingField field) {
  switch (field) {
    case TSettingField::OutputFiletype: return &OutputFileTypes;
    case TSettingField::Profile: return nullptr;
    case TSettingField::VideoSize: return &VideoSizes;
    case TSettingField::VideoBitrate: return &VideoBitrates;
    case TSettingField::Framerate: return &FrameRates;
    case TSettingField::Aspectratio: return &AspectRatios;
    case TSettingField::AudioBitrate: return &AudioBitrates;
    case TSettingField::AudioSample: return &AudioSamples;
    case TSettingField::AudioChannels: return &AudioChannelModes;
    case TSettingField::AudioVolumeGain: return &AudioVolumes;
  }
  return nullptr;
}

TConvertSettings::TConvertSettings() { Values_.fill(NoSelection); }

void TConvertSettings::Set(TSettingField field, int index) {
  const TCatalogue* catalogue = CatalogueOf(field);
  const bool valid = catalogue ? catalogue->IsValid(index) : (index >= 0 && index < ProfileRows_);
  Values_[static_cast<int>(field)] = valid ? index : NoSelection;
}

void TConvertSettings::SetProfileRowCount(int rows) {
  ProfileRows_ = rows < 0 ? 0 : rows;
  Set(TSettingField::Profile, Profile());
}

std::vector<std::string> ParsePresetString(std::string_view text) { return SplitText(text, '|'); }

void ApplyPresetString(TConvertSettings& settings, std::string_view text) {
  const auto fields = ParsePresetString(text);
  if (fields.size() != ProfileFieldOrder.size()) {
    throw TarquelError("'" + std::string(text) + "' is not a preset of six fields");
  }
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (fields[i] == "none") continue;
    settings.Set(ProfileFieldOrder[i], StrToInt(fields[i]));
  }
}

void FillSelector(const TCatalogue& catalogue, ISelector& selector) {
  for (const auto entry : catalogue.Entries) selector.AddItem(entry);
  selector.SetItemIndex(catalogue.DefaultIndex);
}

void TSelectorRows::SetItemIndex(int index) {
  ItemIndex = (index >= 0 && index < static_cast<int>(Items.size())) ? index : NoSelection;
}

void TSelectorRows::Clear() {
  Items.clear();
  ItemIndex = NoSelection;
}

std::string TSelectorRows::SelectedText() const { return ItemIndex == NoSelection ? std::string() : Items[ItemIndex]; }

}  // namespace tarquel
