// The status window: its look, what the service's display and communication
// ticks show in it with their warnings and beeps, "Sound Off", the menu and
// how it follows the start-ups.
#include "ui/qt/status_window.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/receiver_commands.h"
#include "ui/desktop_test_harness.h"

namespace orvik::testing {
namespace {

class StatusWindowTest : public ::testing::Test {
 protected:
  ui::StatusWindow& window() { return harness_.program().statusWindow(); }
  QLabel& label(const char* name) { return Child<QLabel>(window(), name); }
  service::DisplayState& display() { return harness_.service().shared().display; }
  // The service's periods, run by hand (the harness's service never runs them itself).
  void DisplayTick() { harness_.service().DisplayTick(); }
  void CommunicationTick() { harness_.service().CommunicationTick(); }

  DesktopHarness harness_;
};

TEST_F(StatusWindowTest, LooksAsSpecifiedBeforeAnyMessage) {
  harness_.Start();
  EXPECT_EQ(window().windowTitle(), "Orvik - GPS Time");
  EXPECT_EQ(window().centralWidget()->height(), 86);
  EXPECT_GE(window().centralWidget()->width(), 294);
  EXPECT_EQ(window().pos(), QPoint(209, 187));

  QLabel& warning = label("Label3");
  EXPECT_EQ(warning.text(), "No communication!");
  EXPECT_TRUE(warning.isHidden());
  EXPECT_EQ(warning.font().family(), "Arial");
  EXPECT_TRUE(warning.font().bold());
  EXPECT_EQ(warning.font().pixelSize(), 16);
  EXPECT_EQ(warning.palette().color(QPalette::WindowText), QColor(255, 0, 0));

  struct Expected {
    const char* name;
    QPoint position;
    const char* text;
    int pixel_size;
  };
  // The date and the counts stand at their places or, where the font needs
  // it, further right (see TextsShowOnTheDisplayTickAndTheTimeStaysClearOfTheDate).
  for (const Expected& e :
       {Expected{"Label5", {4, 26}, "Time", 19}, Expected{"Label7", {108, 26}, "Date", 19},
        Expected{"Label8", {4, 58}, "Tracked satellites:", 16},
        Expected{"Label6", {171, 56}, "0 / 0", 16}}) {
    QLabel& shown = label(e.name);
    EXPECT_GE(shown.x(), e.position.x()) << e.name;
    EXPECT_LE(shown.x(), e.position.x() + 16) << e.name;
    EXPECT_EQ(shown.y(), e.position.y()) << e.name;
    EXPECT_EQ(shown.text(), e.text) << e.name;
    EXPECT_EQ(shown.font().pixelSize(), e.pixel_size) << e.name;
    EXPECT_TRUE(shown.font().bold()) << e.name;
    EXPECT_FALSE(shown.isHidden()) << e.name;
  }

  QLabel& bar = label("Image1");
  EXPECT_EQ(bar.geometry(), QRect(label("Label6").x() - 1, 73, 41, 7)) << "under the counts";
  EXPECT_TRUE(bar.isHidden());
  const QImage picture = ui::StatusWindow::NoSatellitePicture().toImage();
  ASSERT_EQ(picture.size(), QSize(38, 6));
  EXPECT_EQ(picture.pixelColor(0, 0), QColor(255, 0, 0));  // the lone red pixel
  EXPECT_EQ(picture.pixelColor(1, 0), QColor(192, 192, 192));
  EXPECT_EQ(picture.pixelColor(37, 1), QColor(192, 192, 192));
  for (int row = 2; row <= 4; ++row) {
    EXPECT_EQ(picture.pixelColor(0, row), QColor(255, 0, 0)) << row;
    EXPECT_EQ(picture.pixelColor(37, row), QColor(255, 0, 0)) << row;
  }
  EXPECT_EQ(picture.pixelColor(20, 5), QColor(192, 192, 192));

  QPushButton& button = Child<QPushButton>(window(), "Button1");
  EXPECT_EQ(button.text(), "Sound Off");
  EXPECT_EQ(button.geometry(), QRect(231, 6, 60, 20));

  EXPECT_TRUE(harness_.service().DisplayTickRunning()) << "the start-up completed";
}

TEST_F(StatusWindowTest, MenuHasTheCommandsSetupConnectionsAndAbout) {
  harness_.Start();
  QStringList titles;
  for (QAction* action : window().menuBar()->actions()) titles << action->text();
  EXPECT_EQ(titles, QStringList({"Commands to GPS", "Setup", "Connections", "About"}));
  QStringList commands;
  for (QAction* action : Child<QMenu>(window(), "Seadmine1").actions()) commands << action->text();
  EXPECT_EQ(commands, QStringList({"GMT difference", "Time transm. interval"}));
  QStringList setup;
  for (QAction* action : Child<QMenu>(window(), "Seaded1").actions()) setup << action->text();
  EXPECT_EQ(setup, QStringList({"Setup parameters"}));
}

TEST_F(StatusWindowTest, MenuEntriesShowTheirWindows) {
  harness_.Start();
  struct Entry {
    const char* action;
    QWidget* window;
  };
  for (const Entry& e : {Entry{"Parameetrid1", &harness_.program().setupDialog()},
                         Entry{"Programmist1", &harness_.program().connectionsWindow()},
                         Entry{"About1", &harness_.program().aboutWindow()}}) {
    EXPECT_FALSE(e.window->isVisible()) << e.action;
    Child<QAction>(window(), e.action).trigger();
    EXPECT_TRUE(e.window->isVisible()) << e.action;
  }
}

TEST_F(StatusWindowTest, TextsShowOnTheDisplayTickAndTheTimeStaysClearOfTheDate) {
  harness_.Start();
  display().Show({{"?23:59:53?", "31.12.2026", "0 / 12"}});
  EXPECT_EQ(label("Label5").text(), "Time");
  DisplayTick();
  EXPECT_EQ(label("Label5").text(), "?23:59:53?");
  EXPECT_EQ(label("Label7").text(), "31.12.2026");
  EXPECT_EQ(label("Label6").text(), "0 / 12");
  const QRect time = label("Label5").geometry();
  const QRect date = label("Label7").geometry();
  EXPECT_GE(time.width(), label("Label5").sizeHint().width()) << "the whole time is shown";
  EXPECT_LT(time.right() + 4, date.left()) << "a gap between time and date";
  EXPECT_LE(date.right(), window().centralWidget()->width()) << "the date fits the window";
  EXPECT_LT(label("Label8").geometry().right(), label("Label6").x());
}

// Under the satellite counts, in a red that reads on the palette's window
// colour, while the clock keeping reports a problem; gone when it ends.
TEST_F(StatusWindowTest, ClockKeepingProblemShowsUnderTheCountsWhileItLasts) {
  harness_.Start();
  QLabel& line = label("ClockKeepingProblem");
  DisplayTick();
  EXPECT_TRUE(line.isHidden());
  EXPECT_EQ(window().centralWidget()->height(), 86);

  const std::string problem = "PC clock not set: no time privilege";
  harness_.service().shared().clock_keeping.SetProblem(problem);
  DisplayTick();
  EXPECT_FALSE(line.isHidden());
  EXPECT_EQ(line.text().toStdString(), problem);
  EXPECT_GE(line.y(), label("Image1").geometry().bottom());
  EXPECT_LE(line.geometry().bottom(), window().centralWidget()->height());
  EXPECT_GE(line.height(), line.heightForWidth(line.width())) << "no line cut off";

  for (const QColor& background : {QColor(239, 239, 239), QColor(53, 53, 53)}) {
    QPalette palette = window().palette();
    palette.setColor(QPalette::Window, background);
    window().setPalette(palette);
    const QColor text = line.palette().color(QPalette::WindowText);
    EXPECT_GE(std::abs(text.lightness() - background.lightness()), 100)
        << background.name().toStdString();
    EXPECT_GT(text.red(), text.green()) << "a red";
  }

  harness_.service().shared().clock_keeping.SetProblem("");
  DisplayTick();
  EXPECT_TRUE(line.isHidden());
  EXPECT_EQ(window().centralWidget()->height(), 86);
}

// The decisions are StatusDisplay's (see its tests); here they reach the window.
TEST_F(StatusWindowTest, WarningBarAndBeepComeAndGoWithEachPeriod) {
  harness_.Start();
  CommunicationTick();  // silent from the start
  EXPECT_FALSE(label("Label3").isHidden());
  EXPECT_TRUE(label("Image1").isHidden());
  display().DataSeenFlag = true;
  display().NoSatFlag = true;
  CommunicationTick();
  EXPECT_TRUE(label("Label3").isHidden());
  EXPECT_FALSE(label("Image1").isHidden());
  display().NoSatFlag = false;
  CommunicationTick();  // nothing accepted during this period
  EXPECT_FALSE(label("Label3").isHidden());
  EXPECT_TRUE(label("Image1").isHidden());
  EXPECT_EQ(harness_.beeps(), 3);

  // "Sound Off" silences the beeps for good, a restart included.
  Child<QPushButton>(window(), "Button1").click();
  EXPECT_FALSE(window().SoundOn());
  ASSERT_TRUE(harness_.Restart().ok());
  CommunicationTick();
  EXPECT_FALSE(label("Label3").isHidden());
  EXPECT_EQ(harness_.beeps(), 3);
}

TEST_F(StatusWindowTest, CommandsMenuFollowsTheProtocolOfEachLoad) {
  core::Settings settings;
  settings.Protocol = core::kProtocolMotorolaM12;
  harness_.SetParameterFile(settings);
  harness_.Start();
  QAction* commands = Child<QMenu>(window(), "Seadmine1").menuAction();
  EXPECT_TRUE(commands->isEnabled());

  settings.Protocol = core::kProtocolNmea9600;
  harness_.SetParameterFile(settings);
  ASSERT_TRUE(harness_.Restart().ok());
  EXPECT_FALSE(commands->isEnabled());

  settings.Protocol = core::kProtocolMotorolaOncore;
  harness_.SetParameterFile(settings);
  ASSERT_TRUE(harness_.Restart().ok());
  EXPECT_TRUE(commands->isEnabled());
}

TEST_F(StatusWindowTest, CommandTheReceiverCannotTakeIsToldToTheOperator) {
  core::Settings settings;
  settings.Protocol = core::kProtocolMotorolaOncore;
  settings.GmtHoursText = "300";
  settings.TransmitIntervalText = "300";
  harness_.SetParameterFile(settings);
  harness_.Start();
  ASSERT_TRUE(harness_.reports().empty()) << "the start-up drops the offset command silently";
  const std::string offset_refusal =
      core::GmtOffsetFieldsFor(harness_.service().settings(), harness_.service().SummerInEffect())
          .status()
          .message();
  const std::string interval_refusal =
      core::ComposeIntervalCommand(harness_.service().settings()).status().message();
  ASSERT_FALSE(offset_refusal.empty());
  ASSERT_FALSE(interval_refusal.empty());

  Child<QAction>(window(), "GMT_offset").trigger();
  Child<QAction>(window(), "Continuous_1s").trigger();
  ASSERT_EQ(harness_.reports().size(), 2u);
  EXPECT_EQ(harness_.reports()[0].toStdString(), offset_refusal);
  EXPECT_EQ(harness_.reports()[1].toStdString(), interval_refusal);
  EXPECT_EQ(harness_.service().shared().command.CommandLength(), 0u);
}

TEST_F(StatusWindowTest, FailedStartKeepsTheDisplayTickOffUntilAStartCompletes) {
  core::Settings settings;
  settings.PortNumberText = "1x";
  harness_.SetParameterFile(settings);
  harness_.Start();
  ASSERT_EQ(harness_.reports().size(), 1u);
  EXPECT_EQ(harness_.reports()[0], "'1x' is not a valid integer value");
  EXPECT_FALSE(harness_.service().DisplayTickRunning());
  EXPECT_FALSE(harness_.service().AcquisitionRunning());

  // The watchdog's restart fails the same way and says so again.
  harness_.service().shared().lifecycle.LoopHeartbeat = true;
  harness_.service().WatchdogTick();
  ASSERT_TRUE(harness_.UntilIdle());
  ASSERT_EQ(harness_.reports().size(), 2u);
  EXPECT_FALSE(harness_.service().DisplayTickRunning());

  EXPECT_TRUE(harness_.withdrawals().empty());

  // Once the cause is gone, the next restart completes, the display runs
  // and the error shown is taken back.
  settings.PortNumberText = "1";
  harness_.SetParameterFile(settings);
  harness_.service().shared().lifecycle.LoopHeartbeat = true;
  harness_.service().WatchdogTick();
  ASSERT_TRUE(harness_.UntilIdle());
  EXPECT_EQ(harness_.reports().size(), 2u);
  EXPECT_TRUE(harness_.service().AcquisitionRunning());
  EXPECT_TRUE(harness_.service().DisplayTickRunning());
  EXPECT_EQ(harness_.withdrawals(), std::vector<QString>{"'1x' is not a valid integer value"});
}

TEST_F(StatusWindowTest, CloseBoxHidesOrEndsTheProgramWithoutANotificationArea) {
  {
    DesktopHarness harness;
    ui::DesktopProgram& program = harness.Start(true);
    program.statusWindow().show();
    program.statusWindow().close();
    EXPECT_FALSE(program.statusWindow().isVisible());
    EXPECT_EQ(harness.quits(), 0);
    EXPECT_TRUE(harness.service().AcquisitionRunning());
  }
  {
    DesktopHarness harness;
    ui::DesktopProgram& program = harness.Start(false);
    program.ShowAtStart();
    EXPECT_TRUE(program.statusWindow().isVisible());
    program.statusWindow().close();
    EXPECT_TRUE(PumpEventsUntil([&] { return harness.quits() == 1; })) << "once stopped";
    EXPECT_FALSE(harness.service().AcquisitionRunning());
  }
}

}  // namespace
}  // namespace orvik::testing
