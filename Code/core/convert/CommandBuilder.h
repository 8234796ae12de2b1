// Turns one source of the list, its trim times and the current settings
// into the encoder's command line, and prepares what that line refers to:
// the output folder, the script through which RealMedia is read, a free
// output name.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Catalogues.h"
#include "ConvertJob.h"

namespace tarquel {

class TAppFunc;
class TFileFunc;

// The fragment renderers: the prefix and the entry text, or the default
// fragment for an empty entry.
std::string MakeVideoBitrateArg(std::string_view entry);
std::string MakeVideoSizeArg(std::string_view entry);
std::string MakeFramerateArg(std::string_view entry);
std::string MakeAspectArg(std::string_view entry);
std::string MakeAudioBitrateArg(std::string_view entry);
std::string MakeVolumeArg(std::string_view entry);
std::string MakeChannelsArg(std::string_view entry);  // the entry's first character
std::string MakeSampleArg(std::string_view entry);
std::string MakeTypeParams(std::string_view entry);
std::string MakeFormatArg(std::string_view entry);    // "none": no fragment
std::string MakeOutputExt(std::string_view entry);

// A path between double quotes such that the encoder's command-line
// splitting gives back exactly the path. Paths without quotes (and not
// ending in a backslash) are simply enclosed.
std::string QuotedPath(std::string_view path);

// One row of the source list as the builder reads it.
struct TSourceTimes {
  std::string FileName;
  std::string StartTime;
  std::string EndTime;
};

// What the builder reads and writes besides its arguments.
struct TBuildEnvironment {
  std::string AppPath;  // the program folder, with its trailing separator
  const TAppFunc& Log;
  TFileFunc& Files;
  // The rows of the source list, top to bottom.
  std::function<std::vector<TSourceTimes>()> Rows;
  // Sets the six preset selections from the selected custom profile.
  std::function<void()> ApplyCustomProfile;
  // The current choices, read after ApplyCustomProfile has run.
  std::function<const TConvertSettings&()> Settings;
  // The output folder text.
  std::function<std::string()> OutDir;
  // The per-type catalogues, looked up at OutputFiletype.
  const std::array<std::string_view, OutputTypeCount>* TypeParamsTable = &OutputTypeParams;
  const std::array<std::string_view, OutputTypeCount>* FormatsTable = &OutputFormats;
  const std::array<std::string_view, OutputTypeCount>* ExtensionsTable = &OutputExtensions;
  // Where the script is written, with its trailing separator; the program
  // folder when empty.
  std::string ScriptFolder{};
};

class TCommandBuilder {
 public:
  explicit TCommandBuilder(TBuildEnvironment env) : Env_(std::move(env)) {}

  // The command line for `source` (its File Name text); empty when the
  // output type's codec parameters fit no layout. Fills `params` and the
  // job's StartTime and CutLength, creates the output folder, rewrites the
  // script "VideoFile.avs" in the script folder.
  std::string BuildEncoderCommand(const std::string& source, TConvertParameterStruct& params, TJobState& job);

  // The Start Time of the last row naming `source` (letters a to z
  // compared without case); ApplyCustomProfile runs for each such row.
  std::string GetSourceStartTime(const std::string& source);
  // End minus start of the last such row, in seconds, as text.
  std::string GetSourceDuration(const std::string& source);
  // The output folder with its separator, made with its parents and logged.
  std::string GetOutputDirectory();

 private:
  TBuildEnvironment Env_;
};

}  // namespace tarquel
