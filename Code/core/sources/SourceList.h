// The source list: one row per media file to convert, seven text cells per
// row, with the rows' selection and the focused row. The window shows it;
// everything that changes rows goes through this model.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace tarquel {

// Column indices of a source row, in the order of its cells.
enum TSourceColumn : int {
  dxtrlchkCheckStatus = 0,   // "True" when checked, "False" when not
  dxtrlSourceFileName = 1,   // the full path, exactly as it arrived
  dxtrlSourceFileSize = 2,   // size text
  dxtrlSourceFileDuration = 3,
  dxtrlSourceFileStartTime = 4,
  dxtrlSourceFileEndTime = 5,
  dxtrlstclConvertDuration = 6,  // Cut Time: End minus Start, shown only
};
inline constexpr int kSourceColumnCount = 7;

using TSourceCells = std::array<std::string, kSourceColumnCount>;

inline constexpr std::string_view kCheckedText = "True";
inline constexpr std::string_view kUncheckedText = "False";

// Told of every change to the list, so that a view can follow it row range
// by row range. Each "about to" call comes before the rows change, its pair
// right after; a view must not read the list in between.
class ISourceListObserver {
 public:
  virtual ~ISourceListObserver() = default;
  virtual void RowsAboutToBeInserted(int first, int last) = 0;
  virtual void RowsInserted() = 0;
  virtual void RowsAboutToBeRemoved(int first, int last) = 0;
  virtual void RowsRemoved() = 0;
  virtual void CellChanged(int row, int column) = 0;
  // The selected rows or the focused row changed.
  virtual void SelectionChanged() = 0;
};

class TSourceList {
 public:
  // At most one observer; nullptr detaches it.
  void SetObserver(ISourceListObserver* observer) { Observer_ = observer; }

  int Count() const { return static_cast<int>(Rows_.size()); }
  bool Empty() const { return Rows_.empty(); }

  const TSourceCells& Row(int row) const { return Rows_.at(row).Cells; }
  const std::string& Cell(int row, int column) const { return Rows_.at(row).Cells.at(column); }
  // Sets any cell but the path, which stays as the row was added.
  void SetCell(int row, int column, std::string text);

  // True when a row's path equals `path` exactly (case-sensitive).
  bool Contains(const std::string& path) const { return Paths_.count(path) != 0; }
  // Appends a row unless its path is already listed; true when appended.
  bool Append(TSourceCells cells);

  // Checked means the check cell reads exactly "True".
  bool IsChecked(int row) const { return Cell(row, dxtrlchkCheckStatus) == kCheckedText; }
  void SetChecked(int row, bool checked);

  bool IsSelected(int row) const { return Rows_.at(row).Selected; }
  void SetSelected(int row, bool selected);
  // The selected rows from the top of the list down.
  std::vector<int> SelectedRows() const;

  // The focused row, or -1 when no row has the focus.
  int FocusedRow() const { return Focused_; }
  void SetFocusedRow(int row);

  // Deletes the given rows (any order, repeats allowed); the focus follows
  // its row, and is lost when that row goes.
  void DeleteRows(std::vector<int> rows);
  void Clear();

  // Calls `change` and reports one selection change at its end, for a view
  // writing back many rows' selection at once.
  template <typename Change>
  void ChangeSelection(Change&& change) {
    ISourceListObserver* observer = Observer_;
    Observer_ = nullptr;
    try {
      change();
    } catch (...) {
      Observer_ = observer;
      throw;
    }
    Observer_ = observer;
    if (Observer_) Observer_->SelectionChanged();
  }

 private:
  struct TRow {
    TSourceCells Cells;
    bool Selected = false;
  };
  std::vector<TRow> Rows_;
  // Every listed path, so that uniqueness costs no scan of the rows.
  std::unordered_set<std::string> Paths_;
  int Focused_ = -1;
  ISourceListObserver* Observer_ = nullptr;
};

}  // namespace tarquel
