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
#include "SourceList.h"

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

// What the builder reads and writes besides its arguments.
struct TBuildEnvironment {
  std::string AppPath;  // the program folder, with its trailing separator
  const TAppFunc& Log;
  TFileFunc& Files;
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

  // The command line for a source row; empty when the output type's codec
  // parameters fit no layout. Runs ApplyCustomProfile, then fills `params`
  // and the job's StartTime (the row's Start Time text) and CutLength (End
  // less Start in seconds); the cut is left out while Start Time is an
  // empty cell. Creates the output folder and rewrites the script
  // "VideoFile.avs" in the script folder.
  std::string BuildEncoderCommand(const TSourceRow& row, TConvertParameterStruct& params, TJobState& job);

  // The output folder with its separator, made with its parents and logged.
  std::string GetOutputDirectory();

 private:
  TBuildEnvironment Env_;
};

}  // namespace tarquel
