#include "SourceListEvents.h"

#include "SourceFiles.h"

namespace tarquel {

void TSourceListEvents::btnRemoveFileClick() {
  DeleteSelectedRows(List_);
  if (List_.Empty()) Bar_.SetEmptyWidths();
  Player_.StopPlayback();
  Bar_.RefreshTrimBar();
}

void TSourceListEvents::btnClearFileClick() {
  ClearSourceList(List_);
  Player_.StopPlayback();
  Bar_.SetEmptyWidths();
}

void TSourceListEvents::dxTreeSourceFileInfoKeyDown(bool deleteKey) {
  Bar_.RefreshTrimBar();
  if (!deleteKey) return;
  DeleteSelectedRows(List_);
  Player_.StopPlayback();
  if (List_.Empty()) Bar_.SetEmptyWidths();
}

void TSourceListEvents::dxTreeSourceFileInfoEndDrag(bool endedOnList) {
  if (!endedOnList) btnRemoveFileClick();
}

}  // namespace tarquel
