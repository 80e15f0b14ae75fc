// The book of the acquisition's lifecycle steps: the order the steps begin
// in, which requests share a step, and what a summer/zone switch and the end
// of the program do to the steps asked for.
#include "service/lifecycle_steps.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace orvik::testing {
namespace {

using Kind = service::LifecycleSteps::Kind;
using Phase = service::LifecycleSteps::Phase;

TEST(LifecycleStepsTest, StepsBeginInTheOrderAskedAndRequestsInARowShareOne) {
  struct Case {
    const char* asked;  // s: a stop asked, r: a restart asked, |: the next step begins
    const char* steps;  // every step in the order begun: its kind, then its callers
  };
  const Case cases[] = {
      {"ss", "s2 "},      {"rrr", "r3 "},         {"srs", "s1 r1 s1 "},
      {"r|rr", "r1 r2 "}, {"s|s", "s1 s1 "},      {"rs|sr", "r1 s2 r1 "},
      {"|", ""},          {"s|r|s", "s1 r1 s1 "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.asked);
    service::LifecycleSteps steps;
    int asked = 0, answered = 0;
    std::string begun;
    const auto begin_next = [&] {
      const std::optional<Kind> kind = steps.BeginNext();
      if (kind == Kind::kRestart) steps.PauseToRestart();
      return kind.has_value();
    };
    const auto finish = [&] {
      const service::LifecycleSteps::Step step = steps.Finish();
      begun += (step.kind == Kind::kRestart ? "r" : "s") +
               std::to_string(step.restart_callers.size() + step.stop_callers.size()) + " ";
      for (const auto& done : step.stop_callers) done();
      for (const auto& done : step.restart_callers) done(core::Status::Ok());
    };
    for (const char* at = c.asked; *at != '\0'; ++at) {
      if (*at == '|') {
        if (steps.phase() == Phase::kIdle) begin_next();
      } else if (*at == 's') {
        ++asked;
        steps.AskStop([&] { ++answered; });
      } else {
        ++asked;
        steps.AskRestart([&](const core::Status&) { ++answered; });
      }
    }
    if (steps.phase() != Phase::kIdle) finish();
    while (begin_next()) finish();
    EXPECT_EQ(begun, c.steps);
    EXPECT_EQ(answered, asked) << "each caller answered once";
    EXPECT_FALSE(steps.Busy());
  }
}

// A switch holds back what is asked during it; the step under way and the
// steps waiting count as busy alike.
TEST(LifecycleStepsTest, BusyWhileAStepIsUnderWayOrWaiting) {
  service::LifecycleSteps steps;
  EXPECT_FALSE(steps.Busy());
  steps.AskStop({});
  EXPECT_TRUE(steps.Busy()) << "waiting";
  EXPECT_EQ(steps.BeginNext(), Kind::kStop);
  EXPECT_TRUE(steps.Busy()) << "under way";
  steps.Finish();
  EXPECT_FALSE(steps.Busy());

  steps.BeginSwitch();
  EXPECT_TRUE(steps.Busy());
  steps.AskRestart({});
  EXPECT_EQ(steps.BeginNext(), std::nullopt) << "the switch is under way";
  EXPECT_EQ(steps.phase(), Phase::kPausingToSwitch);
  const service::LifecycleSteps::Step switched = steps.Finish();
  EXPECT_TRUE(switched.stop_callers.empty() && switched.restart_callers.empty());
  EXPECT_EQ(steps.BeginNext(), Kind::kRestart);
}

// At the end of the program: nobody asked before is answered, and nothing
// asked afterwards begins.
TEST(LifecycleStepsTest, DroppedStepsAreNeverAnsweredAndNothingBeginsAfterwards) {
  service::LifecycleSteps steps;
  steps.AskRestart([](const core::Status&) { ADD_FAILURE() << "under way, answered"; });
  ASSERT_EQ(steps.BeginNext(), Kind::kRestart);
  steps.AskStop([] { ADD_FAILURE() << "waiting, answered"; });
  steps.DropAll();
  for (const auto& done : steps.Finish().restart_callers) done(core::Status::Ok());
  steps.AskStop({});
  EXPECT_EQ(steps.BeginNext(), std::nullopt);
}

}  // namespace
}  // namespace orvik::testing
