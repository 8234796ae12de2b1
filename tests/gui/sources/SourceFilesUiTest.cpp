// The source list on the main window: adding through the open dialog and
// the busy window, drops, the check box, the buttons and keys that delete
// rows, and the model's notifications by row range.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include "InitFileForm.h"
#include "ImageButton.h"
#include "ShellFixture.h"
#include "SourceDoubles.h"
#include "SourceFilesUi.h"
#include "SourceListModel.h"
#include "SourceListView.h"
#include "TimeCellDelegate.h"
#include "TrimBarPanel.h"
#include "UnitCustomProc.h"
#include "Unit_Convert.h"

namespace tarquel {
namespace {

using Paths = std::vector<std::string>;

class SourceFilesUi : public test::ShellFixture {
 protected:
  void SetUp() override {
    MakeProgramFolder({"Res.dll", "Form.dll"});
    // Readable sources are files the fake probe knows; "bad" ones it cannot render.
    for (const char* name : {"a.avi", "b.mpg", "c.mov", "d.wmv", "e.mkv", "notes.xyz", "bad1.avi", "bad2.avi"}) {
      test::WriteFile(dir_.File(name), "media");
    }
    app::TMainEnvironment env = Environment();
    env.OpenDialog = &dialog_;
    env.ShowCodeErrorForm = [this](const std::string& path) {
      ++codecDialogs_;
      codecPaths_.push_back(path);
      if (OnCodecDialog) OnCodecDialog();
    };
    env.MakeProbeGraph = [this] {
      return std::make_unique<test::FakeProbeGraph>(std::map<std::string, std::int32_t>{
          {dir_.File("a.avi"), 100'000}, {dir_.File("b.mpg"), 7'000}, {dir_.File("c.mov"), 3'600'000},
          {dir_.File("d.wmv"), 5'000}, {dir_.File("e.mkv"), 4'000}, {dir_.File("notes.xyz"), 4'000}});
    };
    controller_ = Controller(std::move(env));
    controller_->InitApplication();
    ui_ = controller_->SourceFiles();
  }
  TSourceList& List() { return controller_->CustomProc()->SourceList; }
  gui::TFrmMainForm& Form() { return controller_->MainForm(); }
  Paths Names() {
    Paths names;
    for (int i = 0; i < List().Count(); ++i) names.push_back(List().Cell(i, dxtrlSourceFileName));
    return names;
  }
  void AddAll(std::initializer_list<const char*> names) {
    Paths paths;
    for (const char* name : names) paths.push_back(dir_.File(name));
    ui_->AddDroppedFiles(paths);
  }

  test::FakeOpenDialog dialog_;
  int codecDialogs_ = 0;
  Paths codecPaths_;
  std::function<void()> OnCodecDialog;
  std::unique_ptr<app::TMainController> controller_;
  gui::TSourceFilesUi* ui_ = nullptr;
};

TEST_F(SourceFilesUi, OpenRunsTheDialogThenAddsInTheBusyWindowAndStoresTheFolder) {
  dialog_.Chosen = {dir_.File("a.avi"), dir_.File("bad1.avi"), dir_.File("b.mpg"), dir_.File("bad2.avi")};
  // The first codec dialog stays up long enough for the spinner to turn once.
  QString spinner;
  OnCodecDialog = [&] {
    if (!spinner.isEmpty()) return;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 1150) QApplication::processEvents(QEventLoop::AllEvents, 50);
    spinner = ui_->InitFileForm().lblInfo->text();
  };
  gui::TFrmInitFileForm& busy = ui_->InitFileForm();
  EXPECT_EQ(busy.lblInfo->text(), QStringLiteral("Installing File..."));
  emit test::Control<QAbstractButton>(Form(), "btnOpenFile")->clicked();
  EXPECT_EQ(dialog_.InitialDir, dir_.File("home") + "/");  // nothing stored yet: the home folder
  EXPECT_EQ(Names(), (Paths{dir_.File("a.avi"), dir_.File("b.mpg")}));
  EXPECT_EQ(List().Texts(1), (TSourceCells{"True", dir_.File("b.mpg"), "5 B", "00:00:07", "00:00:00", "00:00:07",
                                         "00:00:07"}));
  EXPECT_EQ(codecPaths_, (Paths{dir_.File("bad1.avi"), dir_.File("bad2.avi")}));
  EXPECT_EQ(spinner, QStringLiteral("Installing File...  /"));
  EXPECT_FALSE(busy.isVisible());
  EXPECT_EQ(controller_->CustomProc()->UserSettings.ReadInitDir(), dir_.Folder());

  // A cancel still shows the busy window, adds nothing and keeps the folder.
  dialog_.Cancel = true;
  emit test::Control<QAbstractButton>(Form(), "btnOpenFile")->clicked();
  EXPECT_EQ(dialog_.Runs, 2);
  EXPECT_EQ(List().Count(), 2);
  EXPECT_EQ(dialog_.InitialDir, dir_.Folder());
  EXPECT_FALSE(busy.isVisible());
}

TEST_F(SourceFilesUi, DropsTakeLocalFilesInOrderAndRefuseTheRest) {
  gui::TSourceListView& view = Form().SourceListView();
  const auto drop = [&](const QList<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(urls);
    // Qt delivers a drop only to the widget that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &enter);
    QDropEvent event(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &event);
    return enter.isAccepted() && event.isAccepted();
  };
  EXPECT_FALSE(drop({QUrl(QStringLiteral("https://example.com/a.avi"))}));
  EXPECT_EQ(List().Count(), 0);
  EXPECT_TRUE(drop({QUrl::fromLocalFile(QString::fromStdString(dir_.File("c.mov"))),
                    QUrl(QStringLiteral("https://example.com/b.avi")),
                    QUrl::fromLocalFile(QString::fromStdString(dir_.File("a.avi")))}));
  EXPECT_EQ(Names(), (Paths{dir_.File("c.mov"), dir_.File("a.avi")}));
  EXPECT_TRUE(dialogs_.messages.empty());
  // A type the list does not take is told, with the others of the drop.
  EXPECT_TRUE(drop({QUrl::fromLocalFile(QString::fromStdString(dir_.File("notes.xyz"))),
                    QUrl::fromLocalFile(QString::fromStdString(dir_.File("e.mkv"))),
                    QUrl::fromLocalFile(QString::fromStdString(dir_.File("a.avi")))}));
  EXPECT_EQ(Names(), (Paths{dir_.File("c.mov"), dir_.File("a.avi"), dir_.File("e.mkv")}));
  EXPECT_EQ(dialogs_.messages, (std::vector<std::string>{"This file was not added to the list:\n\n" +
                                                         dir_.File("notes.xyz") +
                                                         "\n    Files of the type \".xyz\" are not media files "
                                                         "that Tarquel reads.\n"}));
}

TEST_F(SourceFilesUi, CheckBoxesAndModelNotificationsByRange) {
  gui::TSourceListModel& model = ui_->Model();
  QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
  QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
  QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
  AddAll({"a.avi", "b.mpg", "c.mov", "d.wmv"});
  ASSERT_EQ(inserted.count(), 4);
  EXPECT_EQ(inserted.at(3).at(1).toInt(), 3);
  EXPECT_EQ(model.data(model.index(0, dxtrlSourceFileName), Qt::ToolTipRole).toString().toStdString(),
            dir_.File("a.avi"));

  EXPECT_TRUE(model.setData(model.index(2, 0), Qt::Unchecked, Qt::CheckStateRole));
  EXPECT_EQ(List().Cell(2, dxtrlchkCheckStatus), "False");
  EXPECT_TRUE(model.setData(model.index(2, 0), Qt::Checked, Qt::CheckStateRole));
  EXPECT_EQ(List().Cell(2, dxtrlchkCheckStatus), "True");

  List().DeleteRows({3, 0, 1});
  ASSERT_EQ(removed.count(), 2);  // bottom run first, then the run at the top
  EXPECT_EQ(removed.at(0).at(1).toInt(), 3);
  EXPECT_EQ(removed.at(1).at(1).toInt(), 0);
  EXPECT_EQ(removed.at(1).at(2).toInt(), 1);
  EXPECT_EQ(model.rowCount(), 1);
  EXPECT_EQ(reset.count(), 0);
}

TEST_F(SourceFilesUi, RemoveDeleteClearAndDraggingOut) {
  gui::TSourceListView& view = Form().SourceListView();
  AddAll({"a.avi", "b.mpg", "c.mov", "d.wmv"});
  // The view shows the core's selection: after adding, the first row.
  EXPECT_TRUE(view.selectionModel()->isRowSelected(0, {}));

  // Remove the focused third row: the row above takes the focus and the selection.
  view.selectionModel()->setCurrentIndex(view.model()->index(2, 1),
                                         QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  EXPECT_EQ(List().SelectedRows(), std::vector<int>{2});
  emit test::Control<QAbstractButton>(Form(), "btnRemoveFile")->clicked();
  EXPECT_EQ(Names(), (Paths{dir_.File("a.avi"), dir_.File("b.mpg"), dir_.File("d.wmv")}));
  EXPECT_EQ(List().FocusedRow(), 1);
  EXPECT_TRUE(view.selectionModel()->isRowSelected(1, {}));

  QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
  QApplication::sendEvent(&view, &del);
  EXPECT_EQ(Names(), (Paths{dir_.File("a.avi"), dir_.File("d.wmv")}));

  // A drag that ends on the list keeps the rows; one that ends elsewhere removes them.
  view.OnEndDrag(true);
  EXPECT_EQ(List().Count(), 2);
  view.OnEndDrag(false);
  EXPECT_EQ(Names(), (Paths{dir_.File("d.wmv")}));

  AddAll({"b.mpg"});
  emit test::Control<QAbstractButton>(Form(), "btnClearFile")->clicked();
  EXPECT_EQ(List().Count(), 0);
  EXPECT_EQ(view.model()->rowCount(), 0);
}

TEST_F(SourceFilesUi, TimeCellsEditInPlaceAndTheEditIsValidated) {
  gui::TSourceListView& view = Form().SourceListView();
  AddAll({"a.avi"});  // 100 s, selected
  const auto edit = [&](int column, const std::function<void(gui::TTimeEdit&)>& type) {
    const QModelIndex cell = view.model()->index(0, column);
    QAbstractItemDelegate* delegate = view.itemDelegateForColumn(column);
    std::unique_ptr<QWidget> editor(delegate->createEditor(view.viewport(), {}, cell));
    delegate->setEditorData(editor.get(), cell);
    type(*static_cast<gui::TTimeEdit*>(editor.get()));
    delegate->setModelData(editor.get(), view.model(), cell);
    return List().Texts(0);
  };
  // The minutes step under the cursor; an End before the Start is pulled up to it.
  edit(dxtrlSourceFileStartTime, [](gui::TTimeEdit& e) {
    e.SetText(QStringLiteral("00:00:30"));
    e.findChild<QLineEdit*>()->setCursorPosition(4);
    e.stepBy(1);
  });
  EXPECT_EQ(List().Cell(0, dxtrlSourceFileStartTime), "00:01:30");
  EXPECT_EQ(List().Cell(0, dxtrlstclConvertDuration), "00:00:10");
  EXPECT_EQ(edit(dxtrlSourceFileEndTime, [](gui::TTimeEdit& e) { e.SetText(QStringLiteral("00:00:10")); })[5],
            "00:01:30");
  // A Start beyond the Duration: Start and End become the Duration.
  const TSourceCells beyond = edit(dxtrlSourceFileStartTime, [](gui::TTimeEdit& e) { e.SetText(QStringLiteral("00:02:00")); });
  EXPECT_EQ(beyond[4], "00:01:40");
  EXPECT_EQ(beyond[5], "00:01:40");
  EXPECT_EQ(beyond[6], "00:00:00");
  // Zero leaves the cell empty, and an empty End means the Duration.
  EXPECT_EQ(edit(dxtrlSourceFileStartTime, [](gui::TTimeEdit& e) { e.SetSeconds(0); })[4], "00:00:00");
  EXPECT_EQ(edit(dxtrlSourceFileEndTime, [](gui::TTimeEdit& e) { e.SetSeconds(0); })[5], "00:01:40");

  // The handles follow a typed time as soon as the edit ends.
  const TTrimBar& bar = controller_->CustomProc()->TrimBar;
  edit(dxtrlSourceFileStartTime, [](gui::TTimeEdit& e) { e.SetText(QStringLiteral("00:00:50")); });
  edit(dxtrlSourceFileEndTime, [](gui::TTimeEdit& e) { e.SetText(QStringLiteral("00:01:20")); });
  EXPECT_EQ(bar.LeftWidth(), 111);   // 50 of 100 s over the 220-pixel track, plus 1
  EXPECT_EQ(bar.RightWidth(), 45);   // 220 - 80 % of 220, plus 1
  QTest::qWait(50);  // the bar's repaint tick
  EXPECT_EQ(test::Control(Form(), "Splitter1")->x(), 111);
}

}  // namespace
}  // namespace tarquel
