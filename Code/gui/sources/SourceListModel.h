// The source list as Qt's views see it: a table model whose rows are the
// core list's rows. It keeps no copy of them; the core list reports every
// change and the model passes it on to the views by row ranges.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include "SourceList.h"

namespace tarquel::gui {

// The MIME type of rows dragged out of the list.
inline constexpr const char* kSourceRowsMimeType = "application/x-tarquel-source-rows";

class TSourceListModel final : public QAbstractTableModel, private ISourceListObserver {
  Q_OBJECT
 public:
  explicit TSourceListModel(TSourceList& list, QObject* parent = nullptr);
  ~TSourceListModel() override;

  TSourceList& List() { return List_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }
  Qt::DropActions supportedDropActions() const override { return Qt::MoveAction | Qt::CopyAction; }

 signals:
  // The core list's selection or focused row changed.
  void CoreSelectionChanged();

 private:
  void RowsAboutToBeInserted(int first, int last) override { beginInsertRows({}, first, last); }
  void RowsInserted() override { endInsertRows(); }
  void RowsAboutToBeRemoved(int first, int last) override { beginRemoveRows({}, first, last); }
  void RowsRemoved() override { endRemoveRows(); }
  void CellChanged(int row, int column) override;
  void SelectionChanged() override { emit CoreSelectionChanged(); }

  TSourceList& List_;
};

}  // namespace tarquel::gui
