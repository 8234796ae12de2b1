// The trim bar under the video window: a 260-pixel strip standing for the
// whole duration of the selected source row, with a start and an end handle.
// This class holds the bar's geometry and the small trim state the player
// reads, maps handle positions to times and back, nudges the handles, and
// validates times typed into the source list. The window draws the bar from
// LeftWidth and RightWidth and reports drags and clicks here.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "MediaGraph.h"
#include "SourceList.h"

namespace tarquel {

// What the trim bar and the source list's handlers need of the preview player.
class IPreviewPlayback {
 public:
  virtual ~IPreviewPlayback() = default;
  // The path of the file loaded into the player; empty when none.
  virtual const std::string& LoadedFile() const = 0;
  // Stops the player and unloads its file.
  virtual void StopPlayback() = 0;
  virtual IPlayerGraph& PlayerGraph() = 0;
};

// The keys and mouse buttons held during a click.
enum TShiftFlag : unsigned {
  ssShift = 1u << 0,
  ssAlt = 1u << 1,
  ssCtrl = 1u << 2,
  ssLeft = 1u << 3,
  ssRight = 1u << 4,
  ssMiddle = 1u << 5,
  ssDouble = 1u << 6,
};
using TShiftState = unsigned;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// The pixel step of a nudge click: 1 with Ctrl, 10 with Shift (each with
// the left button, a double click included), 5 for every other combination.
int NudgeStep(TShiftState shift);

class TTrimBar {
 public:
  static constexpr int W = 260;   // bar width
  static constexpr int H1 = 19;   // start handle width
  static constexpr int H2 = 19;   // end handle width
  static constexpr int kEmptyWidth = 2;  // outer parts when the list is empty

  // `processMessages` lets pending window messages run before a released
  // handle is read; none is needed without a window.
  TTrimBar(TSourceList& list, IPreviewPlayback& player, std::function<void()> processMessages = nullptr);

  // Geometry: left part L, start handle, middle part, end handle, right part R.
  int LeftWidth() const { return L_; }
  int RightWidth() const { return R_; }
  int MiddleWidth() const { return W - L_ - R_ - H1 - H2; }
  int StartHandleLeft() const { return L_; }          // x1
  int EndHandleLeft() const { return W - R_ - H2; }   // x2
  // The window reports a dragged handle's outer part; parts stay at least 1 wide.
  void SetLeftWidth(int width);
  void SetRightWidth(int width);
  // Both outer parts to their empty width, for a list that became empty.
  void SetEmptyWidths();

  // Trim state.
  std::int64_t BarDuration() const { return BarDuration_; }
  std::int64_t PlayFromSeconds() const { return PlayFromSeconds_; }
  const std::string& EndMarkText() const { return EndMarkText_; }
  bool BarReady() const { return BarReady_; }

  // Shows the selected rows on the bar, the last one deciding; a row whose
  // file is loaded in the player leaves the bar and the player alone, any
  // other stops the player.
  void RefreshTrimBar();
  // The start handle was released (or nudged): sets Start Time and Cut Time
  // of the selected rows and moves the player there.
  void SetStartTimeAndPlay();
  // The end handle was released (or nudged): sets End Time, Cut Time and the
  // end mark.
  void Splitter2Moved();
  // Clicks on the left and right parts nudge their handle outwards.
  void Panel2MouseDown(TMouseButton button, TShiftState shift);
  void Panel3MouseDown(TMouseButton button, TShiftState shift);

  // An edit in the source list ended: brings Start, End and Cut Time of each
  // selected row back into line with its Duration.
  void dxTreeSourceFileInfoEdited();
  // Right after such an edit: the handles move to the selected rows' times
  // (the last row deciding) at once, the player left as it is.
  void ShowEditedTimes();

 private:
  void SeekPlayer(std::int64_t seconds);
  // The handles to the times of `row`, over the bar's duration.
  void PlaceHandles(int row);

  TSourceList& List_;
  IPreviewPlayback& Player_;
  std::function<void()> ProcessMessages_;

  int L_ = 1;
  int R_ = 1;
  std::int64_t BarDuration_ = 0;
  std::int64_t PlayFromSeconds_ = 0;
  std::string EndMarkText_;
  bool BarReady_ = false;
};

}  // namespace tarquel
