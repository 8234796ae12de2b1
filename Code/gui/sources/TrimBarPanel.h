// The trim bar Panel1: a view of the core TTrimBar. It lays its five parts
// out from the bar's geometry, draws their pictures, resizes live while a
// handle is dragged and reports releases and nudge clicks to the bar.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

#include "TrimBar.h"

namespace tarquel::gui {

class TTrimBarPanel : public QWidget {
  Q_OBJECT
 public:
  explicit TTrimBarPanel(QWidget* parent = nullptr);

  // The bar this panel shows; until one is set the panel shows the start
  // geometry and takes no input.
  void SetBar(TTrimBar* bar);

  // The parts, left to right, by the names the program gives them.
  QWidget *Panel2, *Splitter1, *Panel4, *Splitter2, *Panel3;

  // tmrPaintSP's tick: brings the parts in line with the bar where its
  // geometry changed since they were last laid out, and repaints nothing
  // else; true when it laid them out anew. The panel also runs it whenever
  // the event loop has nothing more to do, so the bar never lags behind a
  // handler that moved it.
  bool PaintHandles();

  // The shift state of a mouse event, as the bar's nudge rules read it.
  static TShiftState ShiftStateOf(const QMouseEvent& event);

 signals:
  // A release or a nudge wrote new times into the selected rows.
  void TimesChanged();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void LayOut();
  void PaintPart(QWidget* part, QPaintEvent* event);

  TTrimBar* Bar_ = nullptr;
  int ShownLeft_ = 1, ShownRight_ = 1;
  QWidget* Dragged_ = nullptr;
  int DragStartX_ = 0, DragStartWidth_ = 0;
  QImage ImgL_, ImgR_, Outer_, Middle_;
};

}  // namespace tarquel::gui
