#include "TrimBar.h"

#include <algorithm>
#include <cstdlib>
#include <exception>

#include "TextFormats.h"

namespace tarquel {

namespace {

// The track the handles travel over: T for the start handle, T2 for the end.
constexpr int T = TTrimBar::W - 2 - 2 * TTrimBar::H1;
constexpr int T2 = TTrimBar::W - TTrimBar::H1 - TTrimBar::H2 - 2;

// numerator / denominator rounded to the nearest integer, half-way values to
// the even neighbour; exact, so no floating-point error can tip a tie.
std::int64_t RoundHalfEven(std::int64_t numerator, std::int64_t denominator) {
  if (numerator < 0) return -RoundHalfEven(-numerator, denominator);
  const std::int64_t quotient = numerator / denominator;
  const std::int64_t twiceRest = 2 * (numerator % denominator);
  if (twiceRest > denominator || (twiceRest == denominator && quotient % 2 != 0)) return quotient + 1;
  return quotient;
}

}  // namespace

int NudgeStep(TShiftState shift) {
  if (shift == (ssCtrl | ssLeft) || shift == (ssCtrl | ssLeft | ssDouble)) return 1;
  if (shift == (ssShift | ssLeft) || shift == (ssShift | ssLeft | ssDouble)) return 10;
  return 5;
}

TTrimBar::TTrimBar(TSourceList& list, IPreviewPlayback& player, std::function<void()> processMessages)
    : List_(list), Player_(player), ProcessMessages_(std::move(processMessages)) {}

void TTrimBar::SetLeftWidth(int width) { L_ = std::max(1, width); }
void TTrimBar::SetRightWidth(int width) { R_ = std::max(1, width); }

void TTrimBar::SetEmptyWidths() {
  L_ = kEmptyWidth;
  R_ = kEmptyWidth;
}

void TTrimBar::RefreshTrimBar() {
  for (int row : List_.SelectedRows()) {
    if (List_.Row(row).Path == Player_.LoadedFile()) continue;
    Player_.StopPlayback();
    BarDuration_ = List_.Row(row).Duration.Seconds();
    BarReady_ = false;
    PlaceHandles(row);
    BarReady_ = true;
  }
}

void TTrimBar::PlaceHandles(int row) {
  const std::int64_t s = List_.Row(row).Start.Seconds();
  const std::int64_t e = List_.Row(row).End.Seconds();
  // Every listed row lasts at least a second; a row edited into another
  // shape must still not divide by zero.
  if (BarDuration_ <= 0) return;
  // Small differences are left alone so that the handles do not jitter
  // by a pixel when the same row is shown again.
  const std::int64_t left = RoundHalfEven(s * T, BarDuration_) + 1;
  if (std::abs(left - L_) > 1) L_ = static_cast<int>(left);
  const std::int64_t right = T2 - RoundHalfEven(e * T2, BarDuration_) + 1;
  if (std::abs(right - R_) > 2) R_ = static_cast<int>(right);
}

void TTrimBar::ShowEditedTimes() {
  for (int row : List_.SelectedRows()) {
    BarDuration_ = List_.Row(row).Duration.Seconds();
    PlaceHandles(row);
  }
}

void TTrimBar::SetStartTimeAndPlay() {
  if (ProcessMessages_) ProcessMessages_();
  // Without a middle part the handles touch; give the start handle a pixel.
  if (EndHandleLeft() - StartHandleLeft() < 20) L_ = std::max(1, L_ - 1);
  const std::int64_t percent = (std::int64_t{StartHandleLeft() + H1 - 22} * 121) / W;
  PlayFromSeconds_ = percent * BarDuration_ / 100;

  for (int row : List_.SelectedRows()) {
    List_.SetTime(row, dxtrlSourceFileStartTime, PlayFromSeconds_);
    const std::int64_t end = List_.Row(row).End.Seconds();
    List_.SetTime(row, dxtrlstclConvertDuration, end - PlayFromSeconds_);
    if (BarReady_) SeekPlayer(PlayFromSeconds_);
  }
}

void TTrimBar::Splitter2Moved() {
  if (ProcessMessages_) ProcessMessages_();
  if (EndHandleLeft() - StartHandleLeft() < 20) R_ = std::max(1, R_ - 1);
  // Only the far right (R = 1) reaches 101 %, so End can pass the Duration
  // by up to 1 %.
  const std::int64_t percent = (std::int64_t{EndHandleLeft() + H2 - H1 - 22} * 121) / W;
  const std::int64_t end = percent * BarDuration_ / 100;

  for (int row : List_.SelectedRows()) {
    List_.SetTime(row, dxtrlSourceFileEndTime, end);
    EndMarkText_ = SecondsToTimeText(end);
    const std::int64_t start = List_.Row(row).Start.Seconds();
    List_.SetTime(row, dxtrlstclConvertDuration, end - start);
  }
}

void TTrimBar::Panel2MouseDown(TMouseButton button, TShiftState shift) {
  if (button != TMouseButton::mbLeft) return;
  const int step = NudgeStep(shift);
  if (L_ > step && L_ + R_ + 45 <= W) {
    L_ -= step;
    SetStartTimeAndPlay();
  }
}

void TTrimBar::Panel3MouseDown(TMouseButton button, TShiftState shift) {
  if (button != TMouseButton::mbLeft) return;
  const int step = NudgeStep(shift);
  if (R_ > step && L_ + R_ + 45 <= W) {
    R_ -= step;
    Splitter2Moved();
  }
}

void TTrimBar::dxTreeSourceFileInfoEdited() {
  for (int row : List_.SelectedRows()) {
    const TSourceTime duration = List_.Row(row).Duration;
    // The time editor leaves a zero time as an empty cell.
    if (List_.Row(row).Start.Blank()) List_.SetTime(row, dxtrlSourceFileStartTime, 0);
    if (List_.Row(row).End.Blank()) List_.SetTime(row, dxtrlSourceFileEndTime, duration);
    // The comparisons below use these values, not the times set meanwhile.
    const std::int64_t d = duration.Seconds();
    const std::int64_t s = List_.Row(row).Start.Seconds();
    const std::int64_t e = List_.Row(row).End.Seconds();

    if (s >= d) List_.SetTime(row, dxtrlSourceFileStartTime, duration);
    if (s >= e) List_.SetTime(row, dxtrlSourceFileEndTime, List_.Row(row).Start);
    if (BarReady_) SeekPlayer(List_.Row(row).Start.Seconds());
    if (e >= d) List_.SetTime(row, dxtrlSourceFileEndTime, duration);
    List_.SetTime(row, dxtrlstclConvertDuration, std::min(e, d) - s);
  }
}

void TTrimBar::SeekPlayer(std::int64_t seconds) {
  IPlayerGraph& graph = Player_.PlayerGraph();
  if (!graph.Active()) return;
  // A preview that cannot follow is no reason to leave rows half edited.
  try {
    SeekGraph(graph, seconds * 1000);
  } catch (const std::exception&) {
  }
}

}  // namespace tarquel
