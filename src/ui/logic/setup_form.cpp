#include "ui/logic/setup_form.h"

#include <utility>

#include "ui/logic/setup_dialog_fields.h"

namespace orvik::ui {

namespace {

bool SameEdits(const core::Settings& a, const core::Settings& b) {
  for (const DialogField& field : SetupDialogFields()) {
    if (!core::SameSetting(*field.setting, a, b)) return false;
  }
  return true;
}

// `shown` with every setting of the dialog that the operator changed from
// `applied` to `typed` taken from `typed`.
core::Settings KeepTyped(core::Settings shown, const core::Settings& applied,
                         const core::Settings& typed) {
  for (const DialogField& field : SetupDialogFields()) {
    if (!core::SameSetting(*field.setting, typed, applied)) {
      core::CopySetting(*field.setting, typed, shown);
    }
  }
  return shown;
}

}  // namespace

int ProtocolItemIndex(std::string_view text) {
  for (std::size_t i = 0; i < kProtocolItems.size(); ++i) {
    if (kProtocolItems[i] == text) return static_cast<int>(i);
  }
  return -1;
}

SetupForm::SetupForm(SetupView& view, SetupFormHooks hooks)
    : view_(view), hooks_(std::move(hooks)) {}

core::Settings SetupForm::ToShow() const { return unsaved_ ? *unsaved_ : hooks_.settings(); }

void SetupForm::Activate() { view_.Show(ToShow()); }

core::Status SetupForm::Deactivate() {
  return Apply(view_.Edits(hooks_.settings()), [] {});
}

core::Status SetupForm::Apply(const core::Settings& edited, std::function<void()> then) {
  const bool was_applying = applying_;
  applying_ = true;
  const std::weak_ptr<SetupForm*> self = self_;
  const auto ended = [this, self, was_applying, then] {
    if (self.expired()) return;
    applying_ = was_applying;
    if (hooks_.after_apply) hooks_.after_apply();
    then();
  };
  const core::Status saved = hooks_.apply_settings(edited, ended);
  if (saved.ok()) {
    unsaved_.reset();
    // Saved: a failed save told earlier is no longer true.
    if (!reported_save_error_.empty() && hooks_.withdraw) hooks_.withdraw(reported_save_error_);
    reported_save_error_.clear();
    return saved;
  }
  // Nothing was restarted: keep the edits for the next showing and tell
  // the operator.
  unsaved_ = edited;
  reported_save_error_ = saved.message();
  if (hooks_.report) hooks_.report(reported_save_error_);
  ended();
  return saved;
}

void SetupForm::Queue() {
  applying_ = true;
  view_.QueueApply();
}

void SetupForm::FocusMoved(bool here, bool was_here) {
  if (applying_) return;  // settled when the apply ends
  if (here && !was_here) {
    Activate();
  } else if (!here && was_here) {
    Queue();
  }
}

bool SetupForm::Closing() {
  if (applying_ || !view_.Focused()) return false;
  Queue();
  return true;
}

void SetupForm::RunQueuedApply() {
  const core::Settings applied = view_.Edits(hooks_.settings());
  (void)Apply(applied, [this, applied] { AfterQueuedApply(applied); });
}

void SetupForm::AfterQueuedApply(const core::Settings& applied) {
  applying_ = false;
  // The loop went on during the restart: the operator may have come back
  // to the dialog and typed meanwhile.
  const core::Settings typed = view_.Edits(hooks_.settings());
  if (view_.Focused()) {
    // Back in the dialog: show the result, but keep what was typed.
    view_.Show(KeepTyped(ToShow(), applied, typed));
  } else if (!SameEdits(typed, applied)) {
    // Typed in the dialog and left it again before the restart ended: the
    // dialog was left with new edits, so they are applied in turn.
    Queue();
  }
}

}  // namespace orvik::ui
