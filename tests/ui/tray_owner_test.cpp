// The hidden main window: the notification-area icon and its menu, the
// double click and "Exit".
#include "ui/qt/tray_owner.h"

#include <gtest/gtest.h>

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include "ui/desktop_test_harness.h"
#include "ui/qt/status_window.h"

namespace orvik::testing {
namespace {

class TrayOwnerTest : public ::testing::Test {
 protected:
  ui::TrayOwner& tray() { return harness_.program().trayOwner(); }
  QWidget& status() { return harness_.program().statusWindow(); }

  DesktopHarness harness_;
};

TEST_F(TrayOwnerTest, IconMenuHasShowBoldHideSeparatorExit) {
  harness_.Start(true);
  EXPECT_EQ(tray().windowTitle(), "Orvik - GPS Time");
  EXPECT_EQ(tray().trayIcon().toolTip(), "GPS Time");
  EXPECT_FALSE(tray().trayIcon().icon().isNull());
  EXPECT_EQ(tray().trayIcon().icon().pixmap(32, 32).size(), QSize(32, 32));
  ASSERT_EQ(tray().trayIcon().contextMenu(), &tray().popupMenu());

  const QList<QAction*> items = tray().popupMenu().actions();
  ASSERT_EQ(items.size(), 4);
  EXPECT_EQ(items[0]->text(), "&Show");
  EXPECT_EQ(items[1]->text(), "&Hide");
  EXPECT_TRUE(items[2]->isSeparator());
  EXPECT_EQ(items[3]->text(), "Exit");
  EXPECT_EQ(tray().popupMenu().defaultAction(), items[0]);
  EXPECT_TRUE(items[0]->font().bold());
  EXPECT_FALSE(items[1]->font().bold());
}

TEST_F(TrayOwnerTest, ShowHideAndDoubleClickActOnTheStatusWindow) {
  harness_.Start(true);
  ASSERT_FALSE(status().isVisible());
  emit tray().trayIcon().activated(QSystemTrayIcon::Trigger);  // a single click
  EXPECT_FALSE(status().isVisible());
  emit tray().trayIcon().activated(QSystemTrayIcon::DoubleClick);
  EXPECT_TRUE(status().isVisible());
  Child<QAction>(tray(), "Hide1").trigger();
  EXPECT_FALSE(status().isVisible());
  Child<QAction>(tray(), "Show1").trigger();
  EXPECT_TRUE(status().isVisible());
}

TEST_F(TrayOwnerTest, SmallMainWindowShowsAtStartAndHidesWhenMinimised) {
  harness_.Start(true);
  harness_.program().ShowAtStart();
  EXPECT_TRUE(tray().isVisible());
  EXPECT_EQ(tray().size(), QSize(120, 1));
  EXPECT_FALSE(status().isVisible()) << "the status window starts hidden";
  tray().showMinimized();
  ASSERT_TRUE(PumpEventsUntil([&] { return !tray().isVisible(); }, std::chrono::seconds(5)));
}

// At log-in the panel with the notification area may come up after the
// program: the program watches for it and moves in when it appears.
TEST_F(TrayOwnerTest, NotificationAreaAppearingLaterGetsTheIcon) {
  bool available = false;
  ui::DesktopProgram& program = harness_.Start(false, [&] { return available; });
  program.ShowAtStart();
  ui::StatusWindow& status_window = program.statusWindow();
  const auto display_tick = [&] { harness_.service().DisplayTick(); };
  QTimer& watch = Child<QTimer>(tray(), "NotificationAreaWatch");
  EXPECT_TRUE(watch.isActive());
  EXPECT_FALSE(tray().trayIcon().isVisible());
  Tick(watch);
  for (int tick = 0; tick < 3; ++tick) display_tick();
  EXPECT_TRUE(status_window.isVisible()) << "without an icon the window stays";
  EXPECT_FALSE(program.HasNotificationArea());

  available = true;
  Tick(watch);
  EXPECT_TRUE(tray().trayIcon().isVisible());
  EXPECT_FALSE(watch.isActive()) << "found: no more looking";
  EXPECT_TRUE(program.HasNotificationArea());
  // As at a start with a notification area: the window hides itself on the
  // second display tick, and its close box hides it from then on.
  display_tick();
  EXPECT_TRUE(status_window.isVisible());
  display_tick();
  EXPECT_FALSE(status_window.isVisible());
  Child<QAction>(tray(), "Show1").trigger();
  status_window.close();
  EXPECT_FALSE(status_window.isVisible());
  EXPECT_EQ(harness_.quits(), 0);
  EXPECT_TRUE(harness_.service().AcquisitionRunning());
}

TEST_F(TrayOwnerTest, ExitStopsTheAcquisitionAndEndsTheProgram) {
  harness_.Start(true);
  ASSERT_TRUE(harness_.service().AcquisitionRunning());
  Child<QAction>(tray(), "Exit1").trigger();
  EXPECT_EQ(harness_.quits(), 0) << "the loop ends once the acquisition has stopped";
  ASSERT_TRUE(PumpEventsUntil([&] { return harness_.quits() == 1; }));
  EXPECT_FALSE(harness_.service().AcquisitionRunning());
  Child<QAction>(tray(), "Exit1").trigger();
  ASSERT_TRUE(harness_.UntilIdle());
  EXPECT_EQ(harness_.quits(), 1) << "once";
}

}  // namespace
}  // namespace orvik::testing
