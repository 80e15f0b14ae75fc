// What the setup dialog decides, on a view of plain settings: when it shows
// and applies, failed saves, and edits typed while a restart runs.
#include "ui/logic/setup_form.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ui/logic/setup_dialog_fields.h"

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
            [this](const core::Settings& edited, std::function<void()> restarted) {
              applied_.push_back(edited);
              if (!save_error_.empty()) {
                return core::Status::Error(core::StatusCode::kIoError, save_error_);
              }
              service_settings_ = edited;
              restarted_ = std::move(restarted);
              return core::Status::Ok();
            },
        .report = [this](const std::string& message) { reports_.push_back(message); },
        .withdraw = [this](const std::string& message) { withdrawals_.push_back(message); },
        .after_apply = [this] { ++after_apply_; },
    };
  }
  // Ends the restart of the latest apply.
  void EndRestart() {
    ASSERT_TRUE(restarted_);
    std::exchange(restarted_, nullptr)();
  }
  // Runs the apply the form queued, as the event loop would.
  void RunQueued() {
    ASSERT_EQ(view_.queued, 1);
    view_.queued = 0;
    form_.RunQueuedApply();
  }

  core::Settings service_settings_;
  std::vector<core::Settings> applied_;
  std::function<void()> restarted_;  // the restart under way
  int after_apply_ = 0;
  std::string save_error_;
  std::vector<std::string> reports_;
  std::vector<std::string> withdrawals_;
  FakeView view_;
  ui::SetupForm form_{view_, Hooks()};
};

// Every control of the dialog edits one setting, and every setting but the
// logging switch (edited in the file only) has one control.
TEST(SetupDialogFields, EachEditableSettingButLoggingHasOneControl) {
  for (const core::SettingField& setting : core::SettingFields()) {
    int controls = 0;
    for (const ui::DialogField& field : ui::SetupDialogFields()) {
      if (field.setting != &setting) continue;
      ++controls;
      EXPECT_EQ(ui::DialogFieldOfControl(field.control), &field);
    }
    EXPECT_EQ(controls, setting.kind == core::SettingKind::kLogging ? 0 : 1) << setting.name;
  }
}

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
  EXPECT_EQ(after_apply_, 1) << "the failed apply has ended, the saved one not yet";
  EndRestart();
  EXPECT_EQ(after_apply_, 2);
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
  EndRestart();

  view_.focused = true;
  EXPECT_TRUE(form_.Closing());
  EXPECT_EQ(view_.queued, 1);
  view_.focused = false;
  RunQueued();
  EndRestart();
  EXPECT_EQ(applied_.size(), 2u) << "unchanged settings are applied too";
  EXPECT_FALSE(form_.Closing()) << "closing an unfocused dialog";
}

// The event loop goes on during the apply's restart, so the operator can
// come back to the dialog and type before it ends.
TEST_F(SetupFormTest, EditsTypedWhileTheRestartRunsAreKept) {
  for (const bool left_again : {false, true}) {
    SCOPED_TRACE(left_again ? "typed and left the dialog again" : "typed and stayed");
    applied_.clear();
    view_.controls.PortNumberText = "4";
    view_.focused = true;
    form_.FocusMoved(false, true);
    view_.focused = false;
    RunQueued();
    view_.focused = true;
    form_.FocusMoved(true, false);  // back during the restart: settled when it ends
    view_.controls.GmtHoursText = "-7";
    if (left_again) view_.focused = false;
    EndRestart();
    ASSERT_FALSE(applied_.empty());
    EXPECT_EQ(applied_[0].GmtHoursText, "2") << "the apply took what was there";
    if (left_again) {
      RunQueued();  // left with new edits: applied in turn
      EndRestart();
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
