// The main window for screen readers and keyboards, and on the desktop:
// every control has a name, Tab walks the controls with the power-off box
// last, Space and Enter click a focused button and its focus shows, the
// window grows with the list taking the room and never opens off its
// screen, and a click on the codec link opens the address.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSizeGrip>
#include <QTest>

#include "ExternalLinks.h"
#include "ImageButton.h"
#include "ShellFixture.h"
#include "SourceListView.h"
#include "Unit_Convert.h"
#include "WindowPlacement.h"

namespace tarquel {
namespace {

QString SpokenName(QWidget* widget) {
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(widget);
  return a ? a->text(QAccessible::Name) : QStringLiteral("(none)");
}

void ShowActive(QWidget& window) {
  window.show();
  window.activateWindow();
  for (int i = 0; i < 200 && !window.isActiveWindow(); ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST(Desktop, EveryControlHasAName) {
  gui::TFrmMainForm f;
  const std::pair<const char*, const char*> names[] = {
      {"btnWindowMinimize", "Minimize"}, {"btnWindowClose", "Close"}, {"btnHomePage", "Home page"},
      {"btnEMail", "E-mail"},            {"btnHelp", "Help"},         {"btnAbout", "About"},
      {"btnPlay", "Play"},               {"btnPause", "Pause"},       {"btnStop", "Stop"},
      {"btnOpenFile", "Add Files"},      {"btnConvert", "Convert"},   {"RzBmpButton1", "Browse"},
      {"chkShutdown", "Shutdown computer when job is finished."},
      {"chkShowOutputDirectory", "Show output directory when done"},
      {"cbbProfile", "Profile Settings"},
      {"Label3", "Click here to download the coder"},
  };
  for (const auto& [control, name] : names) {
    EXPECT_EQ(SpokenName(test::Control(f, control)), QString::fromUtf8(name)) << name;
  }
  QAccessibleInterface* play = QAccessible::queryAccessibleInterface(test::Control(f, "btnPlay"));
  EXPECT_EQ(play->role(), QAccessible::Button);
  EXPECT_EQ(play->text(QAccessible::Description), QStringLiteral("Ctrl + P"));  // the hint
}

TEST(Desktop, TabWalksTheControlsWithThePowerOffBoxLastAndKeysClickAFocusedButton) {
  gui::TFrmMainForm f;
  ShowActive(f);  // the list has the focus first
  std::vector<std::string> walked;
  for (int i = 0; i < 23; ++i) {
    walked.push_back(QApplication::focusWidget()->objectName().toStdString());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  const std::vector<std::string> expected = {
      "dxTreeSourceFileInfo", "btnOpenFile", "btnRemoveFile", "btnClearFile", "cbbOutputFiletype", "cbbProfile",
      "btnOptions", "edtOutputFolder", "RzBmpButton1", "chkShowOutputDirectory", "btnConvert", "btnPlay", "btnPause",
      "btnStop", "Label3", "btnHomePage", "btnEMail", "btnHelp", "btnAbout", "btnWindowMinimize", "btnWindowClose",
      "chkShutdown", "dxTreeSourceFileInfo"};
  EXPECT_EQ(walked, expected);
  // After a batch (the window disabled and enabled again) the focus is
  // back at the start of the order, not at the first button made.
  QWidget* const list = &f.SourceListView();
  test::Control(f, "btnConvert")->setFocus(Qt::TabFocusReason);
  f.setEnabled(false);
  f.setEnabled(true);
  EXPECT_EQ(QApplication::focusWidget(), list);
  QApplication::focusWidget()->clearFocus();
  QTest::keyClick(&f, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), list);

  // The focus shows on the button, and Space and Enter click it.
  auto* const options = test::Control<gui::TImageButton>(f, "btnOptions");
  const QImage unfocused = options->grab().toImage();
  options->setFocus(Qt::TabFocusReason);
  EXPECT_NE(options->grab().toImage(), unfocused);
  int clicks = 0;
  QObject::connect(options, &QAbstractButton::clicked, [&] { ++clicks; });
  QTest::keyClick(options, Qt::Key_Space);
  QTest::keyClick(options, Qt::Key_Return);
  QTest::keyClick(options, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(clicks, 3);
  EXPECT_FALSE(test::Control<QCheckBox>(f, "chkShutdown")->isChecked());
}

TEST(Desktop, TheWindowStaysOnItsScreenAndGrowsWithTheList) {
  const QRect screen(0, 0, 1280, 1000);
  const struct {
    QRect window, placed;
  } rows[] = {
      {{297, 240, 686, 519}, {297, 240, 686, 519}},   // fits: stays
      {{297, -19, 686, 1038}, {297, 0, 686, 1038}},   // taller than the screen: its top on the screen
      {{-40, 700, 686, 519}, {0, 481, 686, 519}},     // over the left and bottom edges: moved in
      {{900, 100, 1372, 519}, {0, 100, 1372, 519}},   // wider: at the left edge
      {{1000, 50, 686, 519}, {594, 50, 686, 519}},    // over the right edge
  };
  for (const auto& row : rows) EXPECT_EQ(gui::PlaceOnScreen(row.window, screen), row.placed) << row.window.x();
  EXPECT_EQ(gui::PlaceOnScreen({0, 0, 100, 100}, {50, 30, 800, 600}), QRect(50, 30, 100, 100));  // a panel on top

  gui::TFrmMainForm f;
  f.show();
  QWidget *const listView = &f.SourceListView(), *const convertButton = test::Control(f, "btnConvert");
  QWidget* const grip = test::Control<QSizeGrip>(f, "SizeGrip");
  const QRect list = listView->geometry(), convert = convertButton->geometry();
  f.resize(1200, 800);
  EXPECT_EQ(f.size(), QSize(1200, 800));
  EXPECT_EQ(listView->geometry(), list.adjusted(0, 0, 514, 281));
  EXPECT_EQ(convertButton->geometry(), convert.translated(514, 281));
  EXPECT_TRUE(f.mask().contains(QPoint(1190, 760)));
  EXPECT_TRUE(grip->isVisible());
  EXPECT_TRUE(f.mask().contains(grip->geometry().center()));
  f.resize(300, 200);
  EXPECT_EQ(f.size(), QSize(686, 519));
  EXPECT_EQ(listView->geometry(), list);
}

using Link = test::ShellFixture;

// A press on the link used to start a window move, so its release never
// reached the link.
TEST_F(Link, TheCodecLinkOpensTheAddressWhenClickedOrKeyed) {
  MakeProgramFolder({"Res.dll", "Form.dll"});
  auto c = Controller();
  gui::TFrmMainForm& f = c->MainForm();
  ShowActive(f);
  QWidget* const link = test::Control(f, "Label3");
  QTest::mouseClick(link, Qt::LeftButton, Qt::NoModifier, QPoint(10, 5));
  EXPECT_EQ(services_.browsed, std::vector<std::string>{kCodecDownloadAddress});
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
  link->setFocus(Qt::TabFocusReason);
  QTest::keyClick(link, Qt::Key_Space);
  EXPECT_EQ(services_.browsed.size(), 2u);
}

}  // namespace
}  // namespace tarquel
