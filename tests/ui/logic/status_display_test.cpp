// What the status window shows and decides, without a window.
#include "ui/logic/status_display.h"

#include <gtest/gtest.h>

#include <string>

namespace orvik::testing {
namespace {

using ui::CommunicationTickResult;
using ui::DisplayTickResult;
using ui::StatusDisplay;

TEST(StatusDisplayTest, CommunicationTickFollowsTheFlagsOfItsPeriod) {
  struct Case {
    const char* legend;
    bool data_seen, no_satellite, sound_disabled, sound_off_pressed;
    bool warning_shown, bar_shown, beep;
  };
  for (const Case& c : {
           Case{"receiving, satellites tracked", true, false, false, false, false, false, false},
           Case{"silent receiver", false, false, false, false, true, false, true},
           Case{"no satellite", true, true, false, false, false, true, true},
           Case{"silent, no satellite: one beep", false, true, false, false, true, true, true},
           Case{"sound disabled in the settings", false, true, true, false, true, true, false},
           Case{"sound off pressed", false, false, false, true, true, false, false},
       }) {
    SCOPED_TRACE(c.legend);
    service::SharedState shared;
    StatusDisplay display(shared, false);
    if (c.sound_off_pressed) display.SoundOff();
    shared.display.DataSeenFlag = c.data_seen;
    shared.display.NoSatFlag = c.no_satellite;
    const CommunicationTickResult tick = display.CommunicationTick(c.sound_disabled);
    EXPECT_EQ(tick.no_communication, c.warning_shown);
    EXPECT_EQ(tick.no_satellite, c.bar_shown);
    EXPECT_EQ(tick.beep, c.beep);
    EXPECT_FALSE(shared.display.DataSeenFlag) << "cleared for the next period";
    EXPECT_TRUE(display.CommunicationTick(c.sound_disabled).no_communication)
        << "nothing accepted during the next period";
  }
}

TEST(StatusDisplayTest, TextsAreTakenOncePerPublicationWithTheWarningLine) {
  service::SharedState shared;
  StatusDisplay display(shared, false);
  shared.display.Show({{"12:34:56", "8.12.2026", "5 / 9"}});
  shared.clock_keeping.SetProblem("PC clock not set: no time privilege");
  const DisplayTickResult tick = display.DisplayTick(false);
  ASSERT_TRUE(tick.texts);
  EXPECT_EQ(*tick.texts, (core::DisplayTexts{"12:34:56", "8.12.2026", "5 / 9"}));
  EXPECT_EQ(tick.warning_lines, "PC clock not set: no time privilege");
  EXPECT_FALSE(shared.display.NewDisplayFlag);

  EXPECT_FALSE(display.DisplayTick(false).texts) << "new texts wait for the flag";
  shared.display.NewDisplayFlag = true;  // a summer/zone switch takes the whole tick
  EXPECT_TRUE(display.DisplayTick(true).skipped);
  EXPECT_TRUE(shared.display.NewDisplayFlag);
}

TEST(StatusDisplayTest, WarningLineHasOneLinePerProblemAndGoesWithThem) {
  const std::string port = "COM3: no such port";
  const std::string clock = "PC clock not set: no time privilege";
  const std::string lan = "TCP service full: 4096 connections; new clients refused";
  struct Case {
    std::string port_problem, clock_problem, lan_problem, shown;
  };
  service::SharedState shared;
  StatusDisplay display(shared, false);
  for (const Case& c : {Case{"", clock, lan, clock + "\n" + lan}, Case{"", "", lan, lan},
                        Case{"", clock, "", clock}, Case{"", "", "", ""},
                        Case{port, clock, "", port + "\n" + clock}, Case{port, "", "", port}}) {
    shared.receiver_port.SetProblem(c.port_problem);
    shared.clock_keeping.SetProblem(c.clock_problem);
    shared.lan_service.SetProblem(c.lan_problem);
    EXPECT_EQ(display.DisplayTick(false).warning_lines, c.shown);
  }
}

TEST(StatusDisplayTest, WindowsHideOnTheSecondTickOnlyWithANotificationArea) {
  for (const bool notification_area : {true, false}) {
    SCOPED_TRACE(notification_area ? "notification area" : "none");
    service::SharedState shared;
    StatusDisplay display(shared, notification_area);
    EXPECT_EQ(display.CloseEndsProgram(), !notification_area);
    EXPECT_FALSE(display.DisplayTick(true).hide_windows) << "a switch tick does not count";
    EXPECT_FALSE(display.DisplayTick(false).hide_windows);
    EXPECT_EQ(display.DisplayTick(false).hide_windows, notification_area);
    for (int tick = 0; tick < 3; ++tick) {
      EXPECT_FALSE(display.DisplayTick(false).hide_windows) << "never re-armed";
    }
  }
}

TEST(StatusDisplayTest, StartupErrorIsTakenBackOnceByTheNextCompletedStart) {
  service::SharedState shared;
  StatusDisplay display(shared, false);
  EXPECT_EQ(display.StartupCompleted(), "");
  display.StartupFailed("'1x' is not a valid integer value");
  display.StartupFailed("Division by zero");
  EXPECT_EQ(display.StartupCompleted(), "Division by zero") << "the one shown last";
  EXPECT_EQ(display.StartupCompleted(), "");
}

}  // namespace
}  // namespace orvik::testing
