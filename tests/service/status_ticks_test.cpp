// The status ticks on the shared state: one communication period per check,
// texts new once per message, and a display tick that a summer switch takes
// whole publishes nothing and leaves new texts for the next one.
#include "service/status_ticks.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "service/posix/epoll_main_loop.h"

namespace orvik::testing {
namespace {

using service::StatusSnapshot;

class StatusTicksTest : public ::testing::Test {
 protected:
  service::EpollMainLoop loop_;  // never run: the tests tick by hand
  service::SharedState shared_;
  bool switching_ = false;
  std::vector<StatusSnapshot> published_;
  service::StatusTicks ticks_{
      loop_, shared_,
      service::StatusTickIntervals{.display = std::chrono::seconds(1),
                                   .communication = std::chrono::seconds(3)},
      service::StatusTickHooks{
          .publish = [this](const StatusSnapshot& s) { published_.push_back(s); },
          .before_display = [this] { return switching_; },
      }};
};

TEST_F(StatusTicksTest, EachCheckTakesOnePeriodOfAcceptedMessages) {
  ticks_.CommunicationTick();
  EXPECT_FALSE(published_.back().receiving) << "nothing accepted yet";
  EXPECT_TRUE(published_.back().communication_checked);
  shared_.display.Show({{"13:5:0", "7.12.2026", "0 / 6"}, true, true});
  ticks_.CommunicationTick();
  EXPECT_TRUE(published_.back().receiving);
  EXPECT_TRUE(published_.back().no_satellites);
  EXPECT_EQ(published_.back().tick, StatusSnapshot::Tick::kCommunication);
  ticks_.CommunicationTick();
  EXPECT_FALSE(published_.back().receiving) << "the period after it was silent";
  ticks_.DisplayTick();
  EXPECT_FALSE(published_.back().receiving) << "a display snapshot carries the latest period";
}

TEST_F(StatusTicksTest, TextsAreNewOncePerMessageAndASwitchTickWaits) {
  shared_.display.Show({{"12:34:56", "8.12.2026", "5 / 9"}});
  shared_.clock_keeping.SetProblem("PC clock not set: no time privilege");
  switching_ = true;
  ticks_.DisplayTick();
  EXPECT_TRUE(published_.empty()) << "a summer/zone switch takes the whole tick";
  switching_ = false;
  ticks_.DisplayTick();
  ASSERT_EQ(published_.size(), 1u);
  EXPECT_TRUE(published_.back().new_texts);
  EXPECT_EQ(published_.back().texts, (core::DisplayTexts{"12:34:56", "8.12.2026", "5 / 9"}));
  EXPECT_EQ(published_.back().clock_problem, "PC clock not set: no time privilege");
  ticks_.DisplayTick();
  EXPECT_FALSE(published_.back().new_texts) << "no message since";
}

}  // namespace
}  // namespace orvik::testing
