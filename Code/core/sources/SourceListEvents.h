// What the source list's buttons, keys and drags do beyond deleting rows:
// the player stops and the trim bar follows the list.
#pragma once

#include "SourceList.h"
#include "TrimBar.h"

namespace tarquel {

class TSourceListEvents {
 public:
  TSourceListEvents(TSourceList& list, TTrimBar& bar, IPreviewPlayback& player)
      : List_(list), Bar_(bar), Player_(player) {}

  // Remove: deletes the selected rows, stops the player, refreshes the bar.
  void btnRemoveFileClick();
  // Clear: deletes every row and stops the player.
  void btnClearFileClick();
  // Any key pressed in the list refreshes the bar first; the Delete key then
  // deletes the selected rows and stops the player.
  void dxTreeSourceFileInfoKeyDown(bool deleteKey);
  // A drag of rows ended; one that ended anywhere but on the list (or was
  // cancelled) removes the dragged rows.
  void dxTreeSourceFileInfoEndDrag(bool endedOnList);

 private:
  TSourceList& List_;
  TTrimBar& Bar_;
  IPreviewPlayback& Player_;
};

}  // namespace tarquel
