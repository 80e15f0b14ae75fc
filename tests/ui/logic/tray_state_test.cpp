// What the notification icon says and where its menu opens, without a window.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "service/status_snapshot.h"
#include "ui/logic/popup_alignment.h"
#include "ui/logic/status_display.h"
#include "ui/logic/tray_tip.h"

namespace orvik::testing {
namespace {

TEST(TrayTipTest, NamesTheStateOfTheLatestSnapshot) {
  using Tick = service::StatusSnapshot::Tick;
  const auto snapshot = [](Tick tick, bool receiving, std::string clock_problem) {
    return service::StatusSnapshot{.tick = tick,
                                   .communication_checked = true,
                                   .receiving = receiving,
                                   .clock_problem = std::move(clock_problem)};
  };
  std::vector<std::string> told;
  const ui::StatusWindowHooks hooks{
      .tip_changed = [&](const std::string& tip) { told.push_back(tip); }};
  ui::StatusDisplay display(hooks);
  EXPECT_EQ(display.TrayTip(), "GPS Time") << "nothing checked yet";
  (void)display.DisplayTick(service::StatusSnapshot{});
  EXPECT_EQ(display.TrayTip(), "GPS Time") << "no communication period has ended yet";

  (void)display.CommunicationTick(snapshot(Tick::kCommunication, true, ""));
  EXPECT_EQ(display.TrayTip(), "GPS Time: receiving, clock kept");

  const std::string no_privilege = "PC clock not set: no time privilege";
  (void)display.DisplayTick(snapshot(Tick::kDisplay, true, no_privilege));
  EXPECT_EQ(display.TrayTip(), "GPS Time: " + no_privilege);

  (void)display.CommunicationTick(snapshot(Tick::kCommunication, false, no_privilege));
  EXPECT_EQ(display.TrayTip(), "GPS Time: No communication!") << "silence outweighs the clock";

  display.SetClockKeeper("the service keeps the clock");
  (void)display.DisplayTick(snapshot(Tick::kDisplay, true, ""));
  EXPECT_EQ(display.TrayTip(), "GPS Time: receiving, the service keeps the clock");
  EXPECT_EQ(told.size(), 5u) << "each change told once";
}

TEST(TrayTipTest, ALongProblemIsCutToWhatTheShellTakes) {
  const std::string problem = "PC clock not set: " + std::string(200, 'x');
  const std::string tip = ui::TrayTipFor(true, true, problem);
  EXPECT_EQ(tip.size(), ui::kTrayTipLength);
  EXPECT_EQ(tip.substr(0, 28), "GPS Time: PC clock not set: ");
  EXPECT_EQ(tip.substr(tip.size() - 3), "...");
  const std::string fits(ui::kTrayTipLength - 10, 'y');  // with "GPS Time: ", exactly the limit
  EXPECT_EQ(ui::TrayTipFor(true, true, fits), "GPS Time: " + fits);
}

TEST(PopupAlignmentTest, OpensTowardsTheMiddleOfTheIconsMonitor) {
  struct Case {
    const char* legend;
    ui::ScreenPoint anchor;
    ui::ScreenRect monitor;
    bool right_align, bottom_align;
  };
  const ui::ScreenRect primary{0, 0, 1920, 1040};
  const ui::ScreenRect left_of_primary{-1280, 0, 0, 984};
  const ui::ScreenRect above_primary{0, -1080, 1920, -40};
  for (const Case& c : {
           Case{"taskbar at the bottom, right", {1800, 1020}, primary, true, true},
           Case{"taskbar at the top, right", {1800, 10}, primary, true, false},
           Case{"taskbar on the left, bottom", {20, 1000}, primary, false, true},
           Case{"taskbar at the bottom, left half", {900, 1020}, primary, false, true},
           Case{"second monitor on the left, its right part",
                {-100, 960},
                left_of_primary,
                true,
                true},
           Case{"second monitor on the left, its left part",
                {-1200, 960},
                left_of_primary,
                false,
                true},
           Case{"second monitor above, taskbar at its top",
                {1800, -1060},
                above_primary,
                true,
                false},
       }) {
    SCOPED_TRACE(c.legend);
    const ui::PopupAlignment alignment = ui::PopupAlignmentFor(c.anchor, c.monitor);
    EXPECT_EQ(alignment.right_align, c.right_align);
    EXPECT_EQ(alignment.bottom_align, c.bottom_align);
  }
}

}  // namespace
}  // namespace orvik::testing
