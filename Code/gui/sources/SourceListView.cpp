#include "SourceListView.h"

#include <QDir>
#include <QDrag>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>

#include <array>
#include <numeric>

#include "SourceListModel.h"
#include "SystemText.h"

namespace tarquel::gui {

namespace {

// The columns' share of the width when the list is first shown.
constexpr std::array<int, kSourceColumnCount> kProportions = {16, 68, 28, 28, 28, 28, 28};

}  // namespace

std::vector<std::string> LocalFilesOf(const QMimeData* mime) {
  std::vector<std::string> paths;
  if (mime == nullptr || !mime->hasUrls()) return paths;
  for (const QUrl& url : mime->urls()) {
    if (url.isLocalFile()) paths.push_back(ToSystemText(QDir::toNativeSeparators(url.toLocalFile())));
  }
  return paths;
}

TSourceListView::TSourceListView(QWidget* parent) : QTableView(parent) {
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setShowGrid(true);
  setWordWrap(false);
  setTextElideMode(Qt::ElideMiddle);
  setEditTriggers(QAbstractItemView::AllEditTriggers);
  setDragEnabled(true);
  setDragDropMode(QAbstractItemView::DragDrop);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDropIndicatorShown(false);
  setDefaultDropAction(Qt::MoveAction);
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  horizontalHeader()->setSectionsMovable(true);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setMinimumSectionSize(12);
  connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this] {
    if (!Fitting_) UserSized_ = true;
  });
}

void TSourceListView::SetSourceModel(TSourceListModel* model) {
  Model_ = model;
  setModel(model);
  connect(model, &TSourceListModel::CoreSelectionChanged, this, &TSourceListView::ShowCoreSelection);
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &TSourceListView::StoreSelection);
  connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
    if (Syncing_ || !Model_) return;
    Syncing_ = true;
    Model_->List().SetFocusedRow(current.isValid() ? current.row() : -1);
    Syncing_ = false;
  });
  FitColumns();
  ShowCoreSelection();
}

void TSourceListView::FitColumns() {
  if (UserSized_ || !model()) return;
  const int width = viewport()->width();
  const int total = std::accumulate(kProportions.begin(), kProportions.end(), 0);
  Fitting_ = true;
  int used = 0;
  for (int column = 0; column < kSourceColumnCount; ++column) {
    // The last column takes what rounding left over, so the columns fill the width exactly.
    const int share = column + 1 == kSourceColumnCount ? width - used
                                                       : width * kProportions[static_cast<std::size_t>(column)] / total;
    setColumnWidth(column, share);
    used += share;
  }
  Fitting_ = false;
}

void TSourceListView::ShowCoreSelection() {
  if (Syncing_ || !Model_) return;
  Syncing_ = true;
  const TSourceList& list = Model_->List();
  QItemSelection selection;
  int runStart = -1;
  const int last = model()->columnCount() - 1;
  for (int row = 0; row <= list.Count(); ++row) {
    const bool selected = row < list.Count() && list.IsSelected(row);
    if (selected && runStart < 0) runStart = row;
    if (!selected && runStart >= 0) {
      selection.select(model()->index(runStart, 0), model()->index(row - 1, last));
      runStart = -1;
    }
  }
  selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  const int focused = list.FocusedRow();
  const QModelIndex current = focused >= 0 ? model()->index(focused, std::max(currentIndex().column(), 0)) : QModelIndex();
  selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
  Syncing_ = false;
}

void TSourceListView::StoreSelection() {
  if (Syncing_ || !Model_) return;
  Syncing_ = true;
  TSourceList& list = Model_->List();
  const QItemSelectionModel* selected = selectionModel();
  list.ChangeSelection([&] {
    for (int row = 0; row < list.Count(); ++row) list.SetSelected(row, selected->isRowSelected(row, {}));
  });
  Syncing_ = false;
}

void TSourceListView::keyPressEvent(QKeyEvent* event) {
  QTableView::keyPressEvent(event);
  if (OnKeyDown) OnKeyDown(event->key() == Qt::Key_Delete);
}

void TSourceListView::mouseReleaseEvent(QMouseEvent* event) {
  QTableView::mouseReleaseEvent(event);
  if (OnClick) OnClick();
}

void TSourceListView::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  FitColumns();
}

void TSourceListView::dragEnterEvent(QDragEnterEvent* event) { dragMoveEvent(event); }

void TSourceListView::dragMoveEvent(QDragMoveEvent* event) {
  // Rows of this list and local files come in; anything else is refused.
  const QMimeData* mime = event->mimeData();
  if (mime->hasFormat(QString::fromLatin1(kSourceRowsMimeType)) || !LocalFilesOf(mime).empty()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TSourceListView::dropEvent(QDropEvent* event) {
  const QMimeData* mime = event->mimeData();
  if (mime->hasFormat(QString::fromLatin1(kSourceRowsMimeType))) {
    // Rows dropped back on the list stay as they are.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return;
  }
  const std::vector<std::string> paths = LocalFilesOf(mime);
  if (paths.empty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  if (OnFilesDropped) OnFilesDropped(paths);
}

void TSourceListView::startDrag(Qt::DropActions supportedActions) {
  const QModelIndexList rows = selectionModel()->selectedRows();
  if (rows.isEmpty() || !Model_) return;
  auto* drag = new QDrag(this);
  drag->setMimeData(Model_->mimeData(rows));
  const Qt::DropAction action = drag->exec(supportedActions | Qt::CopyAction, Qt::MoveAction);
  // Dropped on the list itself, the rows stay; anywhere else, or cancelled, they go.
  const bool onList = action != Qt::IgnoreAction && drag->target() != nullptr &&
                      (drag->target() == viewport() || drag->target() == this);
  if (OnEndDrag) OnEndDrag(onList);
}

}  // namespace tarquel::gui
