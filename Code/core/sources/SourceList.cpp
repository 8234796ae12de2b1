#include "SourceList.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

#include "TextFormats.h"

namespace tarquel {

namespace {

constexpr std::string_view kCheckedText = "True";
constexpr std::string_view kUncheckedText = "False";

TSourceTime& TimeCell(TSourceRow& row, int column) {
  switch (column) {
    case dxtrlSourceFileDuration:
      return row.Duration;
    case dxtrlSourceFileStartTime:
      return row.Start;
    case dxtrlSourceFileEndTime:
      return row.End;
    case dxtrlstclConvertDuration:
      return row.Cut;
    default:
      throw std::logic_error("not a time column of the source list");
  }
}

}  // namespace

TSourceTime TSourceTime::FromText(std::string_view text) {
  TSourceTime time(TimeTextToSeconds(text));
  if (time.Text() != text) time.Kept_ = std::string(text);
  return time;
}

std::string TSourceTime::Text() const { return Kept_ ? *Kept_ : SecondsToTimeText(Seconds_); }

TSourceRow NewSourceRow(std::string path, std::int64_t size, std::int64_t durationSeconds) {
  return {true, std::move(path), size, durationSeconds, 0, durationSeconds, durationSeconds};
}

std::string SourceCellText(const TSourceRow& row, int column) {
  switch (column) {
    case dxtrlchkCheckStatus:
      return std::string(row.Checked ? kCheckedText : kUncheckedText);
    case dxtrlSourceFileName:
      return row.Path;
    case dxtrlSourceFileSize:
      return FormatFileSize(row.Size);
    case dxtrlSourceFileDuration:
      return row.Duration.Text();
    case dxtrlSourceFileStartTime:
      return row.Start.Text();
    case dxtrlSourceFileEndTime:
      return row.End.Text();
    case dxtrlstclConvertDuration:
      return row.Cut.Text();
    default:
      throw std::out_of_range("no such source column");
  }
}

TSourceCells TSourceList::Texts(int row) const {
  TSourceCells texts;
  for (int column = 0; column < kSourceColumnCount; ++column) texts[column] = Cell(row, column);
  return texts;
}

void TSourceList::SetCell(int row, int column, std::string_view text) {
  TSourceRow& r = Rows_.at(row).Source;
  switch (column) {
    case dxtrlchkCheckStatus:
      r.Checked = text == kCheckedText;
      break;
    case dxtrlSourceFileName:
      throw std::logic_error("a source row's path cannot be changed");
    case dxtrlSourceFileSize:
      throw std::logic_error("a source row's size cannot be changed");
    default:
      if (column < 0 || column >= kSourceColumnCount) throw std::out_of_range("no such source column");
      TimeCell(r, column) = TSourceTime::FromText(text);
  }
  Changed(row, column);
}

void TSourceList::SetTime(int row, int column, TSourceTime time) {
  TimeCell(Rows_.at(row).Source, column) = std::move(time);
  Changed(row, column);
}

bool TSourceList::Append(TSourceRow row) {
  if (!Paths_.insert(row.Path).second) return false;
  const int index = Count();
  if (Observer_) Observer_->RowsAboutToBeInserted(index, index);
  Rows_.push_back(TRow{std::move(row)});
  if (Observer_) Observer_->RowsInserted();
  return true;
}

void TSourceList::SetChecked(int row, bool checked) {
  Rows_.at(row).Source.Checked = checked;
  Changed(row, dxtrlchkCheckStatus);
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
    for (int i = top; i <= bottom; ++i) Paths_.erase(Rows_[i].Source.Path);
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
