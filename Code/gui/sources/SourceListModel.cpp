#include "SourceListModel.h"
#include "SystemText.h"

#include <QMimeData>

#include <array>
#include <set>

namespace tarquel::gui {

namespace {


const std::array<const char*, kSourceColumnCount> kCaptions = {
    "", "File Name", "File Size", "Duration", "Start Time", "End Time", "Cut Time"};

bool IsTimeColumn(int column) { return column == dxtrlSourceFileStartTime || column == dxtrlSourceFileEndTime; }

}  // namespace

TSourceListModel::TSourceListModel(TSourceList& list, QObject* parent) : QAbstractTableModel(parent), List_(list) {
  List_.SetObserver(this);
}

TSourceListModel::~TSourceListModel() { List_.SetObserver(nullptr); }

int TSourceListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : List_.Count(); }

int TSourceListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kSourceColumnCount; }

QVariant TSourceListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= List_.Count()) return {};
  const int row = index.row();
  const int column = index.column();
  if (column == dxtrlchkCheckStatus) {
    if (role == Qt::CheckStateRole) return List_.IsChecked(row) ? Qt::Checked : Qt::Unchecked;
    return {};
  }
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return FromSystemText(List_.Cell(row, column));
    case Qt::ToolTipRole:
      if (column == dxtrlSourceFileName) return FromSystemText(List_.Cell(row, column));
      return {};
    default:
      return {};
  }
}

bool TSourceListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || index.row() >= List_.Count()) return false;
  if (index.column() == dxtrlchkCheckStatus && role == Qt::CheckStateRole) {
    List_.SetChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
  }
  if (IsTimeColumn(index.column()) && role == Qt::EditRole) {
    List_.SetCell(index.row(), index.column(), ToSystemText(value.toString()));
    return true;
  }
  return false;
}

Qt::ItemFlags TSourceListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::ItemIsDropEnabled;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
  if (index.column() == dxtrlchkCheckStatus) flags |= Qt::ItemIsUserCheckable;
  if (IsTimeColumn(index.column())) flags |= Qt::ItemIsEditable;
  return flags;
}

QVariant TSourceListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kSourceColumnCount) {
    return {};
  }
  return QString::fromLatin1(kCaptions[static_cast<std::size_t>(section)]);
}

QStringList TSourceListModel::mimeTypes() const { return {QString::fromLatin1(kSourceRowsMimeType)}; }

QMimeData* TSourceListModel::mimeData(const QModelIndexList& indexes) const {
  // The dragged rows' numbers; a drag only ever ends in deleting the
  // selected rows or in nothing, so nothing else needs to travel.
  std::set<int> rows;
  for (const QModelIndex& index : indexes) rows.insert(index.row());
  QByteArray payload;
  for (int row : rows) payload += QByteArray::number(row) + '\n';
  auto* mime = new QMimeData;
  mime->setData(QString::fromLatin1(kSourceRowsMimeType), payload);
  return mime;
}

void TSourceListModel::CellChanged(int row, int column) {
  const QModelIndex cell = index(row, column);
  emit dataChanged(cell, cell);
}

}  // namespace tarquel::gui
