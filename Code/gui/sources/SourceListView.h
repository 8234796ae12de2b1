// dxTreeSourceFileInfo: the source list on the main window. A table view
// over TSourceListModel with grid lines, several selectable rows and one
// focused row, columns that fill the width in fixed proportions until the
// user sizes one, files dropped from the desktop, and rows dragged out.
// The selection lives in the core list; the view writes the user's changes
// there and shows the core's changes.
#pragma once

#include <QTableView>
#include <functional>
#include <string>
#include <vector>

class QMimeData;

namespace tarquel::gui {

class TSourceListModel;

// The local files among dropped URLs, in the order given; empty when there
// is none (a drop of anything else is refused).
std::vector<std::string> LocalFilesOf(const QMimeData* mime);

class TSourceListView final : public QTableView {
  Q_OBJECT
 public:
  explicit TSourceListView(QWidget* parent = nullptr);

  void SetSourceModel(TSourceListModel* model);

  // Any key pressed in the list, after the view has handled it; true for
  // the Delete key.
  std::function<void(bool deleteKey)> OnKeyDown;
  // A click on a row, after the selection followed it.
  std::function<void()> OnClick;
  // Local files dropped on the list.
  std::function<void(const std::vector<std::string>& paths)> OnFilesDropped;
  // A drag of rows ended: on the list itself, or anywhere else (or cancelled).
  std::function<void(bool endedOnList)> OnEndDrag;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void startDrag(Qt::DropActions supportedActions) override;

 private:
  void FitColumns();
  void ShowCoreSelection();
  void StoreSelection();

  TSourceListModel* Model_ = nullptr;
  bool Syncing_ = false;     // the selection is being copied one way or the other
  bool Fitting_ = false;     // the view itself is sizing the columns
  bool UserSized_ = false;   // the user has sized a column: keep the widths
};

}  // namespace tarquel::gui
