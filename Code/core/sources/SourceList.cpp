#include "SourceList.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

namespace tarquel {

void TSourceList::SetCell(int row, int column, std::string text) {
  if (column == dxtrlSourceFileName) throw std::logic_error("a source row's path cannot be changed");
  Rows_.at(row).Cells.at(column) = std::move(text);
  if (Observer_) Observer_->CellChanged(row, column);
}

bool TSourceList::Append(TSourceCells cells) {
  if (!Paths_.insert(cells[dxtrlSourceFileName]).second) return false;
  const int row = Count();
  if (Observer_) Observer_->RowsAboutToBeInserted(row, row);
  Rows_.push_back(TRow{std::move(cells)});
  if (Observer_) Observer_->RowsInserted();
  return true;
}

void TSourceList::SetChecked(int row, bool checked) {
  SetCell(row, dxtrlchkCheckStatus, std::string(checked ? kCheckedText : kUncheckedText));
}

std::vector<int> TSourceList::SelectedRows() const {
  std::vector<int> rows;
  for (int i = 0; i < Count(); ++i) {
    if (Rows_[i].Selected) rows.push_back(i);
  }
  return rows;
}

void TSourceList::SetSelected(int row, bool selected) {
  TRow& r = Rows_.at(row);
  if (r.Selected == selected) return;
  r.Selected = selected;
  if (Observer_) Observer_->SelectionChanged();
}

void TSourceList::SetFocusedRow(int row) {
  if (row < -1 || row >= Count()) throw std::out_of_range("no such source row");
  if (Focused_ == row) return;
  Focused_ = row;
  if (Observer_) Observer_->SelectionChanged();
}

void TSourceList::DeleteRows(std::vector<int> rows) {
  for (int row : rows) static_cast<void>(Rows_.at(row));
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  if (rows.empty()) return;
  // Runs of adjacent rows go one by one from the bottom up, so that the
  // rows above a run keep their indices while it is reported.
  auto last = rows.end();
  while (last != rows.begin()) {
    auto first = std::prev(last);
    while (first != rows.begin() && *std::prev(first) == *first - 1) --first;
    const int top = *first;
    const int bottom = *std::prev(last);
    if (Observer_) Observer_->RowsAboutToBeRemoved(top, bottom);
    for (int i = top; i <= bottom; ++i) Paths_.erase(Rows_[i].Cells[dxtrlSourceFileName]);
    Rows_.erase(Rows_.begin() + top, Rows_.begin() + bottom + 1);
    if (Focused_ >= top && Focused_ <= bottom) {
      Focused_ = -1;
    } else if (Focused_ > bottom) {
      Focused_ -= bottom - top + 1;
    }
    if (Observer_) Observer_->RowsRemoved();
    last = first;
  }
  if (Observer_) Observer_->SelectionChanged();
}

void TSourceList::Clear() {
  if (Rows_.empty()) return;
  if (Observer_) Observer_->RowsAboutToBeRemoved(0, Count() - 1);
  Rows_.clear();
  Paths_.clear();
  Focused_ = -1;
  if (Observer_) Observer_->RowsRemoved();
  if (Observer_) Observer_->SelectionChanged();
}

}  // namespace tarquel
