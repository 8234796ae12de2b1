// The Converting dialog without its window: labels, bars, the spinner and
// the progress refresh that reads the encoder's status text.
#pragma once

#include <string>

#include "ConvertJob.h"

namespace tarquel {

// A progress bar's range and position; the position is always held
// within the range.
struct TProgressBarModel {
  int Min = 0;
  int Max = 100;
  int Position = 0;
  void SetRange(int min, int max);
  void SetPosition(int position);
};

// True for audio-only output: the codec parameters start with "-acodec"
// and the extension is not ".3gp". Its status lines carry the seconds in
// piece 2, other output's in piece 4.
bool IsAudioOnlyOutput(const std::string& typeParams, const std::string& outputExt);

class TConvertingModel {
 public:
  std::string lblInfo = "Please wait . . .";
  std::string lblCurFileName;
  std::string lblPersent = "Current: 1, Total: ...";
  std::string statState;
  TProgressBarModel ProgressBar1;
  TProgressBarModel pbTotal;
  int Step = 0;  // the spinner, 0 to 5
  bool Visible = false;

  // The dialog turns visible for the first file of a batch.
  void FormShow(const TConvertParameterStruct& params, const TJobState& job);
  // A chunk of encoder output has reached the GUI thread.
  void OnEncoderOutput(const std::string& chunk, const TConvertParameterStruct& params, TJobState& job);
  void actRefreshProgressExecute(const TConvertParameterStruct& params, TJobState& job);
  // Every 500 ms, visible or not.
  void tmrChangingTimer();
  // The bars and counter after a Stop.
  void ResetAfterStop();
};

}  // namespace tarquel
