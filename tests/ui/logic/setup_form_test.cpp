// What the setup dialog decides, on a view of plain settings: when it shows
// and applies, failed saves, and edits typed while a restart runs.
#include "ui/logic/setup_form.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace orvik::testing {
namespace {

// The dialog's controls as one Settings; a queued apply waits for RunQueued().
class FakeView : public ui::SetupView {
 public:
  core::Settings Edits(const core::Settings&) const override { return controls; }
  void Show(const core::Settings& settings) override {
    controls = settings;
    ++shows;
  }
  void QueueApply() override { ++queued; }
  bool Focused() const override { return focused; }

  core::Settings controls;
  int shows = 0;
  int queued = 0;
  bool focused = false;
};

class SetupFormTest : public ::testing::Test {
 protected:
  ui::SetupFormHooks Hooks() {
    return {
        .settings = [this]() -> const core::Settings& { return service_settings_; },
        .apply_settings =
            [this](const core::Settings& edited) {
              applied_.push_back(edited);
              if (during_apply_) during_apply_();
              if (!save_error_.empty()) {
                return core::Status::Error(core::StatusCode::kIoError, save_error_);
              }
              service_settings_ = edited;
              if (startup_error_.empty()) return core::Status::Ok();
              form_.StartupFailed();
              return core::Status::Error(core::StatusCode::kInvalidArgument, startup_error_);
            },
        .report = [this](const std::string& message) { reports_.push_back(message); },
        .withdraw = [this](const std::string& message) { withdrawals_.push_back(message); },
        .after_apply = {},
    };
  }
  // Runs the apply the form queued, as the event loop would.
  void RunQueued() {
    ASSERT_EQ(view_.queued, 1);
    view_.queued = 0;
    form_.RunQueuedApply();
  }

  core::Settings service_settings_;
  std::vector<core::Settings> applied_;
  std::function<void()> during_apply_;  // the operator's events during the restart
  std::string save_error_;
  std::string startup_error_;
  std::vector<std::string> reports_;
  std::vector<std::string> withdrawals_;
  FakeView view_;
  ui::SetupForm form_{view_, Hooks()};
};

TEST_F(SetupFormTest, FailedSaveIsToldAndItsEditsShownUntilASaveSucceeds) {
  save_error_ = "Cannot write GPS_parm.txt";
  view_.controls.PortNumberText = "7";
  EXPECT_FALSE(form_.Deactivate().ok());
  EXPECT_EQ(reports_, std::vector<std::string>{"Cannot write GPS_parm.txt"});

  view_.controls.PortNumberText = "2";
  form_.Activate();
  EXPECT_EQ(view_.controls.PortNumberText, "7") << "the edits wait for another try";
  EXPECT_TRUE(withdrawals_.empty());

  save_error_.clear();
  ASSERT_TRUE(form_.Deactivate().ok());
  EXPECT_EQ(withdrawals_, reports_) << "the failure told is taken back";
}

TEST_F(SetupFormTest, StartupErrorOfTheRestartIsNotASaveFailure) {
  startup_error_ = "'' is not a valid integer value";
  view_.controls.PortNumberText = "";
  EXPECT_EQ(form_.Deactivate().message(), startup_error_);
  EXPECT_TRUE(reports_.empty()) << "the status window tells it";
  view_.controls.PortNumberText = "7";
  form_.Activate();
  EXPECT_EQ(view_.controls.PortNumberText, "") << "the bad text comes back from the service";
}

TEST_F(SetupFormTest, FocusBetweenTheProgramsWindowsShowsAndQueuesOneApply) {
  form_.FocusMoved(false, false);  // between two other windows
  form_.FocusMoved(true, false);
  form_.FocusMoved(true, true);
  EXPECT_EQ(view_.shows, 1);
  EXPECT_EQ(view_.queued, 0);
  form_.FocusMoved(false, true);
  EXPECT_EQ(view_.queued, 1);
  form_.FocusMoved(true, false);  // back before the apply ran: settled when it ends
  form_.FocusMoved(false, true);
  EXPECT_EQ(view_.shows, 1);
  EXPECT_EQ(view_.queued, 1);
  EXPECT_FALSE(form_.Closing()) << "an apply is queued already";
  RunQueued();
  EXPECT_EQ(applied_.size(), 1u);

  view_.focused = true;
  EXPECT_TRUE(form_.Closing());
  EXPECT_EQ(view_.queued, 1);
  view_.focused = false;
  RunQueued();
  EXPECT_EQ(applied_.size(), 2u) << "unchanged settings are applied too";
  EXPECT_FALSE(form_.Closing()) << "closing an unfocused dialog";
}

// The apply's restart dispatches events, so the operator can come back to
// the dialog and type before it ends.
TEST_F(SetupFormTest, EditsTypedWhileTheRestartRunsAreKept) {
  for (const bool left_again : {false, true}) {
    SCOPED_TRACE(left_again ? "typed and left the dialog again" : "typed and stayed");
    applied_.clear();
    view_.controls.PortNumberText = "4";
    view_.focused = true;
    form_.FocusMoved(false, true);
    view_.focused = false;
    during_apply_ = [&] {
      during_apply_ = nullptr;
      view_.focused = true;
      view_.controls.GmtHoursText = "-7";
      service_settings_.PortNumberText = "4";  // what the restart reloads
      if (left_again) view_.focused = false;
    };
    RunQueued();
    ASSERT_FALSE(applied_.empty());
    EXPECT_EQ(applied_[0].GmtHoursText, "2") << "the apply took what was there";
    if (left_again) {
      RunQueued();  // left with new edits: applied in turn
      ASSERT_EQ(applied_.size(), 2u);
      EXPECT_EQ(applied_[1].GmtHoursText, "-7");
    } else {
      EXPECT_EQ(view_.queued, 0);
      EXPECT_EQ(view_.controls.GmtHoursText, "-7") << "shown with the applied settings";
      EXPECT_EQ(view_.controls.PortNumberText, "4");
    }
    view_.controls.GmtHoursText = "2";
    service_settings_ = {};
  }
}

}  // namespace
}  // namespace orvik::testing
