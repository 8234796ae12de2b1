// The Start Time and End Time cells of the source list, edited in place:
// a masked field 00:00:00 (hh:nn:ss) whose hours, minutes or seconds (the
// part under the cursor) step with the spin buttons and the arrow keys.
#pragma once

#include <QAbstractSpinBox>
#include <QStyledItemDelegate>
#include <functional>

namespace tarquel::gui {

class TTimeEdit final : public QAbstractSpinBox {
  Q_OBJECT
 public:
  explicit TTimeEdit(QWidget* parent = nullptr);

  // The time shown, in seconds; at most 99:59:59.
  int Seconds() const;
  void SetSeconds(int seconds);
  void SetText(const QString& text);  // a time text; anything else shows 00:00:00
  QString Text() const;

  void stepBy(int steps) override;

 protected:
  StepEnabled stepEnabled() const override { return StepUpEnabled | StepDownEnabled; }
};

class TTimeCellDelegate final : public QStyledItemDelegate {
  Q_OBJECT
 public:
  // `edited` runs after an edit has reached the list.
  TTimeCellDelegate(QObject* parent, std::function<void()> edited);

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override;
  // A time of zero leaves the cell empty.
  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

 private:
  std::function<void()> Edited_;
};

}  // namespace tarquel::gui
