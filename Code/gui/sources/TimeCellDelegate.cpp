#include "TimeCellDelegate.h"

#include <QLineEdit>
#include <QRegularExpression>

namespace tarquel::gui {

namespace {

constexpr int kMaxSeconds = 99 * 3600 + 59 * 60 + 59;

QString TimeText(int seconds) {
  return QStringLiteral("%1:%2:%3")
      .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
      .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

TTimeEdit::TTimeEdit(QWidget* parent) : QAbstractSpinBox(parent) {
  lineEdit()->setInputMask(QStringLiteral("99:99:99"));
  SetSeconds(0);
}

int TTimeEdit::Seconds() const {
  const QStringList parts = lineEdit()->text().split(QLatin1Char(':'));
  if (parts.size() != 3) return 0;
  const int total = parts[0].trimmed().toInt() * 3600 + parts[1].trimmed().toInt() * 60 + parts[2].trimmed().toInt();
  return std::clamp(total, 0, kMaxSeconds);
}

void TTimeEdit::SetSeconds(int seconds) { lineEdit()->setText(TimeText(std::clamp(seconds, 0, kMaxSeconds))); }

void TTimeEdit::SetText(const QString& text) {
  static const QRegularExpression time(QStringLiteral("^(\\d{1,2}):(\\d{1,2}):(\\d{1,2})$"));
  const QRegularExpressionMatch m = time.match(text.trimmed());
  SetSeconds(m.hasMatch() ? m.captured(1).toInt() * 3600 + m.captured(2).toInt() * 60 + m.captured(3).toInt() : 0);
}

QString TTimeEdit::Text() const { return TimeText(Seconds()); }

void TTimeEdit::stepBy(int steps) {
  // The part under the cursor steps: hours, minutes or seconds.
  const int cursor = lineEdit()->cursorPosition();
  const int unit = cursor <= 2 ? 3600 : cursor <= 5 ? 60 : 1;
  SetSeconds(Seconds() + steps * unit);
  lineEdit()->setCursorPosition(cursor);
}

TTimeCellDelegate::TTimeCellDelegate(QObject* parent, std::function<void()> edited)
    : QStyledItemDelegate(parent), Edited_(std::move(edited)) {}

QWidget* TTimeCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const {
  auto* editor = new TTimeEdit(parent);
  editor->setFrame(false);
  editor->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
  return editor;
}

void TTimeCellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
  static_cast<TTimeEdit*>(editor)->SetText(index.data(Qt::EditRole).toString());
}

void TTimeCellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const {
  const auto* time = static_cast<TTimeEdit*>(editor);
  model->setData(index, time->Seconds() == 0 ? QString() : time->Text(), Qt::EditRole);
  if (Edited_) Edited_();
}

}  // namespace tarquel::gui
