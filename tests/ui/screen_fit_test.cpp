// The windows on a small screen: where a window is moved to stay on it, and
// every window of the program shown on the screen the test runs on. The
// ctest entry orvik_ui_small_screen runs these on a 1024 x 600 screen at a
// scale factor of 2 (512 x 300 units: less than the setup dialog's height).
#include "ui/qt/screen_fit.h"

#include <gtest/gtest.h>

#include <QScreen>
#include <QTest>

#include "ui/desktop_test_harness.h"
#include "ui/qt/masked_edit.h"

namespace orvik::testing {
namespace {

TEST(ScreenFitTest, PositionKeepsTheFrameInsideTheArea) {
  struct Case {
    const char* legend;
    QRect available;
    QRect frame;
    QPoint expected;
  };
  const QRect screen(0, 0, 512, 384);
  for (const Case& c : {
           Case{"fits", screen, {209, 187, 298, 130}, {209, 187}},
           Case{"runs off the right", screen, {248, 221, 356, 162}, {156, 221}},
           Case{"runs off the bottom", screen, {10, 300, 100, 100}, {10, 284}},
           Case{"before the top left", screen, {-20, -5, 100, 100}, {0, 0}},
           Case{"larger than the area", screen, {100, 50, 600, 400}, {0, 0}},
           Case{"a panel on the left and the top", {40, 28, 472, 356}, {0, 0, 100, 100}, {40, 28}},
       }) {
    EXPECT_EQ(ui::PositionOnScreen(c.frame, c.available), c.expected) << c.legend;
  }
}

TEST(ScreenFitTest, EveryWindowShownLiesOnTheScreen) {
  DesktopHarness harness;
  ui::DesktopProgram& program = harness.Start(false);
  program.ShowAtStart();
  ui::SetupDialog& setup = program.setupDialog();
  for (QWidget* window :
       {static_cast<QWidget*>(&program.statusWindow()), static_cast<QWidget*>(&setup),
        static_cast<QWidget*>(&program.connectionsWindow()),
        static_cast<QWidget*>(&program.aboutWindow())}) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window, 2000));
    const QRect available = window->screen()->availableGeometry();
    const QRect frame = window->frameGeometry();
    EXPECT_TRUE(available.contains(frame))
        << window->objectName().toStdString() << " at " << frame.x() << "," << frame.y() << " "
        << frame.width() << "x" << frame.height() << " on " << available.width() << "x"
        << available.height();
  }

  // Tab reaches the last field of the setup dialog and brings it into view.
  setup.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&setup, 2000));
  Child<ui::MaskedEdit>(setup, "MaskEdit7").setFocus(Qt::TabFocusReason);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  ui::MaskedEdit& last = Child<ui::MaskedEdit>(setup, "MaskEdit8");
  ASSERT_TRUE(last.hasFocus());
  EXPECT_TRUE(setup.rect().contains(QRect(last.mapTo(&setup, QPoint(0, 0)), last.size())));
}

}  // namespace
}  // namespace orvik::testing
