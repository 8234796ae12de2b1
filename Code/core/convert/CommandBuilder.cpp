#include "CommandBuilder.h"

#include <filesystem>
#include <fstream>

#include "Errors.h"
#include "TextFormats.h"
#include "UtilityFuncs.h"
#include "Utf8Paths.h"

namespace tarquel {

namespace {

std::string Render(std::string_view entry, std::string_view prefix, std::string_view fallback) {
  return entry.empty() ? std::string(fallback) : std::string(prefix) + std::string(entry);
}

std::string ExtensionOf(const std::string& path) {
  const auto sep = path.find_last_of(kPathSeparators);
  const auto dot = path.rfind('.');
  return (dot == std::string::npos || (sep != std::string::npos && dot < sep)) ? std::string() : path.substr(dot);
}

}  // namespace

std::string MakeVideoBitrateArg(std::string_view e) { return Render(e, " -b ", " -b 512"); }
std::string MakeVideoSizeArg(std::string_view e) { return Render(e, " -s ", " -s 320x240"); }
std::string MakeFramerateArg(std::string_view e) { return Render(e, " -r ", " -r 25"); }
std::string MakeAspectArg(std::string_view e) { return Render(e, " -aspect ", " -aspect 4:3"); }
std::string MakeAudioBitrateArg(std::string_view e) { return Render(e, " -ab ", " -ab 64"); }
std::string MakeVolumeArg(std::string_view e) { return Render(e, " -vol ", " "); }
std::string MakeChannelsArg(std::string_view e) { return Render(e.substr(0, 1), " -ac ", " -ac 2"); }
std::string MakeSampleArg(std::string_view e) { return Render(e, " -ar ", " -ar 44100"); }
std::string MakeTypeParams(std::string_view e) { return Render(e, " ", " -vcodec xvid -acodec mp3"); }
std::string MakeFormatArg(std::string_view e) { return e == "none" ? std::string() : " -f " + std::string(e); }
std::string MakeOutputExt(std::string_view e) { return e.empty() ? std::string(".avi") : std::string(e); }

std::string QuotedPath(std::string_view path) {
  if (path.find('"') == std::string_view::npos && (path.empty() || path.back() != '\\')) {
    return "\"" + std::string(path) + "\"";
  }
  // Backslashes before a quote (and before the closing one) are doubled,
  // and each quote gets one of its own.
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (const char c : path) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      quoted.append(backslashes * 2 + 1, '\\');
    } else {
      quoted.append(backslashes, '\\');
    }
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  quoted += '"';
  return quoted;
}

std::string TCommandBuilder::GetOutputDirectory() {
  std::string folder = Env_.OutDir();
  if (folder.empty() || !IsPathSeparator(folder.back())) folder += kPathSeparator;
  std::error_code ec;
  std::filesystem::create_directories(PathOf(folder), ec);
  Env_.Log.WriteLog((ec ? "Output directory error. ->" : "Output directory ") + folder);
  return folder;
}

std::string TCommandBuilder::BuildEncoderCommand(const TSourceRow& row, TConvertParameterStruct& p, TJobState& job) {
  const std::string& source = row.Path;
  if (Env_.ApplyCustomProfile) Env_.ApplyCustomProfile();
  job.StartTime = row.Start.Text();
  job.CutLength = std::to_string(row.CutSeconds());
  p.CutArg = job.StartTime.empty() ? std::string() : " -ss " + job.StartTime + " -t " + job.CutLength;
  p.InputFile = source;

  const TConvertSettings& s = Env_.Settings();
  const int type = s.OutputFiletype();
  const auto perType = [type](const std::array<std::string_view, OutputTypeCount>* table) {
    return type >= 0 && type < OutputTypeCount ? (*table)[type] : std::string_view();
  };
  p.TypeParams = MakeTypeParams(perType(Env_.TypeParamsTable));
  p.VideoBitrateArg = MakeVideoBitrateArg(VideoBitrates.EntryText(s.VideoBitrate()));
  p.VideoSizeArg = MakeVideoSizeArg(VideoSizes.EntryText(s.VideoSize()));
  p.FramerateArg = MakeFramerateArg(FrameRates.EntryText(s.Framerate()));
  p.AspectArg = MakeAspectArg(AspectRatios.EntryText(s.Aspectratio()));
  p.AudioBitrateArg = MakeAudioBitrateArg(AudioBitrates.EntryText(s.AudioBitrate()));
  p.VolumeArg = MakeVolumeArg(AudioVolumes.EntryText(s.AudioVolumeGain()));
  p.ChannelsArg = MakeChannelsArg(AudioChannelModes.EntryText(s.AudioChannels()));
  p.SampleArg = MakeSampleArg(AudioSamples.EntryText(s.AudioSample()));
  p.FormatArg = MakeFormatArg(perType(Env_.FormatsTable));
  p.OutputDir = GetOutputDirectory();
  p.OutputName = Env_.Files.GetFileNameNoExt(source);
  p.OutputExt = MakeOutputExt(perType(Env_.ExtensionsTable));

  // The script is written for every source, RealMedia or not.
  const std::string script = (Env_.ScriptFolder.empty() ? Env_.AppPath : Env_.ScriptFolder) + "VideoFile.avs";
  {
    std::ofstream out(PathOf(script), std::ios::binary | std::ios::trunc);
    out << "DirectShowSource(\"" << p.InputFile << "\", fps=29.9700898503294, convertfps=true)\r\n";
    out.close();
    if (!out) throw FileCreateError("Cannot create file \"" + script + "\".");
  }
  const std::string ext = ExtensionOf(source);
  if (ext == ".rm" || ext == ".rmvb") {
    p.Encoder = Env_.AppPath + "revc.exe";
    p.InputFile = script;
  } else {
    p.Encoder = Env_.AppPath + "evc.exe";
  }

  const std::string params(TrimBlanks(p.TypeParams));
  const std::string form = params.substr(0, 7);
  std::vector<const std::string*> fragments;
  if (form == "-vcodec") {
    fragments = {&p.VideoBitrateArg, &p.VideoSizeArg, &p.FramerateArg, &p.AspectArg, &p.AudioBitrateArg,
                 &p.VolumeArg,       &p.ChannelsArg,  &p.SampleArg,    &p.FormatArg, &p.CutArg};
  } else if (form == "-target") {
    fragments = {&p.CutArg};
  } else if (form == "-acodec") {
    static const std::string kMobileAudio = " -ac 1 -ar 8000";
    if (p.OutputExt == ".3gp" || p.OutputExt == ".3g2" || p.OutputExt == ".amr") {
      fragments = {&p.VideoSizeArg, &p.VideoBitrateArg, &p.AudioBitrateArg, &p.VolumeArg, &kMobileAudio,
                   &p.FormatArg,    &p.CutArg};
    } else {
      fragments = {&p.AudioBitrateArg, &p.VolumeArg, &p.ChannelsArg, &p.SampleArg, &p.FormatArg, &p.CutArg};
    }
  } else {
    if (params.substr(0, 5) == "-none") Env_.Log.WriteLog("Create convert parameter failure.");
    return std::string();
  }

  const std::string output = Env_.Files.GetUniqueFileName(p.OutputDir + p.OutputName + p.OutputExt);
  p.OutputFile = output;
  std::string command = p.Encoder + " -y -i " + QuotedPath(p.InputFile) + p.TypeParams;
  for (const std::string* fragment : fragments) command += *fragment;
  command += " " + QuotedPath(output);
  return command;
}

}  // namespace tarquel
