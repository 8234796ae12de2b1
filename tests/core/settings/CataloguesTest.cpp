#include "Catalogues.h"

#include <gtest/gtest.h>

#include "Errors.h"

namespace tarquel {
namespace {

using F = TSettingField;

// The texts a settings record selects, in the order of ProfileFieldOrder.
std::vector<std::string> PresetTexts(const TConvertSettings& s) {
  std::vector<std::string> texts;
  for (const auto field : ProfileFieldOrder) texts.emplace_back(CatalogueOf(field)->EntryText(s.Get(field)));
  return texts;
}

TEST(Catalogues, EntriesAndDefaults) {
  const struct {
    const TCatalogue& catalogue;
    int count;
    const char* first;
    const char* last;
    const char* byDefault;
  } cases[] = {
      {OutputFileTypes, 4, "PSP MPEG-4 Video Files (*.mp4)", "MP3 Files (*.mp3)", "PSP MPEG-4 Video Files (*.mp4)"},
      {VideoSizes, 3, "160x112", "368x208", "160x112"},
      {VideoBitrates, 5, "256", "1500", "1000"},
      {FrameRates, 7, "14.985", "30", "25"},
      {AspectRatios, 2, "4:3", "16:9", "4:3"},
      {AudioBitrates, 9, "16", "224", "48"},
      {AudioSamples, 4, "22050", "48000", "48000"},
      {AudioChannelModes, 2, "1 channel, Mono", "2 channels, Stereo", "2 channels, Stereo"},
      {AudioVolumes, 21, "0", "500", "200"},
      {QualityNames, 5, "Low Quality", "Superb Quality", "Normal Quality"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.catalogue.Count(), c.count) << c.first;
    EXPECT_EQ(c.catalogue.EntryText(0), c.first);
    EXPECT_EQ(c.catalogue.EntryText(c.count - 1), c.last);
    EXPECT_EQ(c.catalogue.EntryText(c.catalogue.DefaultIndex), c.byDefault);
    EXPECT_EQ(c.catalogue.EntryText(NoSelection), "");
    EXPECT_EQ(c.catalogue.EntryText(c.count), "");
  }
  EXPECT_EQ(FrameRates.EntryText(2), "23.967");
  for (int i = 0; i < AudioVolumes.Count(); ++i) EXPECT_EQ(AudioVolumes.EntryText(i), std::to_string(25 * i));
}

TEST(Catalogues, OutputTypeFragments) {
  EXPECT_EQ(OutputTypeParams, (std::array<std::string_view, 4>{"-vcodec mpeg4 -acodec aac", "-acodec aac -vn",
                                                               "-acodec aac -vn", "-acodec mp3 -vn"}));
  EXPECT_EQ(OutputExtensions, (std::array<std::string_view, 4>{".mp4", ".aac", ".m4a", ".mp3"}));
  EXPECT_EQ(OutputFormats, (std::array<std::string_view, 4>{"none", "none", "none", "none"}));
}

TEST(Catalogues, QualityPresetsDecodeAsDocumented) {
  using T = std::vector<std::string>;
  // Video size, frame rate, video bitrate, audio bitrate, channels, sample rate.
  const T stereo[] = {
      {"320x240", "14.985", "256", "48", "1 channel, Mono", "22050"},
      {"320x240", "14.985", "512", "80", "2 channels, Stereo", "32000"},
      {"320x240", "15", "768", "128", "2 channels, Stereo", "44100"},
      {"320x240", "15", "1000", "192", "2 channels, Stereo", "44100"},
      {"320x240", "15", "1500", "224", "2 channels, Stereo", "48000"},
  };
  for (int type = 0; type < OutputTypeCount; ++type) {
    const bool mono = type == 1 || type == 3;
    for (int q = 0; q < QualityCount; ++q) {
      TConvertSettings s;
      ApplyPresetString(s, QualityPresets[type][q]);
      T expected = stereo[q];
      if (mono) {
        expected[4] = "1 channel, Mono";
        expected[5] = "22050";
      }
      EXPECT_EQ(PresetTexts(s), expected) << "type " << type << " quality " << q;
    }
  }
}

TEST(Catalogues, ApplyPresetStringTouchesOnlyItsSixFields) {
  TConvertSettings s;
  s.Set(F::Aspectratio, 1);
  s.Set(F::AudioVolumeGain, 12);
  s.Set(F::OutputFiletype, 2);
  ApplyPresetString(s, "1|1|2|5|1|2");
  EXPECT_EQ(PresetTexts(s), (std::vector<std::string>{"320x240", "15", "768", "128", "2 channels, Stereo", "44100"}));
  EXPECT_EQ(s.Aspectratio(), 1);
  EXPECT_EQ(s.AudioVolumeGain(), 12);
  EXPECT_EQ(s.OutputFiletype(), 2);

  const TConvertSettings before = s;
  ApplyPresetString(s, NoPresetString);
  EXPECT_EQ(s, before);

  ApplyPresetString(s, "7|none|0|-1|none|3");
  EXPECT_EQ(s.VideoSize(), NoSelection);
  EXPECT_EQ(s.Framerate(), before.Framerate());
  EXPECT_EQ(s.VideoBitrate(), 0);
  EXPECT_EQ(s.AudioBitrate(), NoSelection);
  EXPECT_EQ(s.AudioChannels(), before.AudioChannels());
  EXPECT_EQ(s.AudioSample(), 3);
}

TEST(Catalogues, ApplyPresetStringStopsAtTheFirstFieldThatIsNoInteger) {
  const struct {
    const char* text;
    int videoSize, framerate, videoBitrate;  // after the error
  } cases[] = {
      {"0|x|1|1|1|1", 0, 4, 3},
      {"NONE|1|1|1|1|1", 1, 4, 3},  // "none" is case-sensitive
      {"2|||1|1|1", 2, 4, 3},
  };
  for (const auto& c : cases) {
    TConvertSettings s;
    s.Set(F::VideoSize, 1);
    s.Set(F::Framerate, 4);
    s.Set(F::VideoBitrate, 3);
    EXPECT_THROW(ApplyPresetString(s, c.text), InvalidIntegerError) << c.text;
    EXPECT_EQ(s.VideoSize(), c.videoSize) << c.text;
    EXPECT_EQ(s.Framerate(), c.framerate) << c.text;
    EXPECT_EQ(s.VideoBitrate(), c.videoBitrate) << c.text;
  }
  for (const char* wrongCount : {"", "1|1|1|1|1", "1|1|1|1|1|1|1", "1|1|1|1|1|"}) {
    TConvertSettings s;
    EXPECT_THROW(ApplyPresetString(s, wrongCount), TarquelError) << wrongCount;
    EXPECT_EQ(s, TConvertSettings());
  }
}

TEST(Catalogues, ParsePresetString) {
  using V = std::vector<std::string>;
  EXPECT_EQ(ParsePresetString("1|0|0|2|0|0"), (V{"1", "0", "0", "2", "0", "0"}));
  EXPECT_EQ(ParsePresetString("1||2|"), (V{"1", "", "2"}));
  EXPECT_EQ(ParsePresetString(""), V{});
}

TEST(Catalogues, SettingsHoldOnlyValidIndices) {
  TConvertSettings s;
  for (int f = 0; f < SettingFieldCount; ++f) EXPECT_EQ(s.Get(static_cast<F>(f)), NoSelection);
  const struct {
    F field;
    int index;
    int stored;
  } cases[] = {
      {F::VideoSize, 2, 2},       {F::VideoSize, 3, NoSelection},     {F::AudioVolumeGain, 20, 20},
      {F::AudioVolumeGain, 21, NoSelection}, {F::Framerate, -5, NoSelection}, {F::OutputFiletype, 3, 3},
      {F::OutputFiletype, 4, NoSelection},   {F::Profile, 4, 4},      {F::Profile, 5, NoSelection},
  };
  for (const auto& c : cases) {
    s.Set(c.field, c.index);
    EXPECT_EQ(s.Get(c.field), c.stored) << static_cast<int>(c.field) << " " << c.index;
  }
  // Custom profiles extend the profile list; removing them clears a selection beyond it.
  s.SetProfileRowCount(7);
  s.Set(F::Profile, 6);
  EXPECT_EQ(s.Profile(), 6);
  s.SetProfileRowCount(6);
  EXPECT_EQ(s.Profile(), NoSelection);
}

TEST(Catalogues, FillSelectorAppendsAndSelectsTheDefault) {
  TSelectorRows rows;
  FillSelector(AudioVolumes, rows);
  EXPECT_EQ(rows.Items.size(), 21u);
  EXPECT_EQ(rows.SelectedText(), "200");

  TSelectorRows rates;
  FillSelector(FrameRates, rates);
  EXPECT_EQ(rates.SelectedText(), "25");
  // A second fill appends; the default index then names a row of the first fill.
  FillSelector(AspectRatios, rates);
  EXPECT_EQ(rates.Items.size(), 9u);
  EXPECT_EQ(rates.ItemIndex, 0);
  rates.Clear();
  EXPECT_EQ(rates.SelectedText(), "");
}

}  // namespace
}  // namespace tarquel
