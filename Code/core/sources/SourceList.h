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

class TSourceList {
 public:
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
  void SetSelected(int row, bool selected) { Rows_.at(row).Selected = selected; }
  // The selected rows from the top of the list down.
  std::vector<int> SelectedRows() const;

  // The focused row, or -1 when no row has the focus.
  int FocusedRow() const { return Focused_; }
  void SetFocusedRow(int row);

  // Deletes the given rows (any order, repeats allowed); the focus follows
  // its row, and is lost when that row goes.
  void DeleteRows(std::vector<int> rows);
  void Clear();

 private:
  struct TRow {
    TSourceCells Cells;
    bool Selected = false;
  };
  std::vector<TRow> Rows_;
  // Every listed path, so that uniqueness costs no scan of the rows.
  std::unordered_set<std::string> Paths_;
  int Focused_ = -1;
};

}  // namespace tarquel
