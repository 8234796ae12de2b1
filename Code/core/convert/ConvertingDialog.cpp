#include "ConvertingDialog.h"

#include <algorithm>
#include <cmath>

#include "TextFormats.h"

namespace tarquel {

void TProgressBarModel::SetRange(int min, int max) {
  Min = min;
  Max = std::max(min, max);
  SetPosition(Position);
}

void TProgressBarModel::SetPosition(int position) { Position = std::clamp(position, Min, Max); }

bool IsAudioOnlyOutput(const std::string& typeParams, const std::string& outputExt) {
  return TrimBlanks(typeParams).starts_with("-acodec") && outputExt != ".3gp";
}

void TConvertingModel::FormShow(const TConvertParameterStruct& params, const TJobState& job) {
  Visible = true;
  Step = 0;
  lblCurFileName = params.InputFile;
  lblPersent = "Current: 1, Total: " + std::to_string(job.TotalCount);
  ProgressBar1 = {0, 1, 0};
  pbTotal = {0, 1, 0};
}

void TConvertingModel::OnEncoderOutput(const std::string& chunk, const TConvertParameterStruct& params,
                                       TJobState& job) {
  statState = chunk;
  lblCurFileName = params.InputFile;
  actRefreshProgressExecute(params, job);
}

void TConvertingModel::actRefreshProgressExecute(const TConvertParameterStruct& params, TJobState& job) {
  // The first chunk of every file shows only in the status line.
  if (++job.RefreshCount <= 1) return;

  // The total bar follows the file bar as it stood before this refresh.
  pbTotal.SetRange(0, job.TotalCount * 100);
  pbTotal.SetPosition(ProgressBar1.Position * 100 / (ProgressBar1.Max + 1) + job.DoneCount * 100);
  lblPersent = "Current: " + std::to_string(job.DoneCount + 1) + " , Total: " + std::to_string(job.TotalCount) + ".";

  // A length that is no whole non-negative number keeps the previous range.
  if (const auto length = TryStrToInt(job.CutLength); length && *length >= 0) ProgressBar1.SetRange(0, *length);

  if (statState.empty()) return;
  const auto pieces = SplitText(statState, '=');
  const bool audioOnly = IsAudioOnlyOutput(params.TypeParams, params.OutputExt);
  const std::size_t needed = audioOnly ? 4 : 5;
  if (pieces.size() < needed) return;
  const std::string& token = pieces[audioOnly ? 2 : 4];
  const std::string seconds = token.substr(0, token.find('.'));
  if (seconds.empty() || seconds == "10000000000") return;
  const double value = NumberFromText(seconds);
  // Held within the bar's range, and within int before that.
  const double whole = std::trunc(std::clamp(value, -1e9, 1e9));
  ProgressBar1.SetPosition(static_cast<int>(whole));
}

void TConvertingModel::tmrChangingTimer() {
  static constexpr const char* kSymbols[] = {"|", "/", "-", "\\", "|"};
  if (++Step > 5) Step = 1;
  lblInfo = std::string(ProgressBar1.Position < 3 ? "Installing convert information  " : "Converting  ") +
            kSymbols[Step - 1];
}

void TConvertingModel::ResetAfterStop() {
  ProgressBar1.SetPosition(0);
  pbTotal = {0, 0, 0};
  lblPersent = "Current: 1, Total: ...";
}

}  // namespace tarquel
