// What the status window shows and decides of the service's snapshots,
// without a window.
#include "ui/logic/status_display.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvik::testing {
namespace {

using service::StatusSnapshot;
using ui::CommunicationTickResult;
using ui::DisplayTickResult;
using ui::StatusDisplay;

TEST(StatusDisplayTest, CommunicationSnapshotDecidesWarningBarAndBeep) {
  struct Case {
    const char* legend;
    bool receiving, no_satellites, sound_disabled, sound_off_pressed;
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
    int beeps = 0;
    const ui::StatusWindowHooks hooks{.sound_disabled = [&] { return c.sound_disabled; },
                                      .beep = [&] { ++beeps; }};
    StatusDisplay display(hooks);
    if (c.sound_off_pressed) display.SoundOff();
    const CommunicationTickResult tick =
        display.CommunicationTick(StatusSnapshot{.tick = StatusSnapshot::Tick::kCommunication,
                                                 .communication_checked = true,
                                                 .receiving = c.receiving,
                                                 .no_satellites = c.no_satellites});
    EXPECT_EQ(tick.no_communication, c.warning_shown);
    EXPECT_EQ(tick.no_satellite, c.bar_shown);
    EXPECT_EQ(beeps, c.beep ? 1 : 0);
  }
}

// The hooks of a window without a notification area, beeping nowhere.
const ui::StatusWindowHooks kQuietHooks{.notification_area = false};

TEST(StatusDisplayTest, TextsAreShownOnlyWhenNew) {
  StatusDisplay display(kQuietHooks);
  const core::DisplayTexts texts{"12:34:56", "8.12.2026", "5 / 9"};
  const DisplayTickResult fresh = display.DisplayTick({.texts = texts, .new_texts = true});
  ASSERT_TRUE(fresh.texts);
  EXPECT_EQ(*fresh.texts, texts);
  EXPECT_FALSE(display.DisplayTick({.texts = texts, .new_texts = false}).texts);
}

TEST(StatusDisplayTest, WarningLineHasOneLinePerProblemAndGoesWithThem) {
  const std::string port = "COM3: no such port";
  const std::string clock = "PC clock not set: no time privilege";
  const std::string lan = "TCP service full: 4096 connections; new clients refused";
  struct Case {
    std::string port_problem, clock_problem, lan_problem, shown;
  };
  StatusDisplay display(kQuietHooks);
  for (const Case& c : {Case{"", clock, lan, clock + "\n" + lan}, Case{"", "", lan, lan},
                        Case{"", clock, "", clock}, Case{"", "", "", ""},
                        Case{port, clock, "", port + "\n" + clock}, Case{port, "", "", port}}) {
    EXPECT_EQ(display
                  .DisplayTick({.receiver_port_problem = c.port_problem,
                                .clock_problem = c.clock_problem,
                                .lan_problem = c.lan_problem})
                  .warning_lines,
              c.shown);
  }
}

TEST(StatusDisplayTest, WindowsHideOnTheSecondTickOnlyWithANotificationArea) {
  for (const bool notification_area : {true, false}) {
    SCOPED_TRACE(notification_area ? "notification area" : "none");
    const ui::StatusWindowHooks hooks{.notification_area = notification_area};
    StatusDisplay display(hooks);
    EXPECT_EQ(display.CloseEndsProgram(), !notification_area);
    EXPECT_FALSE(display.DisplayTick({}).hide_windows);
    EXPECT_EQ(display.DisplayTick({}).hide_windows, notification_area);
    for (int tick = 0; tick < 3; ++tick) {
      EXPECT_FALSE(display.DisplayTick({}).hide_windows) << "never re-armed";
    }
  }
}

TEST(StatusDisplayTest, StartupErrorIsTakenBackOnceByTheNextCompletedStart) {
  std::vector<std::string> reported, withdrawn;
  const ui::StatusWindowHooks hooks{
      .report = [&](const std::string& message) { reported.push_back(message); },
      .withdraw = [&](const std::string& message) { withdrawn.push_back(message); }};
  StatusDisplay display(hooks);
  display.StartupCompleted();
  display.StartupFailed("'1x' is not a valid integer value");
  display.StartupFailed("Division by zero");
  display.StartupCompleted();
  display.StartupCompleted();
  EXPECT_EQ(reported.size(), 2u);
  EXPECT_EQ(withdrawn, std::vector<std::string>{"Division by zero"}) << "the one shown last, once";
}

}  // namespace
}  // namespace orvik::testing
