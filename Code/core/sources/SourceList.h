// The source list: one row per media file to convert, with the rows'
// selection and the focused row. A row holds typed fields; the seven texts
// the window shows and edits are made from them, and read into them, here
// alone. Everything that changes rows goes through this model.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace tarquel {

// Column indices of a source row, in the order of its cells.
enum TSourceColumn : int {
  dxtrlchkCheckStatus = 0,   // "True" when checked, "False" when not
  dxtrlSourceFileName = 1,   // the full path, exactly as it arrived
  dxtrlSourceFileSize = 2,   // FormatFileSize of the size
  dxtrlSourceFileDuration = 3,
  dxtrlSourceFileStartTime = 4,
  dxtrlSourceFileEndTime = 5,
  dxtrlstclConvertDuration = 6,  // Cut Time: End minus Start, shown only
};
inline constexpr int kSourceColumnCount = 7;

using TSourceCells = std::array<std::string, kSourceColumnCount>;

// A time of a source row: whole seconds, shown as "HH:MM:SS". A text put
// into a time cell that is not such a time (the time editor leaves a zero
// time as an empty cell) is kept and shown as it came, and counts as the
// seconds TimeTextToSeconds reads in it: 0 unless it is three integers.
class TSourceTime {
 public:
  TSourceTime() = default;
  // Implicit: a number of seconds is a time.
  TSourceTime(std::int64_t seconds) : Seconds_(seconds) {}
  static TSourceTime FromText(std::string_view text);

  std::int64_t Seconds() const { return Seconds_; }
  // The editor's empty cell, which stands for zero until the edit is
  // brought into line.
  bool Blank() const { return Kept_ && Kept_->empty(); }
  // Negative seconds show as "00:00:00".
  std::string Text() const;

 private:
  std::int64_t Seconds_ = 0;
  std::optional<std::string> Kept_;  // only for a text that is not a time
};

struct TSourceRow {
  bool Checked = true;
  std::string Path;        // exactly as it arrived
  std::int64_t Size = 0;   // in bytes
  TSourceTime Duration;
  TSourceTime Start;
  TSourceTime End;
  TSourceTime Cut;  // shown only; set with Start and End

  // The cut the batch converts: End less Start, in seconds.
  std::int64_t CutSeconds() const { return End.Seconds() - Start.Seconds(); }
};

// The row of a file as it enters the list: checked, cut to its whole length.
TSourceRow NewSourceRow(std::string path, std::int64_t size, std::int64_t durationSeconds);

// A cell's text as the window shows it.
std::string SourceCellText(const TSourceRow& row, int column);

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

  const TSourceRow& Row(int row) const { return Rows_.at(row).Source; }
  // The row's seven texts, and one of them.
  TSourceCells Texts(int row) const;
  std::string Cell(int row, int column) const { return SourceCellText(Row(row), column); }
  // Reads a text into a cell, as the window's editors hand it over: the
  // check cell is checked exactly by "True", a time cell takes any text.
  // The path and the size stay as the row was added.
  void SetCell(int row, int column, std::string_view text);
  // Sets Duration, Start, End or Cut Time.
  void SetTime(int row, int column, TSourceTime time);

  // True when a row's path equals `path` exactly (case-sensitive).
  bool Contains(const std::string& path) const { return Paths_.count(path) != 0; }
  // Appends a row unless its path is already listed; true when appended.
  bool Append(TSourceRow row);

  bool IsChecked(int row) const { return Row(row).Checked; }
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
    TSourceRow Source;
    bool Selected = false;
  };
  void Changed(int row, int column) {
    if (Observer_) Observer_->CellChanged(row, column);
  }
  std::vector<TRow> Rows_;
  // Every listed path, so that uniqueness costs no scan of the rows.
  std::unordered_set<std::string> Paths_;
  int Focused_ = -1;
  ISourceListObserver* Observer_ = nullptr;
};

}  // namespace tarquel
