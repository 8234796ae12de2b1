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

std::int64_t BarTimeToSeconds(std::string_view text) {
  const auto fields = SplitText(text, ':');
  auto field = [&](std::size_t i) -> std::int64_t {
    // NumberFromText's value cut towards zero.
    return i < fields.size() ? static_cast<std::int64_t>(NumberFromText(fields[i])) : 0;
  };
  return field(0) * 3600 + field(1) * 60 + field(2);
}

std::int64_t EditedTimeToSeconds(std::string_view text) {
  auto digits = [&](std::size_t pos) -> std::int64_t {
    return StrToInt(pos < text.size() ? text.substr(pos, 2) : std::string_view{});
  };
  return digits(0) * 3600 + digits(3) * 60 + digits(6);
}

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
    if (List_.Cell(row, dxtrlSourceFileName) == Player_.LoadedFile()) continue;
    Player_.StopPlayback();
    BarDuration_ = BarTimeToSeconds(List_.Cell(row, dxtrlSourceFileDuration));
    BarReady_ = false;
    PlaceHandles(row);
    BarReady_ = true;
  }
}

void TTrimBar::PlaceHandles(int row) {
  const std::int64_t s = BarTimeToSeconds(List_.Cell(row, dxtrlSourceFileStartTime));
  const std::int64_t e = BarTimeToSeconds(List_.Cell(row, dxtrlSourceFileEndTime));
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
    BarDuration_ = BarTimeToSeconds(List_.Cell(row, dxtrlSourceFileDuration));
    PlaceHandles(row);
  }
}

void TTrimBar::SetStartTimeAndPlay() {
  if (ProcessMessages_) ProcessMessages_();
  // Without a middle part the handles touch; give the start handle a pixel.
  if (EndHandleLeft() - StartHandleLeft() < 20) L_ = std::max(1, L_ - 1);
  const std::int64_t percent = (std::int64_t{StartHandleLeft() + H1 - 22} * 121) / W;
  PlayFromSeconds_ = percent * BarDuration_ / 100;

  const std::string start = SecondsToTimeText(PlayFromSeconds_);
  for (int row : List_.SelectedRows()) {
    List_.SetCell(row, dxtrlSourceFileStartTime, start);
    const std::int64_t end = TimeTextToSeconds(List_.Cell(row, dxtrlSourceFileEndTime));
    List_.SetCell(row, dxtrlstclConvertDuration, SecondsToTimeText(end - PlayFromSeconds_));
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

  const std::string endText = SecondsToTimeText(end);
  for (int row : List_.SelectedRows()) {
    List_.SetCell(row, dxtrlSourceFileEndTime, endText);
    EndMarkText_ = endText;
    const std::int64_t start = TimeTextToSeconds(List_.Cell(row, dxtrlSourceFileStartTime));
    List_.SetCell(row, dxtrlstclConvertDuration, SecondsToTimeText(end - start));
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
    const std::string duration = List_.Cell(row, dxtrlSourceFileDuration);
    std::string start = List_.Cell(row, dxtrlSourceFileStartTime);
    std::string end = List_.Cell(row, dxtrlSourceFileEndTime);
    // The time editor leaves a zero time as an empty cell.
    if (start.empty()) {
      start = "00:00:00";
      List_.SetCell(row, dxtrlSourceFileStartTime, start);
    }
    if (end.empty()) {
      end = duration;
      List_.SetCell(row, dxtrlSourceFileEndTime, end);
    }
    // The comparisons below use these values, not the texts written meanwhile.
    const std::int64_t d = EditedTimeToSeconds(duration);
    const std::int64_t s = EditedTimeToSeconds(start);
    const std::int64_t e = EditedTimeToSeconds(end);

    if (s >= d) List_.SetCell(row, dxtrlSourceFileStartTime, duration);
    if (s >= e) List_.SetCell(row, dxtrlSourceFileEndTime, List_.Cell(row, dxtrlSourceFileStartTime));
    if (BarReady_) SeekPlayer(TimeTextToSeconds(List_.Cell(row, dxtrlSourceFileStartTime)));
    if (e >= d) List_.SetCell(row, dxtrlSourceFileEndTime, duration);
    List_.SetCell(row, dxtrlstclConvertDuration, SecondsToTimeText(std::min(e, d) - s));
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
