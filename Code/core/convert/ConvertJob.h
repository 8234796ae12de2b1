// The state one conversion batch shares between the command builder, the
// job driver and the progress dialog.
#pragma once

#include <string>

namespace tarquel {

// The pieces of the current encoder command. A "fragment" is empty or
// starts with one blank, so fragments join without separators.
struct TConvertParameterStruct {
  std::string Encoder;          // full path of evc.exe or revc.exe
  std::string InputFile;        // the source, or the script for RealMedia
  std::string TypeParams;       // fragment: codec parameters of the output type
  std::string VideoBitrateArg;  // fragments of the options...
  std::string VideoSizeArg;
  std::string FramerateArg;
  std::string AspectArg;
  std::string AudioBitrateArg;
  std::string VolumeArg;  // may be a single blank
  std::string ChannelsArg;
  std::string SampleArg;
  std::string FormatArg;
  std::string CutArg;
  std::string OutputDir;   // ends with the path separator
  std::string OutputName;  // base name of the source
  std::string OutputExt;   // with its dot
  std::string OutputFile;  // the free output path chosen for the current file
};

// The job state of the running batch.
struct TJobState {
  std::string StartTime;  // Start Time text of the current row
  std::string CutLength;  // length of the cut in whole seconds, as text
  int DoneCount = 0;      // files whose encoder run is over
  int TotalCount = 0;     // checked rows when the batch began
  int RefreshCount = 0;   // progress refreshes for the current file
  int RowIndex = 0;       // the row being processed
  std::string Command;    // the current command line
  bool Stopped = false;   // set by Stop: no end-of-batch actions
};

}  // namespace tarquel
