// TFrmMainForm's keys and focus: the shortcuts it acts on before the
// focused control sees them, the codec link's clicks, where the focus goes
// when the window comes back, and files dropped on the window.
#include "Unit_Convert.h"

#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>

#include "ImageButton.h"
#include "SourceListView.h"

namespace tarquel::gui {

namespace {

// Space and Enter act on a focused control as a click does.
bool IsActivationKey(const QKeyEvent* key) {
  return (key->key() == Qt::Key_Space || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
         (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

}  // namespace

bool TFrmMainForm::FormKeyDown(int key, Qt::KeyboardModifiers modifiers) {
  const Qt::KeyboardModifiers held = modifiers & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
  if (key == Qt::Key_F1) {
    if (OnHelp) OnHelp();
    return true;
  }
  if (held != Qt::ControlModifier) return false;  // Ctrl alone
  QAbstractButton* target = nullptr;
  switch (key) {
    case Qt::Key_O: target = btnOpenFile; break;
    case Qt::Key_R: target = btnRemoveFile; break;
    case Qt::Key_L: target = btnClearFile; break;
    case Qt::Key_I: target = btnOptions; break;
    case Qt::Key_P: target = btnPlay; break;
    case Qt::Key_U: target = btnPause; break;
    case Qt::Key_T: target = btnStop; break;
    case Qt::Key_S:
    case Qt::Key_N: target = btnConvert; break;
    case Qt::Key_B: target = btnSelectOutputFolder; break;
    default: return false;
  }
  // A click, also on a button that is not visible.
  emit target->clicked(false);
  return true;
}

bool TFrmMainForm::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::KeyPress:
    case QEvent::Wheel:
    case QEvent::Drop:
      if (auto* widget = qobject_cast<QWidget*>(watched); widget && widget->window() == this) {
        QuietPaintTicks_ = 0;
        if (!tmrPaintSP.isActive()) tmrPaintSP.start();
      }
      break;
    default:
      break;
  }
  if (event->type() == QEvent::KeyPress) {
    auto* widget = qobject_cast<QWidget*>(watched);
    // Keys meant for a modal box (or any other window) are not ours.
    const QWidget* modal = QApplication::activeModalWidget();
    if (widget && widget->window() == this && isEnabled() && (modal == nullptr || modal->window() == this)) {
      const auto* key = static_cast<QKeyEvent*>(event);
      // Each press once: where it first arrives, at the focused control or,
      // without one, at the window itself (not again as it travels upwards).
      // A box the press opened takes the focus away meanwhile, so the same
      // press reaching the window afterwards is recognised as already seen.
      const PreviewedKey seen{event, key->key(), key->modifiers(), key->timestamp()};
      QWidget* focus = QApplication::focusWidget();
      if ((widget == focus || (focus == nullptr && widget == this)) && !(seen == Previewed_)) {
        const bool acted = FormKeyDown(key->key(), key->modifiers());
        if (acted) {
          Previewed_ = seen;
          QTimer::singleShot(0, this, [this] { Previewed_ = {}; });
        }
      }
      if (watched == Label3 && IsActivationKey(key)) {
        emit CodecLinkClicked();
        return true;
      }
    }
    return false;
  }
  // The link takes its own clicks: a press on it must not start a window
  // move, which would keep the release from it.
  if (watched == Label3 && event->type() == QEvent::MouseButtonPress) {
    Label3Pressed_ = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    return true;
  }
  if (watched == Label3 && event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const bool clicked =
        Label3Pressed_ && mouse->button() == Qt::LeftButton && Label3->rect().contains(mouse->position().toPoint());
    Label3Pressed_ = false;
    if (clicked) emit CodecLinkClicked();
    return true;
  }
  if (watched == lblTitle && event->type() == QEvent::MouseButtonPress) {
    StartMove(static_cast<QMouseEvent*>(event));
  }
  return QWidget::eventFilter(watched, event);
}

void TFrmMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (!LocalFilesOf(event->mimeData()).empty()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TFrmMainForm::dropEvent(QDropEvent* event) {
  const std::vector<std::string> paths = LocalFilesOf(event->mimeData());
  if (paths.empty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  if (OnFilesDropped) OnFilesDropped(paths);
}

void TFrmMainForm::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  // Disabled during a batch, the window lost its focus; it comes back to
  // the list rather than to whatever control Qt finds first.
  const bool regained = event->type() == QEvent::EnabledChange || event->type() == QEvent::ActivationChange;
  if (regained && isEnabled() && isActiveWindow() &&
      (QApplication::focusWidget() == nullptr || QApplication::focusWidget()->window() != this)) {
    dxTreeSourceFileInfo->setFocus(Qt::OtherFocusReason);
  }
}

bool TFrmMainForm::focusNextPrevChild(bool next) {
  // Without a focused control, Tab starts the order at its beginning and
  // Shift+Tab at its end.
  const QWidget* focus = QApplication::focusWidget();
  if (focus == nullptr || focus->window() != this) {
    QWidget* start = next ? static_cast<QWidget*>(dxTreeSourceFileInfo) : chkShutdown;
    start->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
  }
  return QWidget::focusNextPrevChild(next);
}

}  // namespace tarquel::gui
