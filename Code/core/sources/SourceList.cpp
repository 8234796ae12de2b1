#include "SourceList.h"

#include <algorithm>
#include <stdexcept>

namespace tarquel {

void TSourceList::SetCell(int row, int column, std::string text) {
  if (column == dxtrlSourceFileName) throw std::logic_error("a source row's path cannot be changed");
  Rows_.at(row).Cells.at(column) = std::move(text);
}

bool TSourceList::Append(TSourceCells cells) {
  if (!Paths_.insert(cells[dxtrlSourceFileName]).second) return false;
  Rows_.push_back(TRow{std::move(cells)});
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

void TSourceList::SetFocusedRow(int row) {
  if (row < -1 || row >= Count()) throw std::out_of_range("no such source row");
  Focused_ = row;
}

void TSourceList::DeleteRows(std::vector<int> rows) {
  std::vector<bool> doomed(Rows_.size(), false);
  for (int row : rows) doomed.at(row) = true;

  int kept = 0;
  int focused = -1;
  for (int i = 0; i < Count(); ++i) {
    if (doomed[i]) {
      Paths_.erase(Rows_[i].Cells[dxtrlSourceFileName]);
      continue;
    }
    if (i == Focused_) focused = kept;
    if (kept != i) Rows_[kept] = std::move(Rows_[i]);
    ++kept;
  }
  Rows_.resize(kept);
  Focused_ = focused;
}

void TSourceList::Clear() {
  Rows_.clear();
  Paths_.clear();
  Focused_ = -1;
}

}  // namespace tarquel
